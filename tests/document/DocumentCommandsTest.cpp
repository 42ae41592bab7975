// Row text, find next, go to line and match case.
#include <gtest/gtest.h>

#include "CsvDocumentCore.h"
#include "DocumentTestSupport.h"

using namespace documenttest;

TEST(GetRowText, JoinsFieldsWithTheReadersSeparator)
{
    const struct
    {
        const char* name;
        std::string bytes;
        int32_t separator;
        int64_t row;
        std::string expected;
    } cases[] = {
        {"trailing empty fields", "a;b;;", 0, 1, "a;b"},
        {"quoted first field", "\"a\";b", 0, 1, "\"a\";b"},
        {"tab kind trims tabs", "a\tb\t\t", 2, 1, "a\tb"},
        {"comma kind", "a,b,,", 1, 1, "a,b"},
        {"other kinds join with ;", "a;b", 7, 1, "a;b"},
        {"all empty", ";;", 0, 1, ""},
        {"a doubled quote pair is an empty unquoted field", "\"\";x", 0, 1, ";x"},
        {"inner quotes are not doubled again", "\"x\"\"y\";z", 0, 1, "\"x\"\"y\";z"},
        {"a quoted last field ending in the separator", "a;\"b;\"", 0, 1, "a;\"b;\""},
        {"second row", "a\nb;c\n", 0, 2, "b;c"},
        {"the empty record after a final break", "a\nb;c\n", 0, 3, ""},
        {"a field over two lines", "\"p\nq\";r", 0, 1, "\"p\nq\";r"},
        {"row past the end", "a\nb", 0, 3, ""},
        {"row 0", "a\nb", 0, 0, ""},
        {"negative row", "a\nb", 0, -4, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TempDir dir;
        RecordedDocument doc;
        doc.core.SetReadOptions({c.separator, 0});
        ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("a.csv", c.bytes)));
        std::u16string text;
        doc.core.GetRowText(c.row, text);
        EXPECT_EQ(Narrow(text), c.expected);
        // Appends; never trims what the caller already had.
        std::u16string prefixed = u"x;;";
        doc.core.GetRowText(c.row, prefixed);
        EXPECT_EQ(Narrow(prefixed), "x;;" + c.expected);
    }
}

TEST(GetRowText, ReadsReleasedSegmentsWithoutReleasingOthers)
{
    TempDir dir;
    RecordedDocument doc;
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("big.csv", MakeRecords(110000))));
    int64_t firstRow = 0;
    int64_t estimate = 0;
    doc.core.GetSegment(110000, true, firstRow, estimate);
    ASSERT_TRUE(doc.core.GetSegments()[1].unloaded);
    const size_t loaded = doc.core.GetLoadedSegmentCount();
    std::u16string text;
    doc.core.GetRowText(5001, text);
    EXPECT_EQ(Narrow(text), "r5001;3;v5001");
    EXPECT_EQ(doc.core.GetLoadedSegmentCount(), loaded + 1);
}

namespace {
const char* kCaseRows = "xabcx;1\nzzz;XABCX\nq;xAbCx";
}

TEST(OnFindNext, MatchCaseAndStartRow)
{
    const struct
    {
        bool matchCase;
        int64_t selected; // 0: nothing selected
        int64_t hit;      // 0: the end message
    } cases[] = {
        {false, 0, 1}, {false, 1, 2}, {false, 2, 3}, {false, 3, 0}, {true, 0, 3}, {true, 3, 0}, {true, 1, 3},
    };
    TempDir dir;
    const std::string path = dir.Write("case.csv", kCaseRows);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.matchCase << " after " << c.selected);
        RecordedDocument doc;
        ViewRecorder view;
        doc.core.AddView(&view);
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        if (c.matchCase)
            doc.core.OnMatchCase();
        if (c.selected > 0)
            view.Select(c.selected);
        view.calls.clear();

        doc.core.OnFindNext(&view, u"AbC");

        if (c.hit == 0)
        {
            EXPECT_TRUE(view.calls.empty());
            EXPECT_TRUE(doc.rowDetails.finds.empty());
            ASSERT_EQ(doc.notifier.infos.size(), 1u);
            EXPECT_EQ(doc.notifier.infos[0], "End of document reached. No more occurrences found.");
            continue;
        }
        EXPECT_TRUE(doc.notifier.infos.empty());
        ASSERT_EQ(view.calls.size(), 1u);
        EXPECT_EQ(view.calls[0].kind, "SelectRow");
        EXPECT_EQ(view.calls[0].row, c.hit);
        EXPECT_EQ(view.calls[0].firstRow, 1);
        EXPECT_EQ(view.calls[0].estimate, 0);
        EXPECT_EQ(view.calls[0].rowCount, 3u);
        ASSERT_EQ(doc.rowDetails.finds.size(), 1u);
        EXPECT_EQ(doc.rowDetails.finds[0].first, c.matchCase ? "AbC" : "abc");
        EXPECT_EQ(doc.rowDetails.finds[0].second, c.matchCase);
    }
}

