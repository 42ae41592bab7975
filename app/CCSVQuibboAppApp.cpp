#include "CCSVQuibboAppApp.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/clipbrd.h>
#include <wx/config.h>
#include <wx/crt.h>
#include <wx/dialog.h>
#include <wx/fileconf.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/print.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>
#include <wx/wupdlock.h>

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
#include "LCSVRowGridBoxPaint.h"
#include "OpenSwitch.h"
#include "PrinterLookup.h"
#include "StderrLine.h"
#include "XdgFolders.h"

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

// clang-format off
wxBEGIN_EVENT_TABLE(CCSVQuibboAppApp, wxApp)
    EVT_MENU(wxID_ABOUT, CCSVQuibboAppApp::OnAppAbout)
wxEND_EVENT_TABLE()
// clang-format on

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
    wxString base = XdgBaseFolder("XDG_CONFIG_HOME");
    if (base.empty())
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
        {
            // A folder that cannot be made is said once, when the settings are saved at exit.
            wxLogNull quiet;
            wxFileName::Mkdir(config.GetPath(), 0700, wxPATH_MKDIR_FULL);
        }
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
    InstallRowBoxPainter();

    auto* frame = new CMainFrame;
    if (!frame->Create(m_docManager, GetAppDisplayName()))
    {
        delete frame;
        return false;
    }
    m_frame = frame;
    ConnectExplorerServices(frame);
    SetAfterMessageBoxes([this]() { OpenQueuedFiles(); });
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

void CCSVQuibboAppApp::OpenFiles(const OpenSwitchDelivery& delivery)
{
    m_deliveries.push_back(delivery);
    OpenQueuedFiles();
}

void CCSVQuibboAppApp::OpenQueuedFiles()
{
    // One delivery at a time, and none under a box: each would nest its boxes in the other's.
    // The end of the last box calls again.
    if (m_delivering || IsMessageBoxShowing())
        return;
    m_delivering = true;
    // One busy cursor for all: each document's own then costs nothing, where each would walk
    // every window of the documents opened before it.
    wxBusyCursor wait;
    struct Done
    {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_delivering};
    while (!m_deliveries.empty())
    {
        OpenSwitchDelivery next = std::move(m_deliveries.front());
        m_deliveries.pop_front();
        // What fails is said in one box for the whole delivery.
        CMessageBoxGathering gathering;
        {
            // The window paints once, at the end: each document's first paint would draw the tab
            // row again, which measures every tab, so n documents took n² measurements.
            std::unique_ptr<wxWindowUpdateLocker> noPaint;
            if (m_frame && next.paths.size() > 1)
                noPaint = std::make_unique<wxWindowUpdateLocker>(m_frame.get());
            for (const wxString& path : next.paths)
                OpenFile(path);
        }
        for (int i = 0; i < next.notUtf8; ++i)
            gathering.Add("A path that is not UTF-8 was not opened.", wxICON_ERROR);
        gathering.Show();
    }
}

namespace {

// The program's arguments as the bytes it was given: wx converts them with the locale's
// encoding, which loses every non-ASCII file name under LANG=C. File names are taken as UTF-8.
std::vector<std::string>& RawArguments()
{
    static std::vector<std::string> arguments;
    return arguments;
}

// A file name's bytes as UTF-8 text for a line: each byte that is not part of a valid UTF-8
// sequence is written as a backslash and three octal digits, as `ls -b` does.
std::string PrintableName(const std::string& bytes)
{
    auto continuation = [&bytes](size_t i) { return (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80; };
    std::string out;
    size_t i = 0;
    while (i < bytes.size())
    {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = lead < 0x80                    ? 1
                              : lead >= 0xC2 && lead <= 0xDF ? 2
                              : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                             : 0;
        bool valid = length > 0 && i + length <= bytes.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = continuation(i + k);
        if (valid && length >= 3)
        {
            // Overlong forms, surrogates and code points above U+10FFFF.
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            valid = !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second > 0x9F) &&
                    !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second > 0x8F);
        }
        if (valid)
        {
            out.append(bytes, i, length);
            i += length;
        }
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", lead);
            out += escaped;
            ++i;
        }
    }
    return out;
}

// The one line a second start writes when the running viewer can open none of its files.
std::string NoneOpenedLine(const std::vector<std::string>& files)
{
    std::string names;
    for (const std::string& file : files)
        names += (names.empty() ? "\"" : ", \"") + PrintableName(file) + "\"";
    return "The running viewer could not open " + names + ".";
}

