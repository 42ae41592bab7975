#include "CaseFolding.h"

#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace {
// u_tolower of every unit of the basic plane that maps inside it; 0 sends a unit to the slow path
// (NUL, surrogates, and anything whose lower case lies outside the plane).
const char16_t* LowerCaseTable()
{
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> units(0x10000);
        for (UChar32 code = 1; code <= 0xFFFF; ++code)
        {
            const UChar32 lower = U16_IS_SURROGATE(code) ? 0 : u_tolower(code);
            units[static_cast<size_t>(code)] =
                lower > 0 && lower <= 0xFFFF ? static_cast<char16_t>(lower) : 0;
        }
        return units;
    }();
    return table.data();
}
} // namespace

void AppendLowerCase(const char16_t* text, size_t length, std::u16string& out)
{
    const char16_t* table = LowerCaseTable();
    const size_t base = out.size();
    // Every unit gives at most one unit, and a pair at most two.
    out.resize(base + length);
    char16_t* write = out.data() + base;
    for (size_t i = 0; i < length; ++i)
    {
        const char16_t unit = text[i];
        const char16_t lower = table[unit];
        if (lower != 0)
        {
            *write++ = lower;
            continue;
        }
        UChar32 code = unit;
        if (U16_IS_LEAD(unit) && i + 1 < length && U16_IS_TRAIL(text[i + 1]))
        {
            code = U16_GET_SUPPLEMENTARY(unit, text[i + 1]);
            ++i;
        }
        code = u_tolower(code);
        if (code <= 0xFFFF)
        {
            *write++ = static_cast<char16_t>(code);
        }
        else
        {
            *write++ = static_cast<char16_t>(U16_LEAD(code));
            *write++ = static_cast<char16_t>(U16_TRAIL(code));
        }
    }
    out.resize(static_cast<size_t>(write - out.data()));
}

std::u16string ToLowerCase(const std::u16string& text)
{
    std::u16string out;
    AppendLowerCase(text.data(), text.size(), out);
    return out;
}

FindNeedle::FindNeedle(const std::u16string& text, bool caseSensitive)
    : needle(caseSensitive ? text : ToLowerCase(text))
    , matchCase(caseSensitive)
    , starts(0x10000 / 8, 0)
{
    if (needle.empty())
        return;
    if (matchCase)
    {
        Mark(needle[0]);
        return;
    }
    const char16_t* table = LowerCaseTable();
    for (uint32_t unit = 0; unit <= 0xFFFF; ++unit)
    {
        if (table[unit] == needle[0] || table[unit] == 0)
            Mark(static_cast<char16_t>(unit));
    }
}

void FindNeedle::Mark(char16_t unit)
{
    starts[unit >> 3] |= static_cast<uint8_t>(1u << (unit & 7));
}

size_t FindNeedle::NextCandidate(const char16_t* text, size_t from, size_t length) const
{
    for (size_t i = from; i < length; ++i)
    {
        if (MayStartAt(text[i]))
            return i;
    }
    return std::u16string::npos;
}

bool FindNeedle::FoundFromCandidates(const std::u16string& text)
{
    const size_t n = needle.size();
    const char16_t* data = text.data();
    const size_t length = text.size();
    const char16_t* table = LowerCaseTable();
    for (size_t at = NextCandidate(data, 0, length); at != std::u16string::npos && at + n <= length;
         at = NextCandidate(data, at + 1, length))
    {
        if (matchCase)
        {
            if (text.compare(at, n, needle) == 0)
                return true;
            continue;
        }
        // Before the first unit the table does not settle, folded and original positions agree,
        // so the needle can be compared in place, unit by unit.
        size_t k = 0;
        for (; k < n; ++k)
        {
            const char16_t lower = table[data[at + k]];
            if (lower == 0 || lower != needle[k])
                break;
        }
        if (k == n)
            return true;
        if (table[data[at + k]] == 0)
        {
            // A unit that needs the slow path (a pair, a NUL): fold the whole text and search it.
            folded.clear();
            AppendLowerCase(data, length, folded);
            return folded.find(needle) != std::u16string::npos;
        }
    }
    return false;
}
