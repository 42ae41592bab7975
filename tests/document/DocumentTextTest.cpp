#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

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
