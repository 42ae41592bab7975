// The shape of the tip balloon as plain arithmetic: a rounded body around the text with a
// pointer at its lower right, and where the window goes so that the pointer's tip lands on a
// screen point. The tip window only applies what these functions return.
#pragma once

#include <vector>

struct TipPoint
{
    int x = 0;
    int y = 0;
    bool operator==(const TipPoint&) const = default;
};

struct TipShape
{
    int bodyWidth = 0;    // w
    int bodyHeight = 0;   // h
    int windowWidth = 0;  // w
    int windowHeight = 0; // h + 25: the pointer hangs below the body
    TipPoint pointerTip;  // (w - 12, h + 15), in window coordinates
    // The outline of the body (corners rounded by a 12 x 10 ellipse) joined with the pointer
    // triangle (w - 12, h - 10), (w - 12, h + 15), (w - 37, h - 10), clockwise.
    std::vector<TipPoint> outline;
};

// textWidth/textHeight: the raw text's extent; iconWidth/iconHeight: 0 without an icon.
TipShape ComputeTipShape(int textWidth, int textHeight, int iconWidth, int iconHeight);

// The window's top-left corner for a tip whose pointer must land on `target` (screen).
TipPoint TipWindowOrigin(const TipShape& shape, TipPoint target);

// Where the tip's text starts inside the window: right of the icon (and its 5-pixel gap) when
// there is one.
TipPoint TipTextOrigin(int iconWidth);
