#include "GuiTestMain.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

#include <wx/app.h>
#include <wx/debug.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>

namespace {
std::string g_scratch;

// A failed wx assertion would open a modal box: report it as a test failure instead.
void ReportAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "wx assertion " << cond.utf8_string() << " in " << func.utf8_string() << ": " << msg.utf8_string();
}

// Makes the scratch folder and points the desktop's folders into it; false when it cannot.
bool MakeScratch(const GuiTestOptions& options)
{
    std::string pattern = "/tmp/" + options.scratchName + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return false;
    g_scratch = pattern;
    if (!options.privateHome)
    {
        setenv("XDG_DATA_HOME", g_scratch.c_str(), 1);
        return true;
    }
    for (const char* sub : {"/config", "/run", "/data"})
        mkdir((g_scratch + sub).c_str(), 0700);
    setenv("HOME", g_scratch.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_scratch + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (g_scratch + "/run").c_str(), 1);
    setenv("XDG_DATA_HOME", (g_scratch + "/data").c_str(), 1);
    return true;
}

int RunStarted(wxApp& app, const GuiTestOptions& options)
{
    if (options.start ? !options.start(app) : !app.CallOnInit())
    {
        std::fprintf(stderr, "The application did not start.\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    if (options.finish)
        options.finish(app);
    return result;
}
} // namespace

const std::string& GuiTestScratch()
{
    return g_scratch;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    if (listing || ::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    const GuiTestOptions options = GuiTestMainOptions();
    // Set before anything reads the desktop's folders.
    if (!options.scratchName.empty() && !MakeScratch(options))
        return 1;

    wxApp* app = options.makeApp ? options.makeApp() : new wxApp();
    wxApp::SetInstance(app);
    if (!wxEntryStart(argc, argv) || !wxTheApp)
    {
        std::fprintf(stderr, "The window tests need a display (run them under xvfb-run).\n");
        return 1;
    }
    if (options.logAndAssertToTest)
    {
        delete wxLog::SetActiveTarget(new wxLogStderr);
        wxSetAssertHandler(ReportAssert);
    }
    int result = 1;
    if (options.activeEventLoop)
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        result = RunStarted(*app, options);
    }
    else
    {
        result = RunStarted(*app, options);
    }
    app->OnExit();
    wxEntryCleanup();
    if (!g_scratch.empty())
    {
        std::error_code error;
        std::filesystem::remove_all(g_scratch, error);
        if (error)
            std::fprintf(stderr, "could not remove %s\n", g_scratch.c_str());
    }
    return result;
}