TEST(OnFindNext, MatchesWithinOneFieldOnly)
{
    const struct
    {
        const char* text;
        int64_t hit;
    } cases[] = {
        // clang-format off
        {"abc", 0},    // would span "ab" and "c"
        {"ab", 1},
        {"b;c", 0},    // the separator is not part of any field
        {"c", 1},
        {"\"q\"", 0},  // the quotes of a quoted field are not its text
        {"q", 2},
        {"\u00E4PFEL", 3},
        {"STRA\u00DFE", 3},
        {"kelvin", 4},         // the Kelvin sign lower-cases to k
        {"\u212Aelvin", 4},
        {"\U00010428x", 5},    // a pair: the Deseret capital folds to its small letter
        {"\U00010400X", 5},
        {"\u0130stanbul", 6},  // the dotted capital I folds to i
        {"istanbul", 6},
        // clang-format on
    };
    TempDir dir;
    const std::string path =
        dir.Write("f.csv", "ab;c\n\"q\";z\n\u00C4pfel;stra\u00DFe\n\u212Aelvin\n\U00010400X\nISTANBUL");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        RecordedDocument doc;
        ViewRecorder view;
        doc.core.AddView(&view);
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        view.calls.clear();
        doc.core.OnFindNext(&view, Widen(c.text));
        if (c.hit == 0)
        {
            EXPECT_TRUE(view.calls.empty());
            EXPECT_EQ(doc.notifier.infos.size(), 1u);
        }
        else
        {
            ASSERT_EQ(view.calls.size(), 1u);
            EXPECT_EQ(view.calls[0].row, c.hit);
        }
    }
}

TEST(OnFindNext, ContinuesAfterEachHitFromTheSelection)
{
    std::string bytes;
    for (int i = 1; i <= 20; ++i)
        bytes += (i == 7 || i == 12 ? "hit" : "row") + std::to_string(i) + "\n";
    TempDir dir;
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("s.csv", bytes)));
    view.calls.clear();
    view.Select(6);
    doc.core.OnFindNext(&view, u"hit");
    doc.core.OnFindNext(&view, u"hit"); // the hit on 7 is selected now
    doc.core.OnFindNext(&view, u"hit");
    ASSERT_EQ(view.calls.size(), 2u);
    EXPECT_EQ(view.calls[0].row, 7);
    EXPECT_EQ(view.calls[1].row, 12);
    EXPECT_EQ(doc.notifier.infos.size(), 1u);
    // Never wraps around: the search from row 13 ended at the end of the document.
    view.Select(7);
    doc.core.OnFindNext(&view, u"hit");
    ASSERT_EQ(view.calls.size(), 3u);
    EXPECT_EQ(view.calls[2].row, 12);
}

TEST(OnFindNext, LogsOncePerSegmentWithoutAHitThenTheEndMessage)
{
    TempDir dir;
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("n.csv", MakeRecords(12000))));
    doc.core.OnFindNext(&view, u"absent");
    const std::vector<std::string> expected = {
        "Searching at line = 5001",
        "Searching at line = 10001",
        "Searching at line = 12001",
    };
    EXPECT_EQ(std::vector<std::string>(doc.log.lines.begin() + 1, doc.log.lines.end()), expected);
    ASSERT_EQ(doc.notifier.infos.size(), 1u);
    EXPECT_EQ(doc.notifier.infos[0], "End of document reached. No more occurrences found.");
    EXPECT_EQ(view.calls.size(), 1u); // only the FillGrid of the open
}

