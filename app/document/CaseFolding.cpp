#include "CaseFolding.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include "CodePageDecoder.h"
#include "SimdCap.h"

namespace {
// The simple lower case of the basic plane, both ways, made once on first use.
struct FoldingTables
{
    // u_tolower of every unit of the basic plane that maps inside it; 0 sends a unit to the slow
    // path (NUL, surrogates, and anything whose lower case lies outside the plane).
    std::vector<char16_t> lower;
    // The units from 1 on whose entry in lower is c, ascending: from unitsOf[formsStart[c]] up to
    // unitsOf[formsStart[c + 1]]. So a needle's set-up looks up the forms of its characters
    // instead of walking the plane.
    std::vector<uint32_t> formsStart;
    std::vector<char16_t> unitsOf;

    FoldingTables()
        : lower(0x10000)
        , formsStart(0x10001)
    {
        for (UChar32 code = 1; code <= 0xFFFF; ++code)
        {
            const UChar32 folds = U16_IS_SURROGATE(code) ? 0 : u_tolower(code);
            lower[static_cast<size_t>(code)] =
                folds > 0 && folds <= 0xFFFF ? static_cast<char16_t>(folds) : 0;
        }
        // A counting sort of the units 1..0xFFFF by their lower case: ascending within each.
        for (uint32_t unit = 1; unit <= 0xFFFF; ++unit)
            ++formsStart[static_cast<size_t>(lower[unit]) + 1];
        for (size_t c = 1; c < formsStart.size(); ++c)
            formsStart[c] += formsStart[c - 1];
        unitsOf.resize(formsStart[0x10000]);
        std::vector<uint32_t> next(formsStart.begin(), formsStart.end() - 1);
        for (uint32_t unit = 1; unit <= 0xFFFF; ++unit)
            unitsOf[next[lower[unit]]++] = static_cast<char16_t>(unit);
    }

    // The units from 1 on that lower-case to c (for c 0: those the table leaves to the slow path).
    std::basic_string_view<char16_t> FormsOf(char16_t c) const
    {
        return {unitsOf.data() + formsStart[c], formsStart[static_cast<size_t>(c) + 1] - formsStart[c]};
    }
};

const FoldingTables& Folding()
{
    static const FoldingTables tables;
    return tables;
}

const char16_t* LowerCaseTable()
{
    return Folding().lower.data();
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
    , lower(LowerCaseTable())
{
    if (needle.empty())
        return;
    for (const char16_t unit : needle)
    {
        if (!matchCase && U16_IS_SURROGATE(unit))
            viaFolding = needsSurrogate = true;
    }
    if (matchCase)
    {
        starts[startCount++] = needle[0];
    }
    else if (!viaFolding)
    {
        // Every unit whose lower case is the needle's first unit (NUL only for a NUL).
        const std::basic_string_view<char16_t> forms =
            needle[0] == 0 ? std::basic_string_view<char16_t>(u"", 1) : Folding().FormsOf(needle[0]);
        for (const char16_t unit : forms)
        {
            if (startCount == kMaxStarts)
            {
                // More than this never happens with today's case mappings; stay correct anyway.
                viaFolding = true;
                break;
            }
            starts[startCount++] = unit;
        }
        // The lower-cased needle's first unit always lowers to itself, so it is among them; the
        // table may still tell otherwise for a unit it leaves alone (0 there).
        if (startCount == 0)
            viaFolding = true;
    }
    for (size_t i = startCount; i < kMaxStarts; ++i)
        starts[i] = starts[0];
    const unsigned bit = static_cast<unsigned>(starts[0] ^ starts[1]);
    oneCompare = startCount <= 2 && (bit & (bit - 1)) == 0;
    for (size_t i = 0; i < kMaxStarts; ++i)
    {
        char16_t lane = starts[i];
        if (oneCompare && i < 2)
            lane = i == 0 ? static_cast<char16_t>(starts[0] | bit) : static_cast<char16_t>(bit);
        for (char16_t& unit : startLanes[i])
            unit = lane;
    }
#if defined(__SSE2__)
    blockScan = SimdUse(SimdKernel::Sse2);
#endif
    SetWideScan(true);
}

BytePattern MakeBytePattern(const FindNeedle& needle, int32_t codePage)
{
    const std::u16string& text = needle.GetText();
    BytePattern best;
    if (text.empty())
        return best;
    char16_t table[256];
    const bool utf8 = codePage == 65001;
    if (!utf8 && !GetSingleByteTable(codePage, table))
        return best;
    for (const char16_t c : text)
    {
        if (c == 0 || c == u'\r' || c == u'\n' || c == u'"' || c == 0xFFFD || U16_IS_SURROGATE(c))
            return best;
    }
    BytePattern run;
    auto endRun = [&] {
        if (run.bytes.size() > best.bytes.size())
            best = run;
        run.bytes.clear();
    };
    for (const char16_t c : text)
    {
        // The characters of the text that match c: c itself, or every one that lower-cases to it.
        const std::basic_string_view<char16_t> forms =
            needle.GetMatchCase() ? std::basic_string_view<char16_t>(&c, 1) : Folding().FormsOf(c);
        // Their bytes, position by position.
        std::vector<std::vector<uint8_t>> encoded;
        if (utf8)
        {
            for (const char16_t form : forms)
            {
                std::vector<uint8_t> bytes;
                if (form < 0x80)
                {
                    bytes = {static_cast<uint8_t>(form)};
                }
                else if (form < 0x800)
                {
                    bytes = {static_cast<uint8_t>(0xC0 | (form >> 6)),
                             static_cast<uint8_t>(0x80 | (form & 0x3F))};
                }
                else
                {
                    bytes = {static_cast<uint8_t>(0xE0 | (form >> 12)),
                             static_cast<uint8_t>(0x80 | ((form >> 6) & 0x3F)),
                             static_cast<uint8_t>(0x80 | (form & 0x3F))};
                }
                encoded.push_back(bytes);
            }
        }
        else
        {
            for (unsigned b = 0; b < 256; ++b)
            {
                if (std::find(forms.begin(), forms.end(), table[b]) != forms.end())
                    encoded.push_back({static_cast<uint8_t>(b)});
            }
        }
        bool usable = !encoded.empty();
        for (const std::vector<uint8_t>& bytes : encoded)
            usable = usable && bytes.size() == encoded[0].size();
        std::vector<std::array<uint8_t, 2>> positions;
        for (size_t k = 0; usable && k < encoded[0].size(); ++k)
        {
            std::vector<uint8_t> values;
            for (const std::vector<uint8_t>& bytes : encoded)
            {
                if (std::find(values.begin(), values.end(), bytes[k]) == values.end())
                    values.push_back(bytes[k]);
            }
            if (values.size() > 2)
                usable = false;
            else
                positions.push_back({std::min(values[0], values.back()), std::max(values[0], values.back())});
        }
        if (!usable)
        {
            endRun();
            continue;
        }
        run.bytes.insert(run.bytes.end(), positions.begin(), positions.end());
    }
    endRun();
    return best;
}