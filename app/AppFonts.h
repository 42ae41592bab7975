// The six application fonts F1 to F6, derived from the system font's height h:
// F1 "MS Shell Dlg" h-2 normal, F2 "MS Shell Dlg" h+2 medium, F3 "Segoe UI" h+2 medium,
// F4 "Segoe UI" h+2 bold, F5 "MS Shell Dlg" h bold, F6 "Lucida Sans Unicode" h normal.
// Faces that this system lacks are substituted by fontconfig. GUI thread only.
#pragma once

#include <array>
#include <string>

#include <wx/font.h>

// A font as the arithmetic sees it: a face, a signed pixel height (positive: cell height,
// negative: character height, as the height of a logical font) and a weight.
struct FontDescription
{
    std::string face;
    int height = 0;
    int weight = 400;
    bool italic = false;
    bool operator==(const FontDescription&) const = default;
};

// The descriptions of F1 to F6 (index 0 to 5) for a system font height h.
std::array<FontDescription, 6> MakeAppFontDescriptions(int h);

// The face itself when this system has it, else a common sans-serif face that it has.
std::string ResolveFontFace(const std::string& face);

// Turns a description into a wxFont with the pixel height |height|.
wxFont MakeFont(const FontDescription& description);

// The point size that a text of this description has on a screen of the given pixels per inch
// (positive heights are converted, a negative height is taken as the point size itself).
int FontPointSize(const FontDescription& description, int pixelsPerInch);

// Creates F1 to F6 from the system font (call once, in the application's start-up).
void CreateAppFonts();

// The fonts; empty (not Ok()) until CreateAppFonts ran.
extern wxFont F1, F2, F3, F4, F5, F6;
// The description F6 was made from, for panes that take their size from it.
const FontDescription& GetF6Description();