TEST(OnFindNext, HitInALaterSegment)
{
    TempDir dir;
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("n.csv", MakeRecords(12000))));
    view.calls.clear();
    doc.core.OnFindNext(&view, u"V11000");
    ASSERT_EQ(view.calls.size(), 1u);
    EXPECT_EQ(view.calls[0].row, 11000);
    EXPECT_EQ(view.calls[0].firstRow, 10001);
    EXPECT_EQ(view.calls[0].estimate, 12010);
    EXPECT_EQ(view.calls[0].rowCount, 2000u);
    ASSERT_EQ(doc.rowDetails.finds.size(), 1u);
    EXPECT_EQ(doc.rowDetails.finds[0].first, "v11000");
    EXPECT_EQ(doc.log.lines.size(), 3u);
}

TEST(OnFindNext, EmptyTextAndNoView)
{
    TempDir dir;
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("n.csv", MakeRecords(30))));
    view.calls.clear();
    doc.core.OnFindNext(&view, u"");
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(doc.log.lines.size(), 1u);
    EXPECT_TRUE(doc.notifier.infos.empty());
    // Without a view the search runs from row 1 and stops at the first hit without showing it.
    doc.core.OnFindNext(nullptr, u"v7");
    EXPECT_TRUE(view.calls.empty());
    EXPECT_TRUE(doc.rowDetails.finds.empty());
    EXPECT_TRUE(doc.notifier.infos.empty());
    // No document read at all: nothing to search.
    RecordedDocument untitled;
    untitled.core.OnFindNext(nullptr, u"x");
    EXPECT_EQ(untitled.notifier.infos.size(), 1u);
}

TEST(OnMatchCase, Toggles)
{
    CsvDocumentCore core;
    EXPECT_FALSE(core.GetMatchCase());
    core.OnMatchCase();
    EXPECT_TRUE(core.GetMatchCase());
    core.OnMatchCase();
    EXPECT_FALSE(core.GetMatchCase());
}

TEST(OnGoToLine, SelectsTheRowOfTheSegmentFound)
{
    struct Select
    {
        int64_t row;
        int64_t firstRow;
        int64_t estimate;
        size_t rowCount;
    };
    const struct
    {
        const char* text;
        std::vector<Select> expected; // empty: nothing selected
    } cases[] = {
        {"42", {{42, 1, 0, 5000}}},
        {"42abc", {{42, 1, 0, 5000}}},
        {"", {}},
        {"0", {{0, 1, 0, 5000}}},
        {"abc", {{0, 1, 0, 5000}}},
        {"7000", {{7000, 5001, 10010, 5000}}},
        {" -5", {{-5, 10001, 12010, 2000}}},
        {"99999", {{99999, 10001, 12010, 2000}}},
        {"9999999999999999999999999", {{INT64_MAX, 10001, 12010, 2000}}},
    };
    TempDir dir;
    const std::string path = dir.Write("g.csv", MakeRecords(12000));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        RecordedDocument doc;
        ViewRecorder view;
        ViewRecorder other;
        doc.core.AddView(&view);
        doc.core.AddView(&other);
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        view.calls.clear();
        doc.core.OnGoToLine(&view, Widen(c.text));
        ASSERT_EQ(view.calls.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i)
        {
            EXPECT_EQ(view.calls[i].kind, "SelectRow");
            EXPECT_EQ(view.calls[i].row, c.expected[i].row);
            EXPECT_EQ(view.calls[i].firstRow, c.expected[i].firstRow);
            EXPECT_EQ(view.calls[i].estimate, c.expected[i].estimate);
            EXPECT_EQ(view.calls[i].rowCount, c.expected[i].rowCount);
        }
        EXPECT_EQ(other.calls.size(), 1u);
        EXPECT_TRUE(doc.rowDetails.finds.empty());
        EXPECT_TRUE(doc.notifier.infos.empty());
        EXPECT_EQ(doc.log.lines.size(), 1u);
    }
}

TEST(OnGoToLine, PastTheEndOnceEverythingIsReadDoesNothing)
{
    TempDir dir;
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("g.csv", MakeRecords(12000))));
    view.calls.clear();
    doc.core.OnGoToLine(&view, u"20000");
    doc.core.OnGoToLine(&view, u"20000");
    EXPECT_EQ(view.calls.size(), 1u);
    // Without a view it only reads.
    RecordedDocument headless;
    ASSERT_TRUE(headless.core.ReadCSVFile(dir.Path("g.csv")));
    headless.core.OnGoToLine(nullptr, u"11000");
    EXPECT_EQ(headless.core.GetSegments().size(), 3u);
}
