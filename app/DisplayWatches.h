// The toolkit's watches of the display that each window of a tree holds. The toolkit makes each of
// its native windows watch its display for an input seat that goes, and when it frees a window it
// looks for that window's watch among every watch of the display: freeing n windows took n² steps.
// Dropping the watches of windows that are about to go, oldest window first, takes a step each and
// leaves the toolkit's later look-ups short. GUI thread only.
#pragma once

class wxWindow;

// Drops the display watches of the native windows of `window` and of everything inside it. For a
// window that is going for good: it no longer hears of seats that go. Does nothing when the
// toolkit offers no such watches.
void DropDisplayWatches(wxWindow* window);
