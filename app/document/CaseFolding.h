// The case folding and substring search of find next. Match case off folds by simple
// per-character lower-casing (u_tolower, one code point to one), so that a folded text is never
// longer than the text. The Row details pane should fold the same way, so that the hit find next
// reports is the one the pane selects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define CSVQ_FIND_AVX512 1
#endif

#include "CSVReader.h"
#include "RecordScanner.h"

// Appends the lower-cased text to out.
void AppendLowerCase(const char16_t* text, size_t length, std::u16string& out);
std::u16string ToLowerCase(const std::u16string& text);

// One search text, prepared for many fields: FoundIn(text) tells whether the text holds it, with
// match case as given, or else after both sides were lower-cased. Same answers as folding the
// whole text and searching it, faster: the text is scanned in place, 32 units at a time with
// AVX-512 where the processor has it, else eight, for the units that fold to the needle's first
// unit, and only those places are compared.
//
// Why in place works: lower-casing maps a unit of the basic plane (not a surrogate) to one unit of
// the basic plane, and leaves surrogates as surrogates (a pair maps to a pair, a lone one to
// itself). So for a needle without surrogates, a match in the folded text is a run of plain units
// whose lower cases are the needle, at the same place in the text. A needle with surrogates folds
// the text (into a reused buffer) and searches that.
class FindNeedle
{
public:
    // needle: the search text as typed; it is lower-cased here when matchCase is off.
    FindNeedle(const std::u16string& needle, bool matchCase);

    const std::u16string& GetText() const { return needle; }
    bool GetMatchCase() const { return matchCase; }

    // A string's buffer holds its capacity and the terminator: blocks of eight may be read up to there.
    bool FoundIn(const std::u16string& text)
    {
        return FoundIn(text.data(), text.size(), text.capacity() + 1);
    }
    // A field of a record: blocks may be read up to the end of the record's buffer.
    bool FoundIn(const CSVFieldView& field) { return FoundIn(field.text.data(), field.text.size(), field.storage); }
    // storage: the units readable from text on (its buffer's size, at least length).
    bool FoundIn(const char16_t* text, size_t length, size_t storage)
    {
        if (needle.empty())
            return true;
#if defined(__SSE2__)
        if (blockScan && !viaFolding && storage >= 8 && needle.size() <= 8)
            return ScanBlocks(text, length);
#endif
        // Folding never changes the length of a text.
        if (length < needle.size())
            return false;
        if (viaFolding)
            return FoundByFolding(text, length);
        return Scan(text, length, storage);
    }

    // Whether any of the fields (objects with a text member) holds the needle.
    template <typename Fields>
    bool FoundInAnyField(const Fields& fields)
    {
#if defined(CSVQ_FIND_AVX512)
        if (wideScan)
            return FoundInAnyFieldAvx512(fields);
#endif
        for (const auto& field : fields)
        {
            if (FoundIn(field))
                return true;
        }
        return false;
    }

    // Test hook: false keeps the search off the AVX-512 path even where the processor has it.
    void SetWideScan(bool enabled);

private:
#if defined(CSVQ_FIND_AVX512)
    // 32 places per block, each block loaded under a mask that stops at the text's end: no field
    // is read past its end. The loop only marks the fields holding a unit that may start a match
    // (few do), with no call that would keep its values in memory; the marked fields are then
    // searched one by one.
    template <typename Fields>
    __attribute__((target("avx512f,avx512bw,bmi2"))) bool FoundInAnyFieldAvx512(const Fields& fields)
    {
        return oneCompare ? MarkFieldsAvx512<true>(fields) : MarkFieldsAvx512<false>(fields);
    }

    template <bool Single>
    __attribute__((target("avx512f,avx512bw,bmi2"), always_inline)) static unsigned
    MarkBlock(const char16_t* text, ptrdiff_t places, __m512i first, __m512i second, __m512i third,
              __m512i fourth, __m512i bit, __m512i withBit)
    {
        const __mmask32 lanes = _bzhi_u32(~0u, static_cast<unsigned>(places));
        const __m512i units = _mm512_maskz_loadu_epi16(lanes, text);
        if constexpr (Single)
        {
            (void)first, (void)second, (void)third, (void)fourth;
            return _mm512_mask_cmpeq_epi16_mask(lanes, _mm512_or_si512(units, bit), withBit);
        }
        else
        {
            (void)bit, (void)withBit;
            return _mm512_mask_cmpeq_epi16_mask(lanes, units, first) |
                   _mm512_mask_cmpeq_epi16_mask(lanes, units, second) |
                   _mm512_mask_cmpeq_epi16_mask(lanes, units, third) |
                   _mm512_mask_cmpeq_epi16_mask(lanes, units, fourth);
        }
    }

