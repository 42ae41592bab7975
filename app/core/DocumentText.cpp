// FormatNumber, the go-to-line parser and the case folding of find next.
#include <string>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include "CaseFolding.h"
#include "CsvDocumentCore.h"

std::u16string FormatNumber(int64_t value)
{
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const std::string digits = std::to_string(magnitude);
    std::u16string out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    if (value < 0)
        out += u'-';
    for (size_t i = 0; i < digits.size(); ++i)
    {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += u'.';
        out += static_cast<char16_t>(digits[i]);
    }
    return out;
}

int64_t ParseRecordNumber(const std::u16string& text)
{
    size_t i = 0;
    while (i < text.size() && u_isspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
    {
        negative = text[i] == u'-';
        ++i;
    }
    // The magnitude may reach 2^63 for the negative limit.
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    bool clamped = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    {
        const uint64_t digit = static_cast<uint64_t>(text[i] - u'0');
        if (clamped || magnitude > (limit - digit) / 10)
        {
            clamped = true;
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (clamped)
        magnitude = limit;
    if (!negative)
        return static_cast<int64_t>(magnitude);
    return magnitude == (uint64_t{1} << 63) ? INT64_MIN : -static_cast<int64_t>(magnitude);
}

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

void MarkUnitsFoldingTo(char16_t target, std::vector<uint8_t>& bitmap)
{
    const char16_t* table = LowerCaseTable();
    bitmap.assign(0x10000 / 8, 0);
    for (uint32_t unit = 0; unit <= 0xFFFF; ++unit)
    {
        if (table[unit] == target || table[unit] == 0)
            bitmap[unit >> 3] |= static_cast<uint8_t>(1u << (unit & 7));
    }
}
