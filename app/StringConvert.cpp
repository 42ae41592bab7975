#include "StringConvert.h"

wxString ToWxString(const char16_t* text, size_t length)
{
    std::wstring out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i)
    {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF)
        {
            if (i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            }
            else
            {
                c = 0xFFFD;
            }
        }
        else if (c >= 0xDC00 && c <= 0xDFFF)
        {
            c = 0xFFFD;
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return wxString(out);
}

wxString ToWxString(const std::u16string& text)
{
    return ToWxString(text.data(), text.size());
}

std::u16string ToU16String(const wxString& text)
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
        else if (c > 0x10FFFF)
        {
            out.push_back(u'\xFFFD');
        }
        else
        {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}
