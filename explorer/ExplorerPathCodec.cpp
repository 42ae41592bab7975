#include "ExplorerPathCodec.h"

#include <cstdint>

namespace {
constexpr char32_t kRawBytePlane = 0x100000;

void AppendCodePoint(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000)
    {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

// The length of the well-formed UTF-8 sequence at `i` and its code point; 0 when the bytes there
// do not form one. Code points of the raw-byte range count as ill-formed, so that they come back
// as the bytes they were.
std::size_t DecodeOne(const std::string& s, std::size_t i, char32_t& cp)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (b0 < 0x80)
    {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF)
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    else if (b0 >= 0xE0 && b0 <= 0xEF)
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    else if (b0 >= 0xF0 && b0 <= 0xF4)
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    else
        return 0;
    if (i + length > s.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
    {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    if (cp >= kRawBytePlane && cp < kRawBytePlane + 0x100)
        return 0;
    return length;
}
} // namespace

std::u16string ExplorerPathFromNative(const std::string& native)
{
    std::u16string out;
    out.reserve(native.size());
    for (std::size_t i = 0; i < native.size();)
    {
        char32_t cp = 0;
        const std::size_t length = DecodeOne(native, i, cp);
        if (length == 0)
        {
            AppendCodePoint(out, kRawBytePlane + static_cast<unsigned char>(native[i]));
            ++i;
        }
        else
        {
            AppendCodePoint(out, cp);
            i += length;
        }
    }
    return out;
}

std::string ExplorerPathToNative(const std::u16string& path)
{
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i)
    {
        char32_t cp = path[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
            path[i + 1] <= 0xDFFF)
        {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        }
        else if (cp >= 0xD800 && cp <= 0xDFFF)
        {
            cp = 0xFFFD; // a lone surrogate has no file-system form
        }
        if (cp >= kRawBytePlane && cp < kRawBytePlane + 0x100)
        {
            out.push_back(static_cast<char>(cp - kRawBytePlane));
        }
        else if (cp < 0x80)
        {
            out.push_back(static_cast<char>(cp));
        }
        else if (cp < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else if (cp < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
