#include "CCSVQuibboAppApp.h"

#include <wx/clipbrd.h>
#include <wx/config.h>
#include <wx/dialog.h>
#include <wx/fileconf.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/print.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>
#include <wx/stdpaths.h>
#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/artprov.h>

#include <wx/crt.h>

#include <csignal>
#include <exception>
#include <string>

#include "AppFonts.h"
#include "AppIcon.h"
#include "CCSVQuibboAppDoc.h"
#include "CCSVQuibboAppView.h"
#include "CCSVQuibboDocManager.h"
#include "CExplorerNotifier.h"
#include "CMainFrame.h"
#include "CMessageBoxInterface.h"
#include "COutputWnd.h"
#include "DesktopEntry.h"
#include "ExplorerThreadEvents.h"
#include "OpenSwitch.h"
#include "PrinterLookup.h"

// The about box: the application's icon, name and version, OK.
CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "About CSV Quibbo")
{
    SetIcons(AppIcons());
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(new wxStaticBitmap(this, wxID_ANY, AppIconBitmap(kAboutIconSize)), 0, wxALL, 12);
    auto* lines = new wxBoxSizer(wxVERTICAL);
    lines->Add(new wxStaticText(this, wxID_ANY, "CSV Quibbo, Version 1.0"), 0, wxBOTTOM, 6);
    lines->Add(new wxStaticText(this, wxID_ANY, "A viewer for CSV files of any size"), 0, wxBOTTOM, 12);
    lines->Add(new wxButton(this, wxID_OK, "OK"), 0, wxALIGN_RIGHT);
    sizer->Add(lines, 1, wxTOP | wxRIGHT | wxBOTTOM, 12);
    SetSizerAndFit(sizer);
}

wxBEGIN_EVENT_TABLE(CCSVQuibboAppApp, wxApp)
    EVT_MENU(wxID_ABOUT, CCSVQuibboAppApp::OnAppAbout)
wxEND_EVENT_TABLE()

CCSVQuibboAppApp::CCSVQuibboAppApp()
{
    // Nothing that touches the display may be built before OnInit.
    SetVendorName("Norvanecom");
    SetAppName("CSV Quibbo");
    SetAppDisplayName("CSV Quibbo");
}

CCSVQuibboAppApp::~CCSVQuibboAppApp()
{
    m_explorer.Shutdown();
}

wxString CCSVQuibboAppApp::ConfigFilePath()
{
    wxString base;
    if (!wxGetEnv("XDG_CONFIG_HOME", &base) || base.empty())
        base = wxGetHomeDir() + "/.config";
    return base + "/Norvanecom/CSV Quibbo.conf";
}

wxDocManager* CCSVQuibboAppApp::GetDocManager() const
{
    return m_docManager;
}

bool CCSVQuibboAppApp::InitViewer(bool showFrame)
{
    if (!wxConfigBase::Get(false))
    {
        wxFileName config(ConfigFilePath());
        wxFileName::Mkdir(config.GetPath(), 0700, wxPATH_MKDIR_FULL);
        wxConfigBase::Set(new wxFileConfig("CSV Quibbo", "Norvanecom", config.GetFullPath(), wxEmptyString,
                                           wxCONFIG_USE_LOCAL_FILE));
    }

    m_docManager = new CCSVQuibboDocManager;
    m_docManager->Initialize();
    new wxDocTemplate(m_docManager, "All Files", "*", "", "", "CSVQuibboApp.Document", "CSVQuibboApp View",
                      wxCLASSINFO(CCSVQuibboAppDoc), wxCLASSINFO(CCSVQuibboAppView));
    m_docManager->FileHistoryLoad(*wxConfigBase::Get());

    CreateAppFonts();
    CCSVQuibboAppView::PrepareGridFonts();

    auto* frame = new CMainFrame;
    if (!frame->Create(m_docManager, GetAppDisplayName()))
    {
        delete frame;
        return false;
    }
    m_frame = frame;
    ConnectExplorerServices(frame);
    SetTopWindow(frame);
    if (showFrame)
    {
        m_frame->Show(true);
        m_frame->Raise();
    }
    return true;
}

void CCSVQuibboAppApp::OpenFile(const wxString& path)
{
    if (!m_docManager || path.empty())
        return;
    wxFileName name(path);
    name.MakeAbsolute();
    m_docManager->CreateDocument(name.GetFullPath(), wxDOC_SILENT);
    if (m_frame)
        m_frame->Raise();
}

namespace {

// The program's arguments as the bytes it was given: wx converts them with the locale's
// encoding, which loses every non-ASCII file name under LANG=C. File names are taken as UTF-8.
std::vector<std::string>& RawArguments()
{
    static std::vector<std::string> arguments;
    return arguments;
}

// SIGTERM (the end of the session) and SIGHUP end the viewer as File > Exit does. wx calls this
// from its event loop, not from the signal itself.
void EndOnSignal(int)
{
    if (auto* app = dynamic_cast<CCSVQuibboAppApp*>(wxTheApp))
        app->EndInOrder();
}

} // namespace

