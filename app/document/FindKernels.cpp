// The search of FindNeedle (CaseFolding.h): the scans of a text and of a record's fields, with
// their vector kernels (SSE2 blocks of eight units, AVX-512 blocks of 32). The only file of find
// that includes the vector instructions' headers; each kernel runs only where SimdUse() allows it.
#include <string>

#include "CaseFolding.h"
#include "SimdCap.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define CSVQ_FIND_AVX512 1
#endif

namespace {
#if defined(CSVQ_FIND_AVX512)
// The places of one block of up to 32 units (places of them, from text on) where a match may
// start. The block is loaded under a mask that stops at places: nothing past them is read.
template <bool Single>
__attribute__((target("avx512f,avx512bw,bmi2"), always_inline)) inline unsigned
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

// Bit i % 64 set for each field i that holds one of the start units at a place where a needle of
// needleLength units fits (Single: the one compare of (unit | bit), see FindNeedle::oneCompare).
// 32 places per block, each block loaded under a mask that stops at the text's end: no field is
// read past its end. The loop only marks the fields (few are marked), with no call that would
// keep its values in memory.
template <bool Single>
__attribute__((target("avx512f,avx512bw,bmi2"))) uint64_t
MarkFieldsAvx512(const CSVRecord& fields, size_t needleLength, const char16_t* starts)
{
    const __m512i first = _mm512_set1_epi16(static_cast<short>(starts[0]));
    const __m512i second = _mm512_set1_epi16(static_cast<short>(starts[1]));
    const __m512i third = _mm512_set1_epi16(static_cast<short>(starts[2]));
    const __m512i fourth = _mm512_set1_epi16(static_cast<short>(starts[3]));
    const __m512i bit = _mm512_set1_epi16(static_cast<short>(starts[0] ^ starts[1]));
    const __m512i withBit = _mm512_or_si512(first, bit);
    const ptrdiff_t n = static_cast<ptrdiff_t>(needleLength);
    uint64_t marked = 0;
    size_t index = 0;
    for (const CSVFieldView field : fields)
    {
        const char16_t* text = field.text.data();
        const ptrdiff_t places = static_cast<ptrdiff_t>(field.text.size()) - n + 1;
        // Only the units where a match can start are loaded and compared. BZHI keeps all bits
        // for a count of 32.
        const ptrdiff_t firstPlaces = places < 0 ? 0 : places < 32 ? places : 32;
        unsigned any = MarkBlock<Single>(text, firstPlaces, first, second, third, fourth, bit, withBit);
        if (places > 32) [[unlikely]]
        {
            for (ptrdiff_t at = 32; at < places; at += 32)
            {
                const ptrdiff_t here = places - at;
                any |= MarkBlock<Single>(text + at, here < 32 ? here : 32, first, second, third, fourth, bit,
                                         withBit);
            }
        }
        marked |= static_cast<uint64_t>(any != 0) << (index & 63);
        ++index;
    }
    return marked;
}
#endif

#if defined(__SSE2__)
// Two bits for each of the first `lanes` units of a block (none for lanes <= 0, all for >= 8).
inline unsigned LaneMask(ptrdiff_t lanes)
{
    lanes = lanes < 0 ? 0 : lanes > 8 ? 8 : lanes;
    return (1u << (2 * lanes)) - 1;
}

inline __m128i Lanes(const char16_t (&lanes)[8])
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}
#endif
} // namespace

void FindNeedle::SetWideScan(bool enabled)
{
    wideScan = false;
#if defined(CSVQ_FIND_AVX512)
    static const bool hasAvx512 = SimdUse(SimdKernel::Avx512Bw);
    wideScan = enabled && hasAvx512 && !viaFolding && !needle.empty();
#else
    (void)enabled;
#endif
}

bool FindNeedle::FoundIn(const char16_t* text, size_t length, size_t storage)
{
    return Search(text, length, storage);
}

// Inline, so that the searches of a record's fields below have it in their loops.
inline bool FindNeedle::Search(const char16_t* text, size_t length, size_t storage)
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

