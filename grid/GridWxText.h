// Text between the UTF-16 strings of the grid, the reading library, the document and the explorer
// on one side and wx's strings (32-bit wide characters here) on the other. The one pair of
// converters every folder uses: a surrogate pair becomes its character and back, a lone half of a
// pair becomes U+FFFD, and a non-empty text never comes out empty.
#pragma once

#include <string>

#include <wx/string.h>

wxString GridToWxString(const std::u16string& text);
wxString GridToWxString(const char16_t* text, size_t length);
std::u16string GridFromWxString(const wxString& text);