void CCSVQuibboAppApp::SetRawArguments(int argc, char** argv)
{
    RawArguments().assign(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool CCSVQuibboAppApp::OnInit()
{
    // No wxApp::OnInit: its parser would reject the platform's switches.
    std::vector<std::string> args = RawArguments();
    if (args.empty())
        for (int i = 1; i < argc; ++i)
            args.emplace_back(argv[i].utf8_string());
    CommandLineDecision decision = DecideCommandLine(args);
    // Switches of the other platform's shell that mean nothing here: a line for whoever reads
    // the standard error, never a box.
    for (const std::string& ignored : decision.ignored)
        wxFprintf(stderr, "Switch ignored: %s\n", wxString::FromUTF8(ignored));
    SetSignalHandler(SIGTERM, EndOnSignal);
    SetSignalHandler(SIGHUP, EndOnSignal);
    return RunCommandLine(decision);
}

void CCSVQuibboAppApp::EndInOrder()
{
    if (m_frame)
        m_frame->Close(true);
    else
        ExitMainLoop();
}

void CCSVQuibboAppApp::DestroyWindowsAndDocuments()
{
    if (m_docManager)
        m_docManager->CloseDocuments(true);
    if (m_frame)
        m_frame->Destroy();
    // Destroy only schedules the deletion: do it now, while the document manager that the
    // frame refers to still exists.
    DeletePendingObjects();
}

bool CCSVQuibboAppApp::RunCommandLine(const CommandLineDecision& decision)
{
    switch (decision.action)
    {
    case CommandLineAction::Register:
    case CommandLineAction::Unregister:
    {
        wxString error;
        bool ok = decision.action == CommandLineAction::Register
                      ? WriteDesktopEntry(wxStandardPaths::Get().GetExecutablePath(), error)
                      : RemoveDesktopEntry(error);
        if (!ok)
            wxFprintf(stderr, "%s\n", error);
        m_exitCode = ok ? 0 : 1;
        m_endAfterInit = true;
        return true;
    }
    case CommandLineAction::Open:
    {
        m_instance = std::make_unique<COpenSwitchInstance>();
        if (m_instance->IsAnotherRunning())
        {
            // The other viewer may still be starting and not listen yet: give it a moment.
            for (int attempt = 0; attempt < 20; ++attempt)
            {
                if (ForwardFilesToRunningViewer(decision.files))
                {
                    m_endAfterInit = true;
                    return true;
                }
                wxMilliSleep(100);
            }
        }
        if (!InitViewer(true))
            return false;
        StartServer();
        for (const std::string& f : decision.files)
            OpenFile(wxString::FromUTF8(AbsolutePathBytes(f)));
        return true;
    }
    case CommandLineAction::Print:
    case CommandLineAction::PrintTo:
    {
        if (!InitViewer(false))
            return false;
        bool ok = PrintFile(wxString::FromUTF8(AbsolutePathBytes(decision.files.front())), wxString::FromUTF8(decision.printerName));
        m_exitCode = ok ? 0 : 1;
        m_endAfterInit = true;
        return true;
    }
    case CommandLineAction::Nothing:
        break;
    }
    // A bare file name is not opened; the window shows without a document.
    m_instance = std::make_unique<COpenSwitchInstance>();
    if (!InitViewer(true))
        return false;
    StartServer();
    return true;
}

void CCSVQuibboAppApp::StartServer()
{
    // Only the first viewer of the user listens; a later one runs on its own.
    if (!m_instance || m_instance->IsAnotherRunning())
        return;
    m_server = std::make_unique<COpenSwitchServer>([this](const wxString& path) { OpenFile(path); });
    if (!m_server->Start())
        m_server.reset();
}

bool CCSVQuibboAppApp::PrintFile(const wxString& path, const wxString& printer, int printerLookupMs)
{
    wxFileName name(path);
    name.MakeAbsolute();
    const wxString file = name.GetFullPath();
    // The file is read only once the printer is known. Printing from the command line has no
    // window to show its outcome in: messages go to the standard error as well.
    auto makePrintout = [this, &file]() -> std::unique_ptr<wxPrintout> {
        wxDocument* doc = m_docManager->CreateDocument(file, wxDOC_SILENT);
        wxView* view = doc ? doc->GetFirstView() : nullptr;
        return std::unique_ptr<wxPrintout>(view ? view->OnCreatePrintout() : nullptr);
    };
    return PrintWithoutDialog(m_frame.get(), makePrintout, m_docManager->GetPageSetupDialogData().GetPrintData(),
                              printer, file, printerLookupMs, true);
}

int CCSVQuibboAppApp::OnRun()
{
    if (m_endAfterInit)
    {
        // A switch that has done its work (print, register, a forwarded open): no loop.
        DestroyWindowsAndDocuments();
        return m_exitCode;
    }
    return wxApp::OnRun();
}

int CCSVQuibboAppApp::OnExit()
{
    ConnectExplorerServices(nullptr);
    m_server.reset();
    m_instance.reset();
    DestroyWindowsAndDocuments();
    if (wxTheClipboard->IsOpened())
        wxTheClipboard->Close();
    // Copied rows stay on the clipboard after the viewer ends.
    wxTheClipboard->Flush();
    if (m_docManager)
    {
        if (wxConfigBase* config = wxConfigBase::Get(false))
        {
            m_docManager->FileHistorySave(*config);
            config->Flush();
        }
        delete m_docManager;
        m_docManager = nullptr;
    }
    delete wxConfigBase::Set(nullptr);
    return wxApp::OnExit();
}

bool CCSVQuibboAppApp::OnExceptionInMainLoop()
{
    wxString what = "unknown error";
    try
    {
        throw;
    }
    catch (const std::exception& e)
    {
        what = wxString::FromUTF8(e.what());
    }
    catch (...)
    {
    }
    wxString line = "Internal error: " + what;
    wxFprintf(stderr, "%s\n", line);
    if (m_frame && m_frame->GetOutputPane())
        m_frame->GetOutputPane()->AddLine(line);
    return true;
}

void CCSVQuibboAppApp::OnUnhandledException()
{
    wxFprintf(stderr, "Unhandled exception\n");
}

void CCSVQuibboAppApp::OnAppAbout(wxCommandEvent&)
{
    CAboutDlg dialog(m_frame.get());
    dialog.ShowModal();
}