bool FindNeedle::FoundInAnyField(const CSVRecord& fields)
{
#if defined(CSVQ_FIND_AVX512)
    if (wideScan)
    {
        // The marked fields are then searched one by one.
        const uint64_t marked = oneCompare ? MarkFieldsAvx512<true>(fields, needle.size(), starts)
                                           : MarkFieldsAvx512<false>(fields, needle.size(), starts);
        return marked != 0 && SearchMarkedFields(fields, marked);
    }
#endif
    for (const CSVFieldView field : fields)
    {
        if (Search(field.text.data(), field.text.size(), field.storage))
            return true;
    }
    return false;
}

bool FindNeedle::SearchMarkedFields(const CSVRecord& fields, uint64_t marked)
{
    size_t index = 0;
    for (const CSVFieldView field : fields)
    {
        if (((marked >> (index & 63)) & 1u) != 0 &&
            Search(field.text.data(), field.text.size(), field.storage))
            return true;
        ++index;
    }
    return false;
}

inline bool FindNeedle::Scan(const char16_t* text, size_t length, size_t storage) const
{
    size_t at = 0;
#if defined(__SSE2__)
    // Eight places per block. A block may reach past the text into its buffer (up to storage) or,
    // at the buffer's end, start before `at`: the places outside [at, last] are masked off.
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
// A needle of at most eight units in a text whose buffer holds at least eight: with few branches,
// as fields are many and short. The first block and the last (the eight units before the end, or
// the first again) cover a text of up to 16 units; longer ones scan the blocks between. Places
// where a match would not fit are masked off, even all of them.
__attribute__((always_inline)) inline bool FindNeedle::ScanBlocks(const char16_t* text, size_t length) const
{
    const ptrdiff_t places = static_cast<ptrdiff_t>(length) - static_cast<ptrdiff_t>(needle.size()) + 1;
    const size_t lastBlock = length >= 8 ? length - 8 : 0;
    const unsigned first = BlockHits(text) & LaneMask(places);
    const unsigned last = BlockHits(text + lastBlock) & LaneMask(places - static_cast<ptrdiff_t>(lastBlock));
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
inline unsigned FindNeedle::BlockHits(const char16_t* block) const
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    if (oneCompare)
    {
        return static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi16(_mm_or_si128(units, Lanes(startLanes[1])), Lanes(startLanes[0]))));
    }
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, Lanes(startLanes[0])),
                                                   _mm_cmpeq_epi16(units, Lanes(startLanes[1]))),
                                      _mm_or_si128(_mm_cmpeq_epi16(units, Lanes(startLanes[2])),
                                                   _mm_cmpeq_epi16(units, Lanes(startLanes[3]))));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}

inline bool FindNeedle::HitInBlock(const char16_t* block, unsigned bits) const
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

inline bool FindNeedle::MatchesAt(const char16_t* text) const
{
    const size_t n = needle.size();
    if (matchCase)
        return std::char_traits<char16_t>::compare(text, needle.data(), n) == 0;
    // The first unit is a start unit already. A surrogate lowers to a surrogate, which this
    // needle does not hold; NUL lowers to NUL.
    for (size_t k = 1; k < n; ++k)
    {
        const char16_t unit = text[k];
        const char16_t folds = unit == 0 ? 0 : lower[unit];
        if (folds != needle[k] || (folds == 0 && unit != 0))
            return false;
    }
    return true;
}

bool FindNeedle::FoundByFolding(const char16_t* text, size_t length)
{
    if (needsSurrogate)
    {
        // Only surrogates lower-case to surrogates: a text without any cannot hold this needle.
        unsigned any = 0;
        for (size_t i = 0; i < length; ++i)
            any |= (text[i] & 0xF800u) == 0xD800u;
        if (any == 0)
            return false;
    }
    folded.clear();
    AppendLowerCase(text, length, folded);
    return folded.find(needle) != std::u16string::npos;
}
