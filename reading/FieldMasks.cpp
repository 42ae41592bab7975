#include "FieldMasks.h"

#include <algorithm>

#include "SimdCap.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {
// The bits of the units from `from` to n (at most 64) one at a time.
inline void TailMasks(const char16_t* t, size_t from, size_t n, char16_t separator, uint64_t& qb,
                      uint64_t& sp)
{
    qb = sp = 0;
    for (size_t k = from; k < n; ++k)
    {
        const char16_t c = t[k];
        qb |= uint64_t(c == kQuoteMark || c == kLineFeed || c == kCarriageReturn) << (k - from);
        sp |= uint64_t(c == separator) << (k - from);
    }
}

void BuildMasksPortable(const char16_t* t, size_t n, char16_t separator, uint64_t* qb, uint64_t* sp)
{
    for (size_t i = 0, word = 0; i < n; i += 64, ++word)
        TailMasks(t, i, std::min(n, i + 64), separator, qb[word], sp[word]);
}

void BuildMasksSse2(const char16_t* t, size_t n, char16_t separator, uint64_t* qb, uint64_t* sp)
{
    size_t i = 0;
    size_t word = 0;
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi16(static_cast<short>(kQuoteMark));
    const __m128i sepUnit = _mm_set1_epi16(static_cast<short>(separator));
    const __m128i lf = _mm_set1_epi16(static_cast<short>(kLineFeed));
    const __m128i cr = _mm_set1_epi16(static_cast<short>(kCarriageReturn));
    for (; i + 64 <= n; i += 64, ++word)
    {
        uint64_t q = 0;
        uint64_t s = 0;
        for (int part = 0; part < 4; ++part)
        {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + 16 * part));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + 16 * part + 8));
            const __m128i qa = _mm_or_si128(_mm_cmpeq_epi16(a, quote),
                                            _mm_or_si128(_mm_cmpeq_epi16(a, lf), _mm_cmpeq_epi16(a, cr)));
            const __m128i qbv = _mm_or_si128(_mm_cmpeq_epi16(b, quote),
                                             _mm_or_si128(_mm_cmpeq_epi16(b, lf), _mm_cmpeq_epi16(b, cr)));
            const unsigned qm = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(qa, qbv)));
            const unsigned sm = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, sepUnit), _mm_cmpeq_epi16(b, sepUnit))));
            q |= static_cast<uint64_t>(qm) << (16 * part);
            s |= static_cast<uint64_t>(sm) << (16 * part);
        }
        qb[word] = q;
        sp[word] = s;
    }
    if (i < n)
    {
        // The last word: eight units at a time, the few behind them one by one.
        uint64_t q = 0;
        uint64_t s = 0;
        size_t k = i;
        const __m128i none = _mm_setzero_si128();
        for (; k + 8 <= n; k += 8)
        {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k));
            const __m128i qa = _mm_or_si128(_mm_cmpeq_epi16(a, quote),
                                            _mm_or_si128(_mm_cmpeq_epi16(a, lf), _mm_cmpeq_epi16(a, cr)));
            const unsigned qm = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(qa, none))) & 0xFFu;
            const unsigned sm =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, sepUnit), none))) &
                0xFFu;
            q |= static_cast<uint64_t>(qm) << (k - i);
            s |= static_cast<uint64_t>(sm) << (k - i);
        }
        uint64_t qt = 0;
        uint64_t st = 0;
        TailMasks(t, k, n, separator, qt, st);
        qb[word] = q | (qt << (k - i));
        sp[word] = s | (st << (k - i));
        return;
    }
#endif
    BuildMasksPortable(t + i, n - i, separator, qb + word, sp + word);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx512f,avx512bw"))) void
BuildMasksAvx512(const char16_t* t, size_t n, char16_t separator, uint64_t* qb, uint64_t* sp)
{
    const __m512i quote = _mm512_set1_epi16(static_cast<short>(kQuoteMark));
    const __m512i sepUnit = _mm512_set1_epi16(static_cast<short>(separator));
    const __m512i lf = _mm512_set1_epi16(static_cast<short>(kLineFeed));
    const __m512i cr = _mm512_set1_epi16(static_cast<short>(kCarriageReturn));
    size_t word = 0;
    for (size_t i = 0; i < n; i += 64, ++word)
    {
        const size_t left = n - i;
        const __mmask32 lowValid =
            left >= 32 ? ~__mmask32(0) : static_cast<__mmask32>((uint64_t(1) << left) - 1);
        const __mmask32 highValid = left >= 64   ? ~__mmask32(0)
                                    : left <= 32 ? __mmask32(0)
                                                 : static_cast<__mmask32>((uint64_t(1) << (left - 32)) - 1);
        const __m512i a = _mm512_maskz_loadu_epi16(lowValid, t + i);
        const __m512i b = _mm512_maskz_loadu_epi16(highValid, t + i + 32);
        const uint64_t qa = _mm512_cmpeq_epi16_mask(a, quote) | _mm512_cmpeq_epi16_mask(a, lf) |
                            _mm512_cmpeq_epi16_mask(a, cr);
        const uint64_t qbv = _mm512_cmpeq_epi16_mask(b, quote) | _mm512_cmpeq_epi16_mask(b, lf) |
                             _mm512_cmpeq_epi16_mask(b, cr);
        // Units behind the line load as 0, which is never one of these characters.
        qb[word] = (qa & lowValid) | ((qbv & highValid) << 32);
        sp[word] = (_mm512_cmpeq_epi16_mask(a, sepUnit) & lowValid) |
                   (static_cast<uint64_t>(_mm512_cmpeq_epi16_mask(b, sepUnit) & highValid) << 32);
    }
}
#endif
} // namespace

UnitMasks::BuildFunction UnitMasks::Build()
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const BuildFunction chosen = [] {
        if (SimdUse(SimdKernel::Avx512Bw))
            return BuildMasksAvx512;
        return SimdUse(SimdKernel::Sse2) ? BuildMasksSse2 : BuildMasksPortable;
    }();
    return chosen;
#else
    return BuildMasksPortable;
#endif
}
