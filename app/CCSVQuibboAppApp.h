// The application object: configuration, the document manager and template, the six fonts, the
// main frame, the command line (open switch, print, register) and the server that receives paths
// from a second start. GUI thread only.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/weakref.h>

#include "CMainFrame.h"
#include "CToolsCollection.h"
#include "CommandLine.h"
#include "ExplorerServices.h"
#include "LAppInterface.h"
#include "OpenSwitch.h"
#include "PrinterLookup.h"

class wxDocManager;

// The about box: the application's icon, its name and version, OK.
class CAboutDlg : public wxDialog
{
public:
    static constexpr int kAboutIconSize = 48;
    explicit CAboutDlg(wxWindow* parent);
};
class CCSVQuibboDocManager;
class COpenSwitchServer;
class COpenSwitchInstance;

class ExplorerThreadEventSink;
class CExplorerNotifier;

class CCSVQuibboAppApp : public wxApp, public LAppInterface
{
public:
    CCSVQuibboAppApp();
    ~CCSVQuibboAppApp() override;

    // The arguments as given, before wx converts them (see main.cpp).
    static void SetRawArguments(int argc, char** argv);

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;
    bool OnExceptionInMainLoop() override;
    void OnUnhandledException() override;

    // Sets up configuration, documents, fonts and the main frame (no command line, no server).
    // Tests call it to get a viewer without starting one.
    bool InitViewer(bool showFrame);
    // Opens a path as a document, activating it when it is open already.
    void OpenFile(const wxString& path);
    // Opens the paths of one message of the open switch (or of the command line), saying in one
    // box what failed. A delivery that arrives while another is opened, or while a box shows,
    // waits for its turn.
    void OpenFiles(const OpenSwitchDelivery& delivery);

    // Prints a file without a dialog on the named printer, or the default one with an empty name,
    // for the print switches. Without such a printer, or when printing fails, it says so in one
    // line on the standard error (never a box: the process ends without a loop that could answer
    // one) and returns false; finding the printer waits at most printerLookupMs.
    bool PrintFile(const wxString& path, const wxString& printer, int printerLookupMs = kPrinterLookupMs);

    // Ends the viewer as File > Exit does: documents closed, the main window destroyed.
    void EndInOrder();

    CMainFrame* GetMainFrame() const { return m_frame.get(); }
    wxDocManager* GetDocManager() const;

    // The configuration file: $XDG_CONFIG_HOME/Norvanecom/CSV Quibbo.conf (~/.config when the
    // variable is unset or relative).
    static wxString ConfigFilePath();

    // ---- the explorer's host (the viewer never opens an explorer window)

    bool OpenFileRecord(WSFileRecord* record) override;
    bool QueryOption1() override;
    bool QueryOption2() override;
    CToolsCollection& GetToolsCollection() override;
    void OnBeforeFileOperation() override;
    void OnAfterFileOperation(bool first, bool second) override;
    int32_t QueryNumber() override;
    std::u16string QueryText1() override;
    void Notify1() override;
    WSFileStorageThreadSafeAccess* GetFileStorageAccess() override;
    std::u16string QueryText2() override;
    void Notify2() override;
    void Notify3() override;
    void Notify4() override;
    void Notify5() override;
    void Notify6() override;
    std::u16string QueryText3() override;
    std::u16string QueryText4() override;
    std::u16string QueryText5() override;
    bool QueryOption3() override;
    void Notify7() override;

    ExplorerServices& GetExplorerServices() { return m_explorer; }
    ExplorerNavigationState& GetExplorerNavigationState() { return m_explorer.GetNavigationState(); }
    // The progress row of a listing, the Delete key of the explorer list, and the folder watcher
    // after a listing (the folder of `document` is watched too when it is the active document).
    void ShowExplorerEntryCount() { m_explorer.ShowExplorerEntryCount(); }
    void DeleteSelectedExplorerItems() { m_explorer.DeleteSelectedExplorerItems(); }
    void StartFolderWatcher(wxDocument* document, std::vector<std::u16string> extraFolders);
    void StopFolderWatcher() { m_explorer.StopFolderWatcher(); }

private:
    // Points the folder watcher at the main frame (or at nothing) and gives the explorer its
    // message boxes.
    void ConnectExplorerServices(CMainFrame* frame);

    void OnAppAbout(wxCommandEvent& event);
    bool RunCommandLine(const CommandLineDecision& decision);
    void StartServer();
    void OpenQueuedFiles();
    // Closes the server, the windows and the documents and saves the settings, once; false when
    // the settings could not be saved.
    bool Shutdown();
    // Closes every document and deletes the main window now, before the document manager goes.
    void DestroyWindowsAndDocuments();

    CCSVQuibboDocManager* m_docManager = nullptr;
    // Null once the frame has been destroyed.
    wxWeakRef<CMainFrame> m_frame;
    std::unique_ptr<COpenSwitchInstance> m_instance;
    std::unique_ptr<COpenSwitchServer> m_server;
    bool m_endAfterInit = false;
    int m_exitCode = 0;
    bool m_shutDown = false;
    std::deque<OpenSwitchDelivery> m_deliveries;
    bool m_delivering = false;

    // The explorer's services: its one file store, navigation state and folder watcher.
    ExplorerServices m_explorer;
    CToolsCollection m_tools;
    std::unique_ptr<ExplorerThreadEventSink> m_watcherSink;
    std::unique_ptr<CExplorerNotifier> m_explorerNotifier;

    wxDECLARE_EVENT_TABLE();
};
