// The window tests run inside the viewer's application object with a private home,
// configuration and runtime folder per process, wxLog on stderr and every message box recorded
// instead of shown.
#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/window.h>

#include "AppGuiSupport.h"
#include "CCSVQuibboAppApp.h"
#include "GuiTestMain.h"

RecordingMessageBoxes g_messageBoxes;

GuiTestOptions GuiTestMainOptions()
{
    GuiTestOptions options;
    options.scratchName = "csvq-app-test";
    options.privateHome = true;
    options.activeEventLoop = true;
    options.logAndAssertToTest = true;
    options.makeApp = [] {
        g_testHome = GuiTestScratch();
        return new CCSVQuibboAppApp;
    };
    options.start = [](wxApp& app) {
        SetMessageBoxes(&g_messageBoxes);
        if (!static_cast<CCSVQuibboAppApp&>(app).InitViewer(true))
            return false;
        // The tests start once the main window is on screen and has handled its first events.
        wxWindow* frame = app.GetTopWindow();
        return PumpUntil([frame] { return frame->IsShownOnScreen(); }) && PumpUntilIdle();
    };
    options.finish = [](wxApp& app) {
        if (wxWindow* frame = app.GetTopWindow())
        {
            frame->Destroy();
            PumpUntil([frame] { return !wxPendingDelete.Member(frame); });
        }
        // The Row details pane's selection goes to the primary selection, whose data wx frees
        // only when that selection is cleared; its own clean-up clears the clipboard alone.
        wxTheClipboard->UsePrimarySelection(true);
        wxTheClipboard->Clear();
        wxTheClipboard->UsePrimarySelection(false);
    };
    return options;
}
