#include "Utf8Decode.h"

#include <cstring>

#include "SimdCap.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {
inline bool IsUtf8Continuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// Copies ASCII from s[i] on to `o`, eight bytes at a time while all eight are ASCII. Returns the
// index of the first byte not copied; `o` moves behind the units written.
inline size_t CopyAsciiWords(const uint8_t* s, size_t i, size_t n, char16_t*& o)
{
    while (i + 8 <= n)
    {
        uint64_t word;
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
        for (int k = 0; k < 8; ++k)
            o[k] = s[i + k];
        o += 8;
        i += 8;
    }
    return i;
}

// Decodes the one sequence that starts with the byte s[i] (not ASCII), or the U+FFFD of its
// failure. Returns the index behind it; `o` moves behind the units written.
inline size_t DecodeSequence(const uint8_t* s, size_t i, size_t n, char16_t*& o)
{
    const uint8_t b = s[i];
    size_t need;
    uint32_t code;
    if (b >= 0xC2 && b <= 0xDF)
    {
        need = 1;
        code = b & 0x1F;
    }
    else if (b >= 0xE0 && b <= 0xEF)
    {
        need = 2;
        code = b & 0x0F;
    }
    else if (b >= 0xF0 && b <= 0xF4)
    {
        need = 3;
        code = b & 0x07;
    }
    else
    {
        // C0, C1, F5 to FF and lone continuation bytes.
        *o++ = 0xFFFD;
        return i + 1;
    }
    ++i;
    bool failed = false;
    for (size_t k = 0; k < need; ++k)
    {
        if (i >= n || !IsUtf8Continuation(s[i]))
        {
            failed = true;
            break;
        }
        code = (code << 6) | (s[i] & 0x3F);
        ++i;
        if (k == 0 && need >= 2)
        {
            const bool bad =
                need == 2 ? (code < 0x20 || (code >= 0x360 && code < 0x380)) : (code < 0x10 || code >= 0x110);
            if (bad)
            {
                failed = true;
                break;
            }
        }
    }
    if (failed)
    {
        *o++ = 0xFFFD;
    }
    else if (code >= 0x10000)
    {
        code -= 0x10000;
        *o++ = static_cast<char16_t>(0xD800 + (code >> 10));
        *o++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
    else
    {
        *o++ = static_cast<char16_t>(code);
    }
    return i;
}

// One step of the portable decoder from s[i] (i < n): a run of ASCII, a run of well-formed
// sequences of one length, then, where that run stops at a lead of its length, that one sequence
// or its failure. Returns where the next step starts; `o` moves behind the units written.
__attribute__((always_inline)) inline size_t DecodeStep(const uint8_t* s, size_t i, size_t n, char16_t*& o)
{
    i = CopyAsciiWords(s, i, n, o);
    if (i >= n)
        return i;
    const uint8_t b = s[i];
    if (b < 0x80)
    {
        *o++ = b;
        return i + 1;
    }
    if (b >= 0xC2 && b <= 0xDF)
    {
        // Runs of two-byte characters (Greek, Cyrillic, ...) stay in this loop.
        while (i + 1 < n && IsUtf8Continuation(s[i + 1]))
        {
            *o++ = static_cast<char16_t>(((s[i] & 0x1F) << 6) | (s[i + 1] & 0x3F));
            i += 2;
            if (i >= n || s[i] < 0xC2 || s[i] > 0xDF)
                return i;
        }
    }
    else if (b >= 0xE0 && b <= 0xEF)
    {
        while (i + 2 < n && IsUtf8Continuation(s[i + 1]) && IsUtf8Continuation(s[i + 2]))
        {
            const uint32_t c = ((s[i] & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
                break;
            *o++ = static_cast<char16_t>(c);
            i += 3;
            if (i >= n || s[i] < 0xE0 || s[i] > 0xEF)
                return i;
        }
    }
    else if (b >= 0xF0 && b <= 0xF4)
    {
        if (i + 3 < n && IsUtf8Continuation(s[i + 1]) && IsUtf8Continuation(s[i + 2]) &&
            IsUtf8Continuation(s[i + 3]))
        {
            uint32_t c = ((b & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                         (s[i + 3] & 0x3Fu);
            if (c >= 0x10000 && c <= 0x10FFFF)
            {
                c -= 0x10000;
                *o++ = static_cast<char16_t>(0xD800 + (c >> 10));
                *o++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
                return i + 4;
            }
        }
    }
    // A run stopped at a sequence it could not take (malformed, or cut by the end), or a byte
    // that leads no sequence.
    return DecodeSequence(s, i, n, o);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define CSVQ_UTF8_AVX512 1

// Well-formed UTF-8 sequences decoded 32 bytes at a time (AVX-512 with VBMI2 compression); a
// four-byte sequence gives its high surrogate at its lead byte and its low one at its third byte.
// Stops before the first chunk that holds anything else (malformed sequences, or a sequence cut by
// the end of the run) and returns the bytes decoded; `o` moves behind the units written.
__attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi2,bmi,bmi2,popcnt"))) size_t
DecodeUtf8Avx512(const uint8_t* s, size_t n, char16_t*& o)
{
    const __m512i next1 = _mm512_set_epi16(31, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16,
                                           15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m512i next2 = _mm512_set_epi16(31, 31, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17,
                                           16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2);
    const __m256i topTwo = _mm256_set1_epi8(static_cast<char>(0xC0));
    const __m256i topThree = _mm256_set1_epi8(static_cast<char>(0xE0));
    const __m256i topFour = _mm256_set1_epi8(static_cast<char>(0xF0));
    const __m256i topFive = _mm256_set1_epi8(static_cast<char>(0xF8));
    const __m512i low6 = _mm512_set1_epi16(0x3F);
    size_t i = 0;
    while (i < n)
    {
        const size_t left = n - i;
        __mmask32 valid = left >= 32 ? ~__mmask32(0) : static_cast<__mmask32>((uint64_t(1) << left) - 1);
        const __m256i b = _mm256_maskz_loadu_epi8(valid, s + i);
        const __mmask32 ascii = valid & ~_mm256_movepi8_mask(b);
        if (ascii == valid)
        {
            // A chunk of ASCII alone (the common case) is only widened.
            _mm512_mask_storeu_epi16(o, valid, _mm512_cvtepu8_epi16(b));
            const unsigned units = static_cast<unsigned>(__builtin_popcount(valid));
            o += units;
            i += units;
            continue;
        }
        const __mmask32 cont = valid & _mm256_cmpeq_epi8_mask(_mm256_and_si256(b, topTwo),
                                                              _mm256_set1_epi8(static_cast<char>(0x80)));
        const __mmask32 lead2 = valid & _mm256_cmpeq_epi8_mask(_mm256_and_si256(b, topThree), topTwo) &
                                _mm256_cmpge_epu8_mask(b, _mm256_set1_epi8(static_cast<char>(0xC2)));
        const __mmask32 lead3 = valid & _mm256_cmpeq_epi8_mask(_mm256_and_si256(b, topFour), topThree);
        const __mmask32 lead4 = valid & _mm256_cmpeq_epi8_mask(_mm256_and_si256(b, topFive), topFour) &
                                _mm256_cmple_epu8_mask(b, _mm256_set1_epi8(static_cast<char>(0xF4)));
        // Bytes of any other kind end the chunk before them.
        const uint32_t other = valid & ~(ascii | cont | lead2 | lead3 | lead4);
        uint32_t take = valid;
        if (other)
            take &= (uint32_t(1) << __builtin_ctz(other)) - 1;
        // A sequence that does not end inside the chunk is left for the next one; cutting may
        // leave an earlier sequence open in turn.
        for (;;)
        {
            const uint32_t open =
                (lead2 & take & ~(take >> 1)) | (lead3 & take & ~(take >> 2)) | (lead4 & take & ~(take >> 3));
            if (!open)
                break;
            take &= (uint32_t(1) << __builtin_ctz(open)) - 1;
        }
        const uint32_t l2 = lead2 & take;
        const uint32_t l3 = lead3 & take;
        const uint32_t l4 = lead4 & take;
        const uint32_t expected = (l2 << 1) | (l3 << 1) | (l3 << 2) | (l4 << 1) | (l4 << 2) | (l4 << 3);
        if ((cont & take) != expected || take == 0)
            break;
        const __m512i w = _mm512_cvtepu8_epi16(b);
        const __m512i w1 = _mm512_permutexvar_epi16(next1, w);
        const __m512i w2 = _mm512_permutexvar_epi16(next2, w);
        const __m512i two = _mm512_or_si512(
            _mm512_slli_epi16(_mm512_and_si512(w, _mm512_set1_epi16(0x1F)), 6), _mm512_and_si512(w1, low6));
        const __m512i three = _mm512_or_si512(
            _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(w, _mm512_set1_epi16(0x0F)), 12),
                            _mm512_slli_epi16(_mm512_and_si512(w1, low6), 6)),
            _mm512_and_si512(w2, low6));
        // Overlong three-byte forms and surrogates are malformed.
        __mmask32 bad =
            l3 & (_mm512_cmplt_epu16_mask(three, _mm512_set1_epi16(0x800)) |
                  (_mm512_cmpge_epu16_mask(three, _mm512_set1_epi16(static_cast<short>(0xD800))) &
                   _mm512_cmple_epu16_mask(three, _mm512_set1_epi16(static_cast<short>(0xDFFF)))));
        __m512i value = _mm512_mask_mov_epi16(w, l2, two);
        value = _mm512_mask_mov_epi16(value, l3, three);
        if (l4)
        {
            // The code point's bits above the low ten: below 0x40 is overlong, above 0x43F
            // beyond U+10FFFF.
            const __m512i high = _mm512_or_si512(
                _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(w, _mm512_set1_epi16(0x07)), 8),
                                _mm512_slli_epi16(_mm512_and_si512(w1, low6), 2)),
                _mm512_and_si512(_mm512_srli_epi16(w2, 4), _mm512_set1_epi16(0x03)));
            bad |= l4 & (_mm512_cmplt_epu16_mask(high, _mm512_set1_epi16(0x40)) |
                         _mm512_cmpgt_epu16_mask(high, _mm512_set1_epi16(0x43F)));
            const __m512i lowSurrogate = _mm512_or_si512(
                _mm512_or_si512(_mm512_set1_epi16(static_cast<short>(0xDC00)),
                                _mm512_slli_epi16(_mm512_and_si512(w, _mm512_set1_epi16(0x0F)), 6)),
                _mm512_and_si512(w1, low6));
            value = _mm512_mask_mov_epi16(
                value, l4, _mm512_add_epi16(high, _mm512_set1_epi16(static_cast<short>(0xD7C0))));
            value = _mm512_mask_mov_epi16(value, l4 << 2, lowSurrogate);
        }
        if (bad)
            break;
        const __mmask32 keep = (take & ~cont) | (l4 << 2);
        const __m512i packed = _mm512_maskz_compress_epi16(keep, value);
        const unsigned units = static_cast<unsigned>(__builtin_popcount(keep));
        _mm512_mask_storeu_epi16(o, static_cast<__mmask32>((uint64_t(1) << units) - 1), packed);
        o += units;
        const unsigned used = static_cast<unsigned>(__builtin_popcount(take));
        i += used;
        // A chunk cut only before a sequence that runs past its end goes on from that sequence;
        // otherwise the rest starts with something the chunk could not take.
        if (used < 32 && i < n && (other || left <= 32))
            break;
    }
    return i;
}

#endif

// The portable steps, with the vector kernel first wherever at least eight bytes are left when
// Vector is set (a loop of its own each way). The kernel stops only between well-formed sequences,
// so each step starts where the portable decoder would start one.
template <bool Vector>
size_t DecodeUtf8Steps(const uint8_t* s, size_t n, char16_t* out)
{
    char16_t* o = out;
    size_t i = 0;
    while (i < n)
    {
#if defined(CSVQ_UTF8_AVX512)
        if (Vector && n - i >= 8)
        {
            i += DecodeUtf8Avx512(s + i, n - i, o);
            if (i >= n)
                break;
        }
#endif
        i = DecodeStep(s, i, n, o);
    }
    return static_cast<size_t>(o - out);
}

bool VectorDecoderUsable()
{
#if defined(CSVQ_UTF8_AVX512)
    return SimdUse(SimdKernel::Avx512Utf8);
#else
    return false;
#endif
}
} // namespace

size_t DecodeUtf8(const uint8_t* s, size_t n, char16_t* out)
{
    return DecodeUtf8Steps<false>(s, n, out);
}

size_t DecodeUtf8Fast(const uint8_t* s, size_t n, char16_t* out)
{
    static const bool vector = VectorDecoderUsable();
    return vector ? DecodeUtf8Steps<true>(s, n, out) : DecodeUtf8Steps<false>(s, n, out);
}

bool Utf8DecoderUsable(Utf8Decoder decoder)
{
    return decoder == Utf8Decoder::Scalar || VectorDecoderUsable();
}

size_t DecodeUtf8With(Utf8Decoder decoder, const uint8_t* s, size_t n, char16_t* out)
{
    return decoder == Utf8Decoder::Avx512 && VectorDecoderUsable() ? DecodeUtf8Steps<true>(s, n, out)
                                                                   : DecodeUtf8Steps<false>(s, n, out);
}
