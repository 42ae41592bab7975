// Helpers of the explorer's window tests: running the event loop for a while or until a
// condition holds.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include <wx/app.h>
#include <wx/utils.h>

// Runs pending events for about `ms` milliseconds.
inline void Pump(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do
    {
        wxYield();
        if (wxTheApp)
        {
            wxTheApp->ProcessPendingEvents();
            wxTheApp->ProcessIdle();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
}

// Runs events until done() or the deadline; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int deadlineMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (!done() && std::chrono::steady_clock::now() < end)
        Pump(5);
    return done();
}
