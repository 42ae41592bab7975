#include "RowDetailsSearch.h"

#include <string>
#include <vector>

#include "CaseFolding.h"

namespace {

// The next code point of well-formed UTF-8 at text[at], or U+FFFD for one byte that starts none;
// at advances past what was read.
char32_t NextCodePoint(std::string_view text, size_t& at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
    {
        ++at;
        return lead;
    }
    size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, code = lead & 0x1F, minimum = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, code = lead & 0x0F, minimum = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, code = lead & 0x07, minimum = 0x10000;
    if (length == 0 || at + length > text.size())
    {
        ++at;
        return 0xFFFD;
    }
    for (size_t i = 1; i < length; ++i)
    {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
        {
            ++at;
            return 0xFFFD;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    {
        ++at;
        return 0xFFFD;
    }
    at += length;
    return code;
}

// The text as UTF-16, lower-cased unless matchCase, with the byte offset of the character each
// unit belongs to (and one more entry: the text's length).
std::u16string Units(std::string_view text, bool matchCase, std::vector<size_t>* offsets)
{
    std::u16string units;
    units.reserve(text.size());
    if (offsets)
        offsets->reserve(text.size() + 1);
    char16_t pair[2];
    size_t at = 0;
    while (at < text.size())
    {
        const size_t start = at;
        const char32_t code = NextCodePoint(text, at);
        size_t count = 1;
        if (code >= 0x10000)
        {
            pair[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            pair[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            count = 2;
        }
        else
        {
            pair[0] = static_cast<char16_t>(code);
        }
        const size_t before = units.size();
        if (matchCase)
            units.append(pair, count);
        else
            AppendLowerCase(pair, count, units); // a character folds to one character
        if (offsets)
            offsets->insert(offsets->end(), units.size() - before, start);
    }
    if (offsets)
        offsets->push_back(text.size());
    return units;
}

} // namespace

bool FindInRowDetailsText(std::string_view text, std::string_view needle, bool matchCase, RowDetailsHit& hit)
{
    const std::u16string wanted = Units(needle, matchCase, nullptr);
    if (wanted.empty())
        return false;
    std::vector<size_t> offsets;
    const std::u16string units = Units(text, matchCase, &offsets);
    const size_t at = units.find(wanted);
    if (at == std::u16string::npos)
        return false;
    hit.start = offsets[at];
    hit.end = offsets[at + wanted.size()];
    return true;
}
