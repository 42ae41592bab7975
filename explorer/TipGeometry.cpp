#include "TipGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int MARGIN_X = 12;
constexpr int MARGIN_Y = 10;
constexpr int ICON_GAP = 5;
constexpr int CORNER_RX = 6; // half of the 12 x 10 corner ellipse
constexpr int CORNER_RY = 5;
constexpr int POINTER_HANG = 25;
constexpr int CORNER_STEPS = 6;

// A quarter of the corner ellipse around (cx, cy), from angle `from` (degrees) on, clockwise in
// screen coordinates (y down).
void AppendCorner(std::vector<TipPoint>& out, int cx, int cy, double from)
{
    constexpr double PI = 3.14159265358979323846;
    for (int i = 0; i <= CORNER_STEPS; ++i)
    {
        const double a = (from + 90.0 * i / CORNER_STEPS) * PI / 180.0;
        out.push_back({static_cast<int>(std::lround(cx + CORNER_RX * std::cos(a))),
                       static_cast<int>(std::lround(cy + CORNER_RY * std::sin(a)))});
    }
}

} // namespace

TipShape ComputeTipShape(int textWidth, int textHeight, int iconWidth, int iconHeight)
{
    int width = std::max(0, textWidth) + 2 * MARGIN_X;
    int height = std::max(0, textHeight) + 2 * MARGIN_Y;
    if (iconWidth > 0 || iconHeight > 0)
    {
        width += iconWidth + ICON_GAP;
        height = std::max(height, iconHeight);
    }

    TipShape shape;
    const int w = width;
    const int h = height;
    shape.bodyWidth = w;
    shape.bodyHeight = h;
    shape.windowWidth = w;
    shape.windowHeight = h + POINTER_HANG;
    shape.pointerTip = {w - 12, h + 15};

    // Clockwise from the top-left corner; the pointer sits in the bottom edge. Its left edge
    // (slope 1) meets the body's bottom at x = w - 27.
    std::vector<TipPoint>& o = shape.outline;
    AppendCorner(o, CORNER_RX, CORNER_RY, 180.0);       // top-left
    AppendCorner(o, w - CORNER_RX, CORNER_RY, 270.0);   // top-right
    AppendCorner(o, w - CORNER_RX, h - CORNER_RY, 0.0); // bottom-right
    o.push_back({w - 12, h});
    o.push_back({w - 12, h + 15});
    o.push_back({w - 27, h});
    AppendCorner(o, CORNER_RX, h - CORNER_RY, 90.0); // bottom-left
    // The shape is cut to the window (a very narrow body leaves part of the pointer out).
    for (TipPoint& p : o)
        p.x = std::clamp(p.x, 0, w);
    return shape;
}

TipPoint TipWindowOrigin(const TipShape& shape, TipPoint target)
{
    return {target.x - shape.windowWidth + 12, target.y - shape.windowHeight + 10};
}

TipPoint TipTextOrigin(int iconWidth)
{
    return {iconWidth > 0 ? MARGIN_X + iconWidth + ICON_GAP : MARGIN_X, MARGIN_Y};
}
