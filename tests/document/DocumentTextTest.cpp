#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

#include "CodePageDecoder.h"
#include "CsvDocumentCore.h"
#include "DocumentTestSupport.h"

using namespace documenttest;

TEST(FormatNumber, GroupsDigitsWithDots)
{
    const struct
    {
        int64_t value;
        const char* expected;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1.000"},
        {5000, "5.000"},
        {1234567, "1.234.567"},
        {-1234, "-1.234"},
        {-999, "-999"},
        {100000, "100.000"},
        {4294967296LL, "4.294.967.296"}, // above 32 bits
        {INT64_MAX, "9.223.372.036.854.775.807"},
        {INT64_MIN, "-9.223.372.036.854.775.808"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Narrow(FormatNumber(c.value)), c.expected);
        std::u16string line = u"at ";
        AppendFormattedNumber(line, c.value);
        EXPECT_EQ(Narrow(line), std::string("at ") + c.expected);
    }
}

TEST(ParseRecordNumber, ReadsLeadingDigitsLikeWcstoi64)
{
    const struct
    {
        const char* text;
        int64_t expected;
    } cases[] = {
        {"42", 42},
        {"42abc", 42},
        {"", 0},
        {"0", 0},
        {"abc", 0},
        {" -5", -5},
        {"\t\n 12", 12},
        {"+7", 7},
        {"-", 0},
        {"- 5", 0},
        {"1 2", 1},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MAX},
        {"9999999999999999999999999", INT64_MAX}, // 25 nines
        {"-9223372036854775808", INT64_MIN},
        {"-9999999999999999999999999", INT64_MIN},
        {"00012", 12},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseRecordNumber(Widen(c.text)), c.expected);
    }
}

TEST(ParseRecordNumber, SkipsUnicodeSpaceButNotOtherDigits)
{
    EXPECT_EQ(ParseRecordNumber(u"\u00A0\u300012"), 12);
    // Full-width digits are not decimal digits here.
    EXPECT_EQ(ParseRecordNumber(u"\uFF11\uFF12"), 0);
}

TEST(LowerCase, FoldsPerCharacterIntoTheBuffer)
{
    const struct
    {
        std::u16string text;
        std::u16string expected;
    } cases[] = {
        {u"AbC xyz 09;", u"abc xyz 09;"},
        {u"\u00C4\u00D6\u00DC\u00DF", u"\u00E4\u00F6\u00FC\u00DF"}, // German keeps the sharp s
        {u"\u0394\u0399\u0391", u"\u03B4\u03B9\u03B1"},             // Greek
        {u"\u0130", u"i"},                                          // simple mapping, one unit
        {u"\U00010400x", u"\U00010428x"},                           // a pair stays a pair
        {std::u16string(1, char16_t(0xD801)) + u"A", std::u16string(1, char16_t(0xD801)) + u"a"}, // lone lead
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.text));
        EXPECT_EQ(ToLowerCase(c.text), c.expected);
    }
    std::u16string buffer = u"kept:";
    AppendLowerCase(u"XY", 2, buffer);
    EXPECT_EQ(buffer, u"kept:xy");
}

// The scanning search against its plain twin: fold everything, then search.
TEST(FindNeedle, AgreesWithFoldingTheWholeText)
{
    const std::u16string alphabet[] = {
        u"a",      u"b",          u"k",          u"K",      u"\u212A", u"i",
        u"I",      u"\u0130",     u"z",          u"Z",      u"\u03A3", u"\u03C3",
        u"\u03C2", u"\U00010400", u"\U00010428", u"\xD801", u"\xDC28", std::u16string(1, u'\0'),
        u";",      u"\u00C4",     u"\u00E4",     u"\u212B", u"\u00C5", u"\u00E5",
    };
    std::mt19937 random(7);
    auto randomText = [&](size_t maxUnits) {
        std::u16string text;
        const size_t pieces = random() % (maxUnits + 1);
        for (size_t i = 0; i < pieces; ++i)
            text += alphabet[random() % std::size(alphabet)];
        return text;
    };
    int found = 0;
    for (int round = 0; round < 20000; ++round)
    {
        const std::u16string text = randomText(round % 4 == 0 ? 90 : 40);
        std::u16string needle = randomText(3);
        if (needle.empty())
            needle.push_back(u'k');
        // Half the needles are taken from the text itself, so that many are found.
        if (round % 2 == 0 && text.size() >= 2)
        {
            const size_t at = random() % (text.size() - 1);
            // Mostly short, now and then longer than the eight units a block holds.
            const size_t longest = round % 10 == 0 ? 12 : 4;
            needle = text.substr(at, 1 + random() % std::min<size_t>(longest, text.size() - at));
        }
        for (bool matchCase : {false, true})
        {
            const bool expected = matchCase
                                      ? text.find(needle) != std::u16string::npos
                                      : ToLowerCase(text).find(ToLowerCase(needle)) != std::u16string::npos;
            FindNeedle search(needle, matchCase);
            ASSERT_EQ(search.FoundIn(text), expected)
                << "text " << Narrow(text) << " needle " << Narrow(needle) << " match case " << matchCase;
            // The same text as the one field of a record, and behind a field that holds nothing,
            // on each path that searches records.
            const CSVRecord record = {CSVField{u"", false}, CSVField{text, true}};
            for (bool wide : {true, false})
            {
                search.SetWideScan(wide);
                ASSERT_EQ(search.FoundInAnyField(record), expected)
                    << "text " << Narrow(text) << " needle " << Narrow(needle) << " match case " << matchCase
                    << " wide " << wide;
            }
            found += expected;
        }
    }
    EXPECT_GT(found, 5000);
}

