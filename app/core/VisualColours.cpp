#include "VisualColours.h"

#include <algorithm>

namespace {

int ClampChannel(int v)
{
    return std::clamp(v, 0, 255);
}

} // namespace

RgbColour VisualColours::BarColourFromWindow(RgbColour window)
{
    return {std::max(window.red - 12, 0), std::max(window.green - 12, 0), std::max(window.blue - 12, 0)};
}

RgbColour VisualColours::PixelAlpha(RgbColour colour, int percent)
{
    return {ClampChannel(colour.red * percent / 100), ClampChannel(colour.green * percent / 100),
            ClampChannel(colour.blue * percent / 100)};
}

RgbColour VisualColours::InactiveCaptionTextColour(RgbColour fill)
{
    bool dark = fill.red <= 192 && fill.green <= 192 && fill.blue <= 192;
    return dark ? RgbColour{255, 255, 255} : RgbColour{0, 0, 0};
}

RgbColour VisualColours::InactiveCaptionFill(RgbColour darkGradient)
{
    return PixelAlpha(darkGradient, 87);
}
