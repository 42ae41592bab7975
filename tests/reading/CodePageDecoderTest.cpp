#include "CodePageDecoder.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unicode/ustring.h>

#include "EncodingTable.h"

namespace {
struct DecodeCase
{
    int32_t codePage;
    std::vector<uint8_t> bytes;
    std::u16string expected;
};

std::string Describe(const DecodeCase& c)
{
    std::string text = "code page " + std::to_string(c.codePage) + ", bytes";
    char hex[4];
    for (uint8_t b : c.bytes)
    {
        std::snprintf(hex, sizeof hex, " %02X", b);
        text += hex;
    }
    return text;
}

std::u16string Decode(int32_t codePage, const std::vector<uint8_t>& bytes)
{
    std::u16string out;
    EXPECT_TRUE(DecodeCodePage(codePage, bytes.data(), bytes.size(), out)) << "code page " << codePage;
    return out;
}

void ExpectCases(const std::vector<DecodeCase>& cases)
{
    for (const DecodeCase& c : cases)
        EXPECT_EQ(c.expected, Decode(c.codePage, c.bytes)) << Describe(c);
}

TEST(CodePageDecoder, EveryCodePageOfTheEncodingTableIsSupported)
{
    for (int32_t i = 0; i < kEncodingCount; ++i)
        EXPECT_TRUE(IsCodePageSupported(GetEncodingCodePage(i))) << "row " << i;
    for (int32_t codePage : {0, -1, 1, 437, 850, 1200 + 1, 65000, 54936})
    {
        EXPECT_FALSE(IsCodePageSupported(codePage)) << codePage;
        std::u16string out = u"old";
        const uint8_t bytes[] = {'a'};
        EXPECT_FALSE(DecodeCodePage(codePage, bytes, 1, out)) << codePage;
        EXPECT_TRUE(out.empty()) << codePage;
    }
}

TEST(CodePageDecoder, ResultReplacesOutputAndEmptyInputGivesEmptyText)
{
    for (int32_t i = 0; i < kEncodingCount; ++i)
    {
        std::u16string out = u"previous";
        EXPECT_TRUE(DecodeCodePage(GetEncodingCodePage(i), nullptr, 0, out));
        EXPECT_TRUE(out.empty());
        const uint8_t bytes[] = {'x', 0, 'y', 0};
        out = u"previous";
        EXPECT_TRUE(DecodeCodePage(GetEncodingCodePage(i), bytes, 4, out));
        const std::u16string expected =
            GetEncodingCodePage(i) == 1200 ? std::u16string(u"xy") : std::u16string(u"x\0y\0", 4);
        EXPECT_EQ(expected, out) << "row " << i;
    }
}

// Every code page but UTF-16 maps the ASCII range to itself (Shift-JIS included: its ICU table
// swaps 1A, 1C and 7F, which Windows does not).
TEST(CodePageDecoder, AsciiRangeIsIdentityInEveryByteCodePage)
{
    std::vector<uint8_t> ascii;
    std::u16string expected;
    for (unsigned b = 0; b < 0x80; ++b)
    {
        ascii.push_back(static_cast<uint8_t>(b));
        expected.push_back(static_cast<char16_t>(b));
    }
    for (int32_t i = 0; i < kEncodingCount; ++i)
    {
        const int32_t codePage = GetEncodingCodePage(i);
        if (codePage != 1200)
        {
            EXPECT_EQ(expected, Decode(codePage, ascii)) << "code page " << codePage;
        }
    }
}

// No byte of a single-byte code page is invalid: each maps to one unit, never U+FFFD.
TEST(CodePageDecoder, EverySingleByteMapsToOneCharacter)
{
    for (int32_t codePage : {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 28591, 28592, 28593, 28594,
                             28595, 28596, 28597, 28598, 28599, 20127})
    {
        std::vector<uint8_t> all;
        for (unsigned b = 0; b < 256; ++b)
            all.push_back(static_cast<uint8_t>(b));
        const std::u16string text = Decode(codePage, all);
        ASSERT_EQ(256u, text.size()) << codePage;
        EXPECT_EQ(std::u16string::npos, text.find(u'\uFFFD')) << codePage;
    }
}

TEST(CodePageDecoder, SingleByteCodePagesFollowWindows)
{
    ExpectCases({
        // Plain letters, as ICU has them.
        {1250, {0x8A, 0xE8}, u"\u0160\u010D"},
        {1251, {0xC0, 0xFF}, u"\u0410\u044F"},
        {1252, {0x80, 0xE9}, u"\u20AC\u00E9"},
        {1253, {0xC1, 0xF9}, u"\u0391\u03C9"},
        {1254, {0xD0, 0xFD}, u"\u011E\u0131"},
        {1255, {0xE0, 0xFA}, u"\u05D0\u05EA"},
        {1256, {0xC7}, u"\u0627"},
        {1257, {0xC0}, u"\u0104"},
        {1258, {0x80}, u"\u20AC"},
        {28591, {0xE9, 0xFF}, u"\u00E9\u00FF"},
        {28592, {0xA1}, u"\u0104"},
        {28593, {0xA1}, u"\u0126"},
        {28594, {0xA1}, u"\u0104"},
        {28595, {0xB0}, u"\u0410"},
        {28596, {0xC7}, u"\u0627"},
        {28597, {0xC1}, u"\u0391"},
        {28598, {0xE0}, u"\u05D0"},
        {28599, {0xD0}, u"\u011E"},
        // Windows-1253: three bytes into the private use area.
        {1253, {0xAA, 0xD2, 0xFF}, u"\uF8F9\uF8FA\uF8FB"},
        // Windows-1255: the point qamats qatan and the private use block.
        {1255, {0xCA, 0xD9, 0xDF, 0xFB, 0xFC, 0xFF}, u"\u05BA\uF88D\uF893\uF894\uF895\uF896"},
        {1257, {0xA1, 0xA5}, u"\uF8FC\uF8FD"},
        // ISO-8859-3: the seven holes in order.
        {28593, {0xA5, 0xAE, 0xBE, 0xC3, 0xD0, 0xE3, 0xF0}, u"\uF7F5\uF7F6\uF7F7\uF7F8\uF7F9\uF7FA\uF7FB"},
        // ISO-8859-6: the 45 undefined bytes are numbered in byte order.
        {28596,
         {0xA1, 0xA3, 0xA5, 0xAB, 0xAE, 0xBA, 0xBC, 0xBE, 0xC0, 0xDB, 0xDF, 0xF3, 0xFF},
         u"\uF7C8\uF7CA\uF7CB\uF7D1\uF7D2\uF7DE\uF7DF\uF7E1\uF7E2\uF7E3\uF7E7\uF7E8\uF7F4"},
        // ISO-8859-7 in its 1987 form.
        {28597,
         {0xA1, 0xA2, 0xA4, 0xA5, 0xAA, 0xAE, 0xD2, 0xFF},
         u"\u02BD\u02BC\uF7C2\uF7C3\uF7C4\uF7C5\uF7C6\uF7C7"},
        // ISO-8859-8: FD and FE are not the direction marks.
        {28598,
         {0xA1, 0xAF, 0xBF, 0xDE, 0xFB, 0xFD, 0xFE, 0xFF},
         u"\uF79C\u203E\uF79D\uF7BC\uF7BD\uF7BF\uF7C0\uF7C1"},
        // US-ASCII keeps the low seven bits, so 8A is a line feed.
        {20127, {0x8A, 0xC1, 0xFF, 0x80}, std::u16string(u"\nA\u007F\0", 4)},
    });
}

TEST(CodePageDecoder, DoubleByteCodePagesFollowWindows)
{
    ExpectCases({
        {932, {0x82, 0xA0, 0x88, 0x9F}, u"\u3042\u4E9C"},
        {932, {0xB1, 0xDF}, u"\uFF71\uFF9F"}, // half-width katakana are single bytes
        {932, {0x87, 0x40, 0xED, 0x40, 0xFA, 0x40}, u"\u2460\u7E8A\u2170"},
        {932, {0x80, 0xA0, 0xFD, 0xFE, 0xFF}, u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
        // A lead byte swallows any non-zero trail byte; an undefined pair is the default char.
        {932, {0x81, 0x20, 0x41}, u"\u30FB\u0041"},
        {932, {0x85, 0x40}, u"\u30FB"},
        // A lead byte at the end, or before a zero byte, stands alone as the default char.
        {932, {0x41, 0x81}, u"\u0041\u30FB"},
        {932, {0x81, 0x00, 0x41}, std::u16string(u"\u30FB\0A", 3)},
        {950, {0xA4, 0x40, 0xA3, 0xE1}, u"\u4E00\u20AC"},
        {950, {0x80, 0xFF}, u"\u0080\uF8F8"},
        {950, {0xA3, 0xC0}, u"\u003F"},
        {950, {0xA1, 0x20, 0x41}, u"\u003F\u0041"},
        {950, {0xA4}, u"\u003F"},
        {950, {0xA4, 0x00, 0x41}, std::u16string(u"?\0A", 3)},
    });
}

// Every lead byte with every non-zero trail byte consumes both and gives one character.
TEST(CodePageDecoder, EveryDoubleBytePairGivesOneCharacter)
{
    for (int32_t codePage : {932, 950})
    {
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
        {
            const bool isLead = codePage == 950 || lead <= 0x9F || (lead >= 0xE0 && lead <= 0xFC);
            if (!isLead)
                continue;
            for (unsigned trail = 1; trail < 256; ++trail)
            {
                const std::u16string text =
                    Decode(codePage, {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail), 'z'});
                ASSERT_EQ(2u, text.size()) << codePage << " " << lead << " " << trail;
                ASSERT_EQ(u'z', text[1]);
            }
        }
    }
}

TEST(CodePageDecoder, Utf8GivesOneReplacementPerFailedSequence)
{
    ExpectCases({
        {65001, {'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}, u"a\u00E9\u20AC"},
        {65001, {0xF0, 0x9F, 0x98, 0x80}, u"\U0001F600"},
        {65001, {0xF4, 0x8F, 0xBF, 0xBF}, u"\U0010FFFF"},
        {65001, {0xED, 0x9F, 0xBF, 0xEE, 0x80, 0x80}, u"\uD7FF\uE000"},
        {65001, {0xEF, 0xBB, 0xBF, 'x'}, u"\uFEFFx"}, // a mark is kept
        // Overlong, surrogate and out-of-range forms: the lead and the first continuation
        // byte fail together, later continuation bytes fail one by one.
        {65001, {0xE0, 0x80, 0x80}, u"\uFFFD\uFFFD"},
        {65001, {0xED, 0xA0, 0x80}, u"\uFFFD\uFFFD"},
        {65001, {0xF4, 0x90, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD"},
        {65001, {0xF0, 0x80, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD"},
        // C0, C1, F5 to FF and lone continuation bytes fail alone.
        {65001, {0xC0, 0x80}, u"\uFFFD\uFFFD"},
        {65001, {0xC1, 0xBF, 'a'}, u"\uFFFD\uFFFDa"},
        {65001, {0xF5, 0x80, 0xFF}, u"\uFFFD\uFFFD\uFFFD"},
        {65001, {0x80, 0xBF, 'a'}, u"\uFFFD\uFFFDa"},
        // A sequence cut by a byte that does not continue it, or by the end.
        {65001, {0xC3, 'a'}, u"\uFFFDa"},
        {65001, {0xE2, 0x82, 'a'}, u"\uFFFDa"},
        {65001, {0xF0, 0x9F, 0x98, 'a'}, u"\uFFFDa"},
        {65001, {0xE2, 0x82}, u"\uFFFD"},
        {65001, {0xF0, 0x9F, 0x98}, u"\uFFFD"},
        {65001, {0xE2, 0xE2, 0x82, 0xAC}, u"\uFFFD\u20AC"},
        // Zero bytes are characters like any other; cutting at them is the reader's business.
        {65001, {'a', 0x00, 'b'}, std::u16string(u"a\0b", 3)},
        // Long ASCII runs around a multi-byte character.
        {65001,
         {'0',  '1', '2', '3', '4', '5', '6', '7', '8', 0xCE,
          0xB1, '9', '0', '1', '2', '3', '4', '5', '6', '7'},
         u"012345678\u03B1901234567"},
    });
}

// On valid input the decoder agrees with ICU's UTF-8 conversion.
TEST(CodePageDecoder, Utf8AgreesWithIcuOnValidText)
{
    std::mt19937 random(12345);
    const uint32_t ranges[][2] = {
        {0x01, 0x7F}, {0x80, 0x7FF}, {0x800, 0xD7FF}, {0xE000, 0xFFFF}, {0x10000, 0x10FFFF}};
    for (int round = 0; round < 300; ++round)
    {
        std::u16string expected;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
        {
            const auto& range = ranges[random() % 5];
            const uint32_t c = range[0] + random() % (range[1] - range[0] + 1);
            if (c >= 0x10000)
            {
                expected.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                expected.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            }
            else
            {
                expected.push_back(static_cast<char16_t>(c));
            }
        }
        char utf8[40 * 4 + 1];
        int32_t utf8Length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strToUTF8(utf8, sizeof utf8, &utf8Length, expected.data(), static_cast<int32_t>(expected.size()),
                    &status);
        ASSERT_TRUE(U_SUCCESS(status));
        const std::vector<uint8_t> bytes(utf8, utf8 + utf8Length);
        ASSERT_EQ(expected, Decode(65001, bytes)) << "round " << round;
    }
}

TEST(CodePageDecoder, Utf16TakesLittleEndianUnitsAndDropsAnOddByte)
{
    ExpectCases({
        {1200, {0x41, 0x00, 0x42}, u"A"},
        {1200, {0x3D, 0xD8, 0x00, 0xDE}, u"\U0001F600"},
        {1200, {0xFF, 0xFE, 0xB1, 0x03}, u"\uFEFF\u03B1"},
        {1200, {0x7A}, u""},
    });
}

TEST(CodePageDecoder, TablesBuiltFromSeveralThreadsAtOnceAgree)
{
    std::vector<uint8_t> bytes;
    for (unsigned i = 0; i < 4096; ++i)
        bytes.push_back(static_cast<uint8_t>((i * 37 + 11) & 0xFF));
    std::vector<int32_t> codePages;
    for (int32_t i = 0; i < kEncodingCount; ++i)
        codePages.push_back(GetEncodingCodePage(i));

    std::vector<std::vector<std::u16string>> results(4, std::vector<std::u16string>(codePages.size()));
    std::vector<std::thread> threads;
    for (size_t t = 0; t < results.size(); ++t)
    {
        threads.emplace_back([&, t] {
            for (size_t k = 0; k < codePages.size(); ++k)
            {
                const size_t p = (k + t * 5) % codePages.size();
                DecodeCodePage(codePages[p], bytes.data(), bytes.size(), results[t][p]);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (size_t t = 1; t < results.size(); ++t)
        EXPECT_EQ(results[0], results[t]);
}
} // namespace