    template <bool Single, typename Fields>
    __attribute__((target("avx512f,avx512bw,bmi2"))) bool MarkFieldsAvx512(const Fields& fields)
    {
        const __m512i first = _mm512_set1_epi16(static_cast<short>(starts[0]));
        const __m512i second = _mm512_set1_epi16(static_cast<short>(starts[1]));
        const __m512i third = _mm512_set1_epi16(static_cast<short>(starts[2]));
        const __m512i fourth = _mm512_set1_epi16(static_cast<short>(starts[3]));
        const __m512i bit = _mm512_set1_epi16(static_cast<short>(starts[0] ^ starts[1]));
        const __m512i withBit = _mm512_or_si512(first, bit);
        const ptrdiff_t n = static_cast<ptrdiff_t>(needle.size());
        // Bit i % 64 for field i: set when the field may hold a match.
        uint64_t marked = 0;
        size_t index = 0;
        for (const auto& field : fields)
        {
            const char16_t* text = field.text.data();
            const ptrdiff_t places = static_cast<ptrdiff_t>(field.text.size()) - n + 1;
            // Only the units where a match can start are loaded and compared. BZHI keeps all
            // bits for a count of 32.
            const ptrdiff_t firstPlaces = places < 0 ? 0 : places < 32 ? places : 32;
            unsigned any = MarkBlock<Single>(text, firstPlaces, first, second, third, fourth, bit, withBit);
            if (places > 32) [[unlikely]]
            {
                for (ptrdiff_t at = 32; at < places; at += 32)
                {
                    const ptrdiff_t here = places - at;
                    any |= MarkBlock<Single>(text + at, here < 32 ? here : 32, first, second, third, fourth,
                                             bit, withBit);
                }
            }
            marked |= static_cast<uint64_t>(any != 0) << (index & 63);
            ++index;
        }
        return marked != 0 && SearchMarkedFields(fields, marked);
    }
#endif

    template <typename Fields>
    bool SearchMarkedFields(const Fields& fields, uint64_t marked)
    {
        size_t index = 0;
        for (const auto& field : fields)
        {
            if (((marked >> (index & 63)) & 1u) != 0 && FoundIn(field))
                return true;
            ++index;
        }
        return false;
    }