// A text whose buffer still holds an older, longer text: what lies past its end is never matched.
TEST(FindNeedle, IgnoresWhatTheBufferHoldsPastTheText)
{
    for (bool matchCase : {false, true})
    {
        for (size_t keep = 0; keep <= 40; ++keep)
        {
            std::u16string text(40, u'a');
            text.replace(text.size() - 6, 6, u"zzzqqq");
            const std::u16string older = text;
            text.resize(keep); // the buffer keeps the older units past the new end
            FindNeedle needle(u"zzzqqq", matchCase);
            const bool expected = older.substr(0, keep).find(u"zzzqqq") != std::u16string::npos;
            EXPECT_EQ(needle.FoundIn(text), expected) << "kept " << keep;
            EXPECT_EQ(needle.FoundInAnyField(CSVRecord{CSVField{text, false}}), expected) << "kept " << keep;
            FindNeedle other(u"AAAAAAAAAAA", matchCase); // longer than a block
            EXPECT_EQ(other.FoundIn(text), !matchCase && keep >= 11) << "kept " << keep;
        }
    }
}

// The byte test of find next: what it asks of the bytes, and that it never misses a hit.
TEST(BytePatternOfFind, RunsOfCharactersWithFewByteForms)
{
    using Bytes = std::vector<std::array<uint8_t, 2>>;
    struct Case
    {
        const char16_t* needle;
        bool matchCase;
        int32_t codePage;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {u"zq", false, 65001, {{'Z', 'z'}, {'Q', 'q'}}},
        {u"Zq", true, 65001, {{'Z', 'Z'}, {'q', 'q'}}},
        // k and i have forms outside ASCII (U+212A, U+0130): the longest run without them.
        {u"kilo", false, 65001, {{'L', 'l'}, {'O', 'o'}}},
        {u"kilo", true, 65001, {{'k', 'k'}, {'i', 'i'}, {'l', 'l'}, {'o', 'o'}}},
        {u"\u00E9", false, 65001, {{0xC3, 0xC3}, {0x89, 0xA9}}},
        {u"\u00C9", true, 65001, {{0xC3, 0xC3}, {0x89, 0x89}}},
        {u"\u00E9", false, 1252, {{0xC9, 0xE9}}},
        {u"\u0436", false, 1251, {{0xC6, 0xE6}}},
        {u"k", false, 65001, {}},
        {u"a\"b", false, 65001, {}},
        {u"a\nb", true, 65001, {}},
        {u"\uFFFD", true, 65001, {}},
        {u"\U0001F600", true, 65001, {}},
        {u"ab", false, 932, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(Narrow(c.needle));
        FindNeedle needle(c.needle, c.matchCase);
        EXPECT_EQ(MakeBytePattern(needle, c.codePage).bytes, c.expected);
    }
}

TEST(BytePatternOfFind, NeverMissesAHitOfTheDecodedText)
{
    const std::vector<std::string> pieces = {
        "a",        "K",        "k",    "\xE2\x84\xAA", "i",    "I",    "\xC4\xB0", "\xC3\xA9", "\xC3\x89",
        "\xD0\xB6", "\xD0\x96", "\xE9", "\xC9",         "\xFF", "\xC3", "l",        "O",        "z",
        "Q",        " ",        "\xE6"};
    const std::vector<std::u16string> needles = {u"kilo", u"ilo", u"\u00E9", u"\u00C9z",      u"\u0436",
                                                 u"zq",   u"LO",  u"a k",    u"\u00E9\u00E9", u"iK"};
    const std::vector<int32_t> pages = {65001, 1252, 1251};
    std::vector<FindNeedle> prepared;
    std::vector<BytePattern> patterns; // [(needle * 2 + matchCase) * pages + page]
    for (const std::u16string& raw : needles)
    {
        for (const bool matchCase : {false, true})
        {
            prepared.emplace_back(raw, matchCase);
            for (const int32_t codePage : pages)
                patterns.push_back(MakeBytePattern(prepared.back(), codePage));
        }
    }
    std::mt19937 random(31);
    int hits = 0;
    for (int round = 0; round < 4000; ++round)
    {
        std::string bytes;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i)
            bytes += pieces[random() % pieces.size()];
        for (size_t page = 0; page < pages.size(); ++page)
        {
            const int32_t codePage = pages[page];
            std::u16string text;
            ASSERT_TRUE(
                DecodeCodePage(codePage, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), text));
            for (size_t n = 0; n < prepared.size(); ++n)
            {
                {
                    FindNeedle& needle = prepared[n];
                    if (!needle.FoundIn(text))
                        continue;
                    ++hits;
                    const BytePattern& pattern = patterns[n * pages.size() + page];
                    const std::u16string& raw = needles[n / 2];
                    bool found = pattern.Empty();
                    for (size_t at = 0; !found && at + pattern.bytes.size() <= bytes.size(); ++at)
                        found = pattern.MatchesAt(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
                    ASSERT_TRUE(found)
                        << "code page " << codePage << ", needle " << Narrow(raw) << ", bytes " << bytes;
                }
            }
        }
    }
    EXPECT_GT(hits, 1000);
}
