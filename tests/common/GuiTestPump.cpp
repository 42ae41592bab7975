#include "GuiTestPump.h"

#include <X11/Xlib.h>
#include <chrono>
#include <thread>

#include <wx/app.h>
#include <wx/utils.h>
#include <wx/window.h>

namespace {
using Clock = std::chrono::steady_clock;

// Waits for the display to handle every request sent so far; the events it sent back are then
// queued for the toolkit.
void SyncDisplay()
{
    if (Display* display = wxGetX11Display())
        XSync(display, False);
}
} // namespace

void PumpOnce()
{
    wxYield();
    if (wxTheApp)
    {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
    {
        if (Clock::now() > end)
            return condition();
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool PumpUntilIdle(int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Two rounds in a row that find nothing left: the second one's sync returns what the first
    // round's handlers asked the display for.
    int quietRounds = 0;
    while (quietRounds < 2)
    {
        if (Clock::now() > end)
            return false;
        SyncDisplay();
        PumpOnce();
        const bool pending = wxTheApp && (wxTheApp->HasPendingEvents() || wxTheApp->Pending());
        quietRounds = pending ? 0 : quietRounds + 1;
    }
    return true;
}

bool PumpUntilShown(wxWindow* window, int timeoutMs)
{
    return PumpUntil([window] { return window->IsShownOnScreen(); }, timeoutMs) && PumpUntilIdle(timeoutMs);
}

bool DestroyAndPump(wxWindow* window, int timeoutMs)
{
    window->Destroy();
    // Only compared from here on: the window may be gone.
    return PumpUntil([window] { return !wxPendingDelete.Member(window); }, timeoutMs) &&
           PumpUntilIdle(timeoutMs);
}

void Pump(int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    do
    {
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (Clock::now() < end);
}
