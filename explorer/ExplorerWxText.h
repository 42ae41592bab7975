// The explorer keeps texts as UTF-16 (file names may hold characters beyond the basic plane,
// such as the private-use characters that stand for bytes that are not UTF-8); wx texts are
// wide strings. These convert between the two without losing a character.
#pragma once

#include <string>

#include <wx/string.h>

wxString ToWx(const std::u16string& text);
std::u16string FromWx(const wxString& text);
