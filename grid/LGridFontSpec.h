// A font as plain data {face, signed height, weight, italic}, on which the grid's font
// arithmetic runs before a wxFont is made from it. A negative height is the character height,
// a positive one the cell height, as in a Windows LOGFONT.
#pragma once

#include <string>

struct LGridFontSpec
{
    std::string face; // UTF-8
    int height = 0;
    int weight = 400; // 100..900
    bool italic = false;

    bool operator==(const LGridFontSpec&) const = default;

    // The grid's derived fonts: italic at 2h/3 and small at 3h/4 (truncating toward zero), each
    // at most -10; bold at weight 600 with the height unchanged.
    LGridFontSpec Italic() const;
    LGridFontSpec Small() const;
    LGridFontSpec Bold() const;
};

// Row height from a font's text height: tm + tm / 10, never below 1 (scrolling divides by it).
int GridRowHeightFromTextHeight(int textHeight);
