#include "Utf8Decode.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "CodePageDecoder.h"
#include "SimdCap.h"

namespace {
using Bytes = std::vector<uint8_t>;

constexpr char16_t kGuard = 0xABCD;
constexpr size_t kGuardUnits = 64;

std::string Hex(const Bytes& bytes)
{
    std::string text;
    char hex[4];
    for (uint8_t b : bytes)
    {
        std::snprintf(hex, sizeof hex, " %02X", b);
        text += hex;
    }
    return text;
}

const char* Name(Utf8Decoder decoder)
{
    return decoder == Utf8Decoder::Scalar ? "scalar" : "avx512";
}

// The decoders that may run in this process (the scalar one always).
std::vector<Utf8Decoder> UsableDecoders()
{
    std::vector<Utf8Decoder> decoders;
    for (Utf8Decoder decoder : {Utf8Decoder::Scalar, Utf8Decoder::Avx512})
    {
        if (Utf8DecoderUsable(decoder))
            decoders.push_back(decoder);
    }
    return decoders;
}

// Decodes into room for exactly as many units as there are bytes, followed by guard units that
// no decoder may write.
template <typename Decode>
std::u16string DecodeGuarded(const Bytes& bytes, Decode decode)
{
    std::u16string room(bytes.size() + kGuardUnits, kGuard);
    const size_t units = decode(bytes.data(), bytes.size(), room.data());
    EXPECT_LE(units, bytes.size()) << Hex(bytes);
    for (size_t k = bytes.size(); k < room.size(); ++k)
    {
        EXPECT_EQ(room[k], kGuard) << "written past the room at unit " << k << " of" << Hex(bytes);
        if (room[k] != kGuard)
            break;
    }
    room.resize(std::min(units, bytes.size()));
    return room;
}

// Every way the reading library decodes UTF-8 gives `expected` (or, with none, what the portable
// decoder gives).
void ExpectEveryDecoderAgrees(const Bytes& bytes, const std::u16string* expected)
{
    const std::u16string scalar = DecodeGuarded(bytes, DecodeUtf8);
    if (expected)
    {
        EXPECT_EQ(scalar, *expected) << "scalar," << Hex(bytes);
    }
    const std::u16string& want = expected ? *expected : scalar;
    for (Utf8Decoder decoder : UsableDecoders())
    {
        const std::u16string got = DecodeGuarded(bytes, [decoder](const uint8_t* s, size_t n, char16_t* out) {
            return DecodeUtf8With(decoder, s, n, out);
        });
        EXPECT_EQ(got, want) << Name(decoder) << "," << Hex(bytes);
    }
    EXPECT_EQ(DecodeGuarded(bytes, DecodeUtf8Fast), want) << "fast," << Hex(bytes);
    std::u16string page;
    ASSERT_TRUE(DecodeCodePage(65001, bytes.data(), bytes.size(), page));
    EXPECT_EQ(page, want) << "code page 65001," << Hex(bytes);
}

struct Utf8Case
{
    Bytes bytes;
    std::u16string expected;
};

// Each case ends where a sequence ends or fails, and a byte that is no continuation byte may
// follow it without changing its units.
const std::vector<Utf8Case>& Cases()
{
    static const std::vector<Utf8Case> cases = {
        {{}, u""},
        {{'a'}, u"a"},
        {{0x00}, std::u16string(1, u'\0')},
        {{0x7F}, u"\u007F"},
        // Well-formed at the ends of each length's range.
        {{0xC2, 0x80}, u"\u0080"},
        {{0xDF, 0xBF}, u"\u07FF"},
        {{0xE0, 0xA0, 0x80}, u"\u0800"},
        {{0xED, 0x9F, 0xBF}, u"\uD7FF"},
        {{0xEE, 0x80, 0x80}, u"\uE000"},
        {{0xEF, 0xBF, 0xBF}, u"\uFFFF"},
        {{0xEF, 0xBB, 0xBF}, u"\uFEFF"},
        {{0xF0, 0x90, 0x80, 0x80}, u"\U00010000"},
        {{0xF0, 0x9F, 0x98, 0x80}, u"\U0001F600"},
        {{0xF4, 0x8F, 0xBF, 0xBF}, u"\U0010FFFF"},
        {{0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9D, 0x84, 0x9E}, u"\u00E9\u20AC\U0001D11E"},
        // Overlong forms: C0 and C1 fail alone; longer ones fail with their second byte.
        {{0xC0, 0x80}, u"\uFFFD\uFFFD"},
        {{0xC1, 0xBF}, u"\uFFFD\uFFFD"},
        {{0xE0, 0x80, 0x80}, u"\uFFFD\uFFFD"},
        {{0xE0, 0x9F, 0xBF}, u"\uFFFD\uFFFD"},
        {{0xF0, 0x80, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD"},
        {{0xF0, 0x8F, 0xBF, 0xBF}, u"\uFFFD\uFFFD\uFFFD"},
        // Surrogates and values past U+10FFFF.
        {{0xED, 0xA0, 0x80}, u"\uFFFD\uFFFD"},
        {{0xED, 0xBF, 0xBF}, u"\uFFFD\uFFFD"},
        {{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {{0xF4, 0x90, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD"},
        {{0xF7, 0xBF, 0xBF, 0xBF}, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        // Bytes that lead nothing, and lone continuation bytes.
        {{0xF5, 0x80, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {{0xF8}, u"\uFFFD"},
        {{0xFE, 0xFF}, u"\uFFFD\uFFFD"},
        {{0x80}, u"\uFFFD"},
        {{0xBF, 0x80, 0xA9}, u"\uFFFD\uFFFD\uFFFD"},
        // Sequences cut by a byte that does not continue them (here, or by what follows the case).
        {{0xC3}, u"\uFFFD"},
        {{0xE2, 0x82}, u"\uFFFD"},
        {{0xE2}, u"\uFFFD"},
        {{0xF0, 0x9F, 0x98}, u"\uFFFD"},
        {{0xF0, 0x9F}, u"\uFFFD"},
        {{0xF0}, u"\uFFFD"},
        {{0xC3, 'a'}, u"\uFFFDa"},
        {{0xE2, 0xE2, 0x82, 0xAC}, u"\uFFFD\u20AC"},
        {{0xF0, 0x9F, 0x98, 0xC3, 0xA9}, u"\uFFFD\u00E9"},
        {{0xC3, 0xA9, 0xC3, 0xC3, 0xA9}, u"\u00E9\uFFFD\u00E9"},
        {{0xE6, 0x97, 0xA5, 0xE6, 0x97, 0xE6, 0x97, 0xA5}, u"\u65E5\uFFFD\u65E5"},
    };
    return cases;
}

Bytes Join(const Bytes& a, const Bytes& b, const Bytes& c)
{
    Bytes all(a);
    all.insert(all.end(), b.begin(), b.end());
    all.insert(all.end(), c.begin(), c.end());
    return all;
}

TEST(Utf8Decode, EachCaseGivesItsUnitsInEveryDecoder)
{
    for (const Utf8Case& c : Cases())
        ExpectEveryDecoderAgrees(c.bytes, &c.expected);
}

// Each case at every place of a vector chunk and across its end: after up to 70 units of text of
// one byte length, and before up to 40 more, so that the case and the cut of a chunk meet at
// every offset, and a sequence cut by the end of the bytes is met at every offset too.
TEST(Utf8Decode, EachCaseAtEveryOffsetGivesItsUnitsInEveryDecoder)
{
    struct Filler
    {
        Bytes bytes;
        char16_t unit;
    };
    const Filler fillers[] = {{{'x'}, u'x'}, {{0xD0, 0x96}, u'\u0416'}, {{0xE2, 0x82, 0xAC}, u'\u20AC'}};
    for (const Filler& filler : fillers)
    {
        for (const Utf8Case& c : Cases())
        {
            for (size_t before = 0; before <= 70; before += (before < 40 ? 1 : 3))
            {
                for (size_t after : {size_t(0), size_t(1), size_t(7), size_t(31), size_t(40)})
                {
                    Bytes head;
                    Bytes tail;
                    for (size_t k = 0; k < before; ++k)
                        head.insert(head.end(), filler.bytes.begin(), filler.bytes.end());
                    for (size_t k = 0; k < after; ++k)
                        tail.insert(tail.end(), filler.bytes.begin(), filler.bytes.end());
                    const std::u16string expected =
                        std::u16string(before, filler.unit) + c.expected + std::u16string(after, filler.unit);
                    ExpectEveryDecoderAgrees(Join(head, c.bytes, tail), &expected);
                    if (::testing::Test::HasFailure())
                        return;
                }
            }
        }
    }
}

// Generated text: mostly well-formed characters of every length, now and then a malformed piece
// or a stray byte, cut at random lengths; and bytes at random, mostly high ones.
TEST(Utf8Decode, GeneratedBytesGiveTheSameUnitsInEveryDecoder)
{
    static const char* const kPieces[] = {
        "a", "Z", " ", ";", "\xC3\xA9", "\xCE\xB1", "\xD0\x96", "\xDF\xBF", "\xE2\x82\xAC", "\xE6\x97\xA5",
        "\xEF\xBF\xBD", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xF0\x9F\x98\x80",
        "\xF4\x8F\xBF\xBF", "0123456789abcdef0123456789abcdef",
        // Malformed from here on.
        "\xE0\x80\x80", "\xED\xA0\x80", "\xC0\x80", "\xC1\xBF", "\x80", "\xBF", "\xE2\x82", "\xF0\x9F\x98",
        "\xF5\x80\x80\x80", "\xFF", "\xC2", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80"};
    constexpr size_t kCount = sizeof(kPieces) / sizeof(kPieces[0]);
    constexpr size_t kWellFormed = 17;
    std::mt19937 random(65001);
    for (int round = 0; round < 4000; ++round)
    {
        Bytes bytes;
        const size_t target = random() % 300;
        const unsigned malformedOneIn = 1 + random() % 40;
        while (bytes.size() < target)
        {
            const size_t which = random() % malformedOneIn == 0 ? random() % kCount : random() % kWellFormed;
            for (const char* p = kPieces[which]; *p; ++p)
                bytes.push_back(static_cast<uint8_t>(*p));
        }
        // Cut anywhere, inside a sequence too.
        bytes.resize(bytes.size() - random() % std::min<size_t>(bytes.size() + 1, 4));
        ExpectEveryDecoderAgrees(bytes, nullptr);
        if (::testing::Test::HasFailure())
            return;
    }
    for (int round = 0; round < 2000; ++round)
    {
        Bytes bytes(random() % 200);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random() % 3 == 0 ? random() % 128 : 0x80 + random() % 128);
        ExpectEveryDecoderAgrees(bytes, nullptr);
        if (::testing::Test::HasFailure())
            return;
    }
}

// The vector decoder runs only where the ceiling set by CSVQ_SIMD allows AVX-512 and the
// processor has its UTF-8 instructions.
TEST(Utf8Decode, TheVectorDecoderRunsOnlyWhereSimdUseAllowsIt)
{
    EXPECT_TRUE(Utf8DecoderUsable(Utf8Decoder::Scalar));
    EXPECT_EQ(Utf8DecoderUsable(Utf8Decoder::Avx512), SimdUse(SimdKernel::Avx512Utf8));
    if (!SimdAllows(SimdLevel::Avx512))
    {
        EXPECT_FALSE(Utf8DecoderUsable(Utf8Decoder::Avx512));
    }
}
} // namespace
