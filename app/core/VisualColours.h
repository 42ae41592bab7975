// The colour arithmetic of the application's look, window-free: the flat bar colour from the
// system window colour and the inactive pane captions' colours from the bar's gradient.
#pragma once

// An RGB triple on which the colour functions run.
struct RgbColour
{
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const RgbColour&) const = default;
};

struct VisualColours
{
    // The bar colour: the window colour less 12 on each channel, clamped at 0.
    static RgbColour BarColourFromWindow(RgbColour window);
    // A colour at a percentage of its intensity, each channel clamped to 0..255.
    static RgbColour PixelAlpha(RgbColour colour, int percent);
    // The text colour of an inactive caption: white when no channel of the fill exceeds 192.
    static RgbColour InactiveCaptionTextColour(RgbColour fill);
    // The fill of an inactive caption from the bar's dark gradient colour.
    static RgbColour InactiveCaptionFill(RgbColour darkGradient);
};
