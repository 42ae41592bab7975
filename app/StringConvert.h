// Conversions between the UTF-16 strings of the reading library and the document core and wx's
// strings. wchar_t is 32-bit here, so pairs are joined and split explicitly; a lone surrogate
// becomes U+FFFD.
#pragma once

#include <wx/string.h>

#include <string>

wxString ToWxString(const std::u16string& text);
wxString ToWxString(const char16_t* text, size_t length);
std::u16string ToU16String(const wxString& text);
