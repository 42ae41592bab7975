// The one main of the window test executables: it lists the tests without a display, else starts
// wx (a display is needed; ctest runs them under xvfb-run), runs the tests and ends wx. Each
// executable defines GuiTestMainOptions() with what it needs beyond that.
#pragma once

#include <functional>
#include <string>

class wxApp;

struct GuiTestOptions
{
    // A scratch folder "/tmp/<scratchName>-XXXXXX" made before wx starts and removed at the end;
    // empty for none. XDG_DATA_HOME points into it (a private trash, recent files and such).
    std::string scratchName;
    // HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR point into the scratch folder too.
    bool privateHome = false;
    // The application object; a plain wxApp when unset.
    std::function<wxApp*()> makeApp;
    // Starts the application once wx runs; wxApp::CallOnInit when unset. False ends the run.
    std::function<bool(wxApp&)> start;
    // After the tests, before the application ends.
    std::function<void(wxApp&)> finish;
    // Tests and start run inside an active event loop, as the application's own run would.
    bool activeEventLoop = false;
    // wxLog writes to stderr, and a failed wx assertion is a test failure instead of a box.
    bool logAndAssertToTest = false;
};

// Defined by each window test executable.
GuiTestOptions GuiTestMainOptions();

// The scratch folder of this run (empty without one).
const std::string& GuiTestScratch();
