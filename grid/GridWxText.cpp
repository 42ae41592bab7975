#include "GridWxText.h"

#include <wx/string.h>

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool IsHighHalf(char32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowHalf(char32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}
} // namespace

wxString GridToWxString(const char16_t* text, size_t length)
{
    std::wstring out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i)
    {
        char32_t c = text[i];
        if (IsHighHalf(c) && i + 1 < length && IsLowHalf(text[i + 1]))
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        }
        else if (IsHighHalf(c) || IsLowHalf(c))
        {
            c = kReplacement;
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return wxString(out);
}

wxString GridToWxString(const std::u16string& text)
{
    return GridToWxString(text.data(), text.size());
}

std::u16string GridFromWxString(const wxString& text)
{
    std::u16string out;
    out.reserve(text.length());
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
    {
        char32_t c = static_cast<char32_t>((*it).GetValue());
        if (c >= 0x10000 && c <= 0x10FFFF)
        {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        }
        else if (c > 0x10FFFF || IsHighHalf(c) || IsLowHalf(c))
        {
            // No UTF-16 form of its own: a half of a pair alone would not be a character.
            out.push_back(static_cast<char16_t>(kReplacement));
        }
        else
        {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}