    bool Scan(const char16_t* text, size_t length, size_t storage) const
    {
        size_t at = 0;
#if defined(__SSE2__)
        // Eight places per block. A block may reach past the text into its buffer (a string's
        // buffer holds its capacity and the terminator) or, at the buffer's end, start before
        // `at`: the places outside [at, last] are masked off.
        if (blockScan && storage >= 8)
        {
            // The first block without a branch on the length: most fields fit in it.
            const size_t places = length + 1 > needle.size() ? length + 1 - needle.size() : 0;
            unsigned bits = BlockHits(text) & ((1u << (2 * (places < 8 ? places : 8))) - 1);
            if (bits != 0 && HitInBlock(text, bits))
                return true;
            if (places <= 8)
                return false;
            at = 8;
        }
        const size_t last = length - needle.size(); // the last place a match can start
        while (blockScan && at <= last)
        {
            size_t base = at;
            if (at + 8 > storage)
            {
                if (length < 8)
                    break;
                base = length - 8;
            }
            unsigned bits = BlockHits(text + base);
            bits &= ~0u << (2 * (at - base));
            if (last - base < 7)
                bits &= (1u << (2 * (last - base + 1))) - 1;
            if (bits != 0 && HitInBlock(text + base, bits))
                return true;
            at = base + 8;
        }
#else
        const size_t last = length - needle.size();
        (void)storage;
#endif
        for (; at <= last; ++at)
        {
            const char16_t unit = text[at];
            if ((unit == starts[0] || unit == starts[1] || unit == starts[2] || unit == starts[3]) &&
                MatchesAt(text + at))
                return true;
        }
        return false;
    }
#if defined(__SSE2__)
    // Two bits for each of the first `lanes` units of a block (none for lanes <= 0, all for >= 8).
    static unsigned LaneMask(ptrdiff_t lanes)
    {
        lanes = lanes < 0 ? 0 : lanes > 8 ? 8 : lanes;
        return (1u << (2 * lanes)) - 1;
    }
    // A needle of at most eight units in a text whose buffer holds at least eight: with few
    // branches, as fields are many and short. The first block and the last (the eight units
    // before the end, or the first again) cover a text of up to 16 units; longer ones scan the
    // blocks between. Places where a match would not fit are masked off, even all of them.
    __attribute__((always_inline)) bool ScanBlocks(const char16_t* text, size_t length) const
    {
        const ptrdiff_t places = static_cast<ptrdiff_t>(length) - static_cast<ptrdiff_t>(needle.size()) + 1;
        const size_t lastBlock = length >= 8 ? length - 8 : 0;
        const unsigned first = BlockHits(text) & LaneMask(places);
        const unsigned last =
            BlockHits(text + lastBlock) & LaneMask(places - static_cast<ptrdiff_t>(lastBlock));
        if ((first | last) != 0 && (HitInBlock(text, first) || HitInBlock(text + lastBlock, last)))
            return true;
        if (length <= 16)
            return false;
        for (size_t at = 8; at < lastBlock; at += 8)
        {
            const unsigned bits = BlockHits(text + at) & LaneMask(places - static_cast<ptrdiff_t>(at));
            if (bits != 0 && HitInBlock(text + at, bits))
                return true;
        }
        return false;
    }
    // Two bits for each of the eight units from block on that may start a match.
    unsigned BlockHits(const char16_t* block) const
    {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        if (oneCompare)
            return static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(units, startBlocks[1]), startBlocks[0])));
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, startBlocks[0]), _mm_cmpeq_epi16(units, startBlocks[1])),
            _mm_or_si128(_mm_cmpeq_epi16(units, startBlocks[2]), _mm_cmpeq_epi16(units, startBlocks[3])));
        return static_cast<unsigned>(_mm_movemask_epi8(hits));
    }
    bool HitInBlock(const char16_t* block, unsigned bits) const
    {
        while (bits != 0)
        {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(bits));
            if (MatchesAt(block + bit / 2))
                return true;
            bits &= ~(3u << bit);
        }
        return false;
    }
#endif
    bool MatchesAt(const char16_t* text) const;
    bool FoundByFolding(const char16_t* text, size_t length);

    std::u16string needle;
    bool matchCase;
    bool viaFolding = false;
    bool needsSurrogate = false; // the lower-cased needle holds a surrogate
    // The units that can start a match (those whose lower case is the needle's first unit), the
    // list padded with repeats of the first.
    static constexpr size_t kMaxStarts = 4;
    char16_t starts[kMaxStarts] = {};
    size_t startCount = 0;
#if defined(__SSE2__)
    // Each start unit in all eight lanes; or, when the start units are one unit and that unit
    // with one bit set (a letter and its capital in ASCII), that unit with the bit set in [0]
    // and the bit in [1], so that one compare of (unit | bit) finds both.
    __m128i startBlocks[kMaxStarts] = {};
    bool oneCompare = false;
    // Blocks of eight are compared with SSE2 (unless the vector level is capped below it).
    bool blockScan = true;
#endif
    // The search runs on AVX-512 (the processor has it, and the needle needs no folding of the text).
    bool wideScan = false;
    // The lower case of each unit of the basic plane; 0 for NUL, surrogates and units it leaves.
    const char16_t* lower = nullptr;
    std::u16string folded;
};

// The bytes that text read with this code page (8-bit text) must hold where it holds the needle:
// the longest run of the needle's characters whose every form that folds onto them (or the
// character itself with match case on) is written with the same number of bytes, each byte one
// of at most two values. Empty when no such run exists or the needle holds what the bytes do not
// show one to one (CR, LF, NUL, U+FFFD, a quotation mark, a surrogate), or the code page is not
// UTF-8 or a single-byte page.
BytePattern MakeBytePattern(const FindNeedle& needle, int32_t codePage);
