// Running the event loop in the window tests: until a condition holds (how a test waits for a
// window, a paint, a listing, a child's answer), until nothing is left to handle, or for a fixed
// time (only where a test shows that nothing happens within it).
#pragma once

#include <functional>

class wxWindow;

// How long a test waits for a state by default: generous, as the window tests also run under the
// sanitizers and Xvfb, next to other suites.
inline constexpr int kGuiWaitMs = 20000;

// Handles the toolkit's events, wx's pending events and the idle work once.
void PumpOnce();

// Runs events until the condition holds or timeoutMs pass; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = kGuiWaitMs);

// Runs events until the display has answered every request sent so far and no wx event is left:
// what a command, a focus change, a shown window or a simulated key started has been handled.
// Returns false when events still came after timeoutMs.
bool PumpUntilIdle(int timeoutMs = kGuiWaitMs);

// Waits until the window is on screen and its first events are handled.
bool PumpUntilShown(wxWindow* window, int timeoutMs = kGuiWaitMs);

// Destroys the window and waits until it is deleted (a top-level window goes at idle time).
bool DestroyAndPump(wxWindow* window, int timeoutMs = kGuiWaitMs);

// Runs events for ms milliseconds, whatever happens: for a test that proves that nothing happens
// within a time.
void Pump(int ms);
