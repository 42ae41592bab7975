// The application object: configuration, the document manager and template, the six fonts, the
// main frame, the command line (open switch, print, register) and the server that receives paths
// from a second start. GUI thread only.
#pragma once

#include <wx/app.h>
#include <wx/weakref.h>

#include <memory>
#include <vector>

#include "CMainFrame.h"
#include "CommandLine.h"
#include "PrinterLookup.h"

class wxDocManager;
class CCSVQuibboDocManager;
class COpenSwitchServer;
class COpenSwitchInstance;

class CCSVQuibboAppApp : public wxApp
{
public:
    CCSVQuibboAppApp();
    ~CCSVQuibboAppApp() override;

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

    // Prints a file without a dialog on the named printer, or the default one with an empty name.
    // Without such a printer, or when printing fails, it says so and returns false; finding the
    // printer waits at most printerLookupMs.
    bool PrintFile(const wxString& path, const wxString& printer, int printerLookupMs = kPrinterLookupMs);

    CMainFrame* GetMainFrame() const { return m_frame.get(); }
    wxDocManager* GetDocManager() const;

    // The configuration file: $XDG_CONFIG_HOME/Norvanecom/CSV Quibbo.conf.
    static wxString ConfigFilePath();

private:
    void OnAppAbout(wxCommandEvent& event);
    bool RunCommandLine(const CommandLineDecision& decision);
    void StartServer();

    CCSVQuibboDocManager* m_docManager = nullptr;
    // Null once the frame has been destroyed.
    wxWeakRef<CMainFrame> m_frame;
    std::unique_ptr<COpenSwitchInstance> m_instance;
    std::unique_ptr<COpenSwitchServer> m_server;
    bool m_endAfterInit = false;
    int m_exitCode = 0;

    wxDECLARE_EVENT_TABLE();
};

