// Draws a text written in the tip window's small mark-up language (b, strong, i, em, u, sub,
// sup, font color="#RRGGBB", br, p) word by word into a device context, in the font selected in
// it. Line breaks come from br and p tags (and, with MARKUP_WORDBREAK, from words that do not
// fit the rectangle's width). GUI thread only: the font-colour stack is shared by every call.
#pragma once

#include <wx/string.h>

class wxDC;
class wxRect;

constexpr int MARKUP_SINGLELINE = 0x0020; // br and p break no line
constexpr int MARKUP_WORDBREAK = 0x0010;  // a word that does not fit starts a new line
constexpr int MARKUP_CALCRECT = 0x0400;   // measure only: draw nothing, set the rectangle's size

// Draws `count` characters of text (a negative count: all of it) from the rectangle's top-left
// corner (null: from (0, 0) across the device's width). Returns the top of the last line,
// relative to the origin; 0 for a null dc. With MARKUP_CALCRECT and a rectangle, the rectangle's
// width and height become what the text needs.
int DrawMarkupText(wxDC* dc, const wxString* text, int count, wxRect* rect, int format);

// The colour the font-colour stack restores when a </font> finds it empty: the colour saved by
// the first push of this or an earlier call (black before any push).
unsigned long MarkupColourStackBase();