// SIGTERM (the end of the session), SIGHUP and SIGINT (Ctrl+C in the starting terminal) end the
// viewer as File > Exit does. wx calls this from its event loop, not from the signal itself.
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
        WriteStderrLine("Switch ignored: " + ignored);
    // Actions that end the process have no window to show wx's messages in: they go to the
    // standard error, and the exit status says whether the action worked.
    if (decision.action != CommandLineAction::Open && decision.action != CommandLineAction::Nothing)
        LogToStderr();
    SetSignalHandler(SIGTERM, EndOnSignal);
    SetSignalHandler(SIGHUP, EndOnSignal);
    SetSignalHandler(SIGINT, EndOnSignal);
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
            WriteStderrLine(error);
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
                ForwardResult result = ForwardFilesToRunningViewer(decision.files);
                if (result != ForwardResult::NoAnswer)
                {
                    // The running viewer says itself why a file could not be opened.
                    if (result == ForwardResult::NoneOpened)
                        WriteStderrLine(NoneOpenedLine(decision.files));
                    m_exitCode = result == ForwardResult::Taken ? 0 : 1;
                    m_endAfterInit = true;
                    return true;
                }
                wxMilliSleep(100);
            }
        }
        if (!InitViewer(true))
            return false;
        StartServer();
        OpenSwitchDelivery delivery;
        for (const std::string& f : decision.files)
        {
            wxString path = wxString::FromUTF8(AbsolutePathBytes(f));
            if (path.empty())
            {
                WriteStderrLine(std::string("A path that is not UTF-8 was not opened."));
                ++delivery.notUtf8;
            }
            else
            {
                delivery.paths.push_back(path);
            }
        }
        OpenFiles(delivery);
        return true;
    }
    case CommandLineAction::Print:
    case CommandLineAction::PrintTo:
    {
        if (!InitViewer(false))
            return false;
        bool ok = PrintFile(wxString::FromUTF8(AbsolutePathBytes(decision.files.front())),
                            wxString::FromUTF8(decision.printerName));
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
    m_server = std::make_unique<COpenSwitchServer>(
        [this](const OpenSwitchDelivery& delivery) { OpenFiles(delivery); });
    std::string error;
    if (!m_server->Start({}, &error))
    {
        // Later starts then open windows of their own: say why, once.
        SayOpenSwitchIsOff(error);
        m_server.reset();
    }
}

bool CCSVQuibboAppApp::PrintFile(const wxString& path, const wxString& printer, int printerLookupMs)
{
    wxFileName name(path);
    name.MakeAbsolute();
    const wxString file = name.GetFullPath();
    // The file is read only once the printer is known. Printing from the command line has no
    // window to show its outcome in: messages go to the standard error, not to a box.
    auto makePrintout = [this, &file]() -> std::unique_ptr<wxPrintout> {
        wxDocument* doc = m_docManager->CreateDocument(file, wxDOC_SILENT);
        wxView* view = doc ? doc->GetFirstView() : nullptr;
        return std::unique_ptr<wxPrintout>(view ? view->OnCreatePrintout() : nullptr);
    };
    return PrintWithoutDialog(m_frame.get(), makePrintout,
                              m_docManager->GetPageSetupDialogData().GetPrintData(), printer, file,
                              printerLookupMs, true);
}

int CCSVQuibboAppApp::OnRun()
{
    int status = m_exitCode;
    // A switch that has done its work (print, register, a forwarded open) runs no loop.
    if (!m_endAfterInit)
        status = wxApp::OnRun();
    // The main window is gone: from here on nobody could answer a box.
    LogToStderr();
    if (!Shutdown() && status == 0)
        status = 1;
    return status;
}

bool CCSVQuibboAppApp::Shutdown()
{
    if (m_shutDown)
        return true;
    m_shutDown = true;
    SetAfterMessageBoxes(nullptr);
    m_deliveries.clear();
    ConnectExplorerServices(nullptr);
    m_server.reset();
    m_instance.reset();
    DestroyWindowsAndDocuments();
    if (wxTheClipboard->IsOpened())
        wxTheClipboard->Close();
    // Copied rows stay on the clipboard after the viewer ends.
    wxTheClipboard->Flush();
    bool saved = true;
    if (m_docManager)
    {
        if (wxConfigBase* config = wxConfigBase::Get(false))
        {
            m_docManager->FileHistorySave(*config);
            saved = config->Flush();
            if (!saved)
            {
                WriteStderrLine("The settings could not be saved to \"" + ConfigFilePath() + "\".");
                // Not again when the configuration is deleted.
                if (auto* file = dynamic_cast<wxFileConfig*>(config))
                    file->DisableAutoSave();
            }
        }
        delete m_docManager;
        m_docManager = nullptr;
    }
    delete wxConfigBase::Set(nullptr);
    return saved;
}

int CCSVQuibboAppApp::OnExit()
{
    // Normally done at the end of OnRun; here when the loop ended by an exception.
    LogToStderr();
    Shutdown();
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
    {}
    wxString line = "Internal error: " + what;
    WriteStderrLine(line);
    if (m_frame && m_frame->GetOutputPane())
        m_frame->GetOutputPane()->AddLine(line);
    return true;
}

void CCSVQuibboAppApp::OnUnhandledException()
{
    WriteStderrLine(std::string("Unhandled exception"));
}

void CCSVQuibboAppApp::OnAppAbout(wxCommandEvent&)
{
    CAboutDlg dialog(m_frame.get());
    dialog.ShowModal();
}
