// Runs the window tests inside the viewer's application object with a private home,
// configuration and runtime folder per process, wxLog on stderr and every message box recorded
// instead of shown. Listing the tests needs no display.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/debug.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/window.h>

#include "AppGuiSupport.h"
#include "CCSVQuibboAppApp.h"

RecordingMessageBoxes g_messageBoxes;

namespace {

// A failed wx assertion would open a modal box: report it as a test failure instead.
void ReportAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "wx assertion " << cond.utf8_string() << " in " << func.utf8_string() << ": " << msg.utf8_string();
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    if (listing || ::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    char home[] = "/tmp/csvq-app-test-XXXXXX";
    if (!mkdtemp(home))
        return 1;
    std::string base = home;
    for (const char* sub : {"/config", "/run", "/data"})
        mkdir((base + sub).c_str(), 0700);
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (base + "/run").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    g_testHome = base;

    auto* app = new CCSVQuibboAppApp;
    wxApp::SetInstance(app);
    if (!wxEntryStart(argc, argv))
    {
        fprintf(stderr, "The window tests need a display (run them under xvfb-run).\n");
        return 1;
    }
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxSetAssertHandler(ReportAssert);
    SetMessageBoxes(&g_messageBoxes);
    int result = 1;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        if (app->InitViewer(true))
        {
            Pump(300);
            result = RUN_ALL_TESTS();
            if (wxWindow* frame = app->GetTopWindow())
                frame->Destroy();
            Pump(100);
            // The Row details pane's selection goes to the primary selection, whose data wx frees
            // only when that selection is cleared; its own clean-up clears the clipboard alone.
            wxTheClipboard->UsePrimarySelection(true);
            wxTheClipboard->Clear();
            wxTheClipboard->UsePrimarySelection(false);
        }
        else
        {
            fprintf(stderr, "The viewer did not start.\n");
        }
    }
    app->OnExit();
    wxEntryCleanup();
    std::string cleanup = "rm -rf '" + base + "'";
    if (std::system(cleanup.c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", base.c_str());
    return result;
}
