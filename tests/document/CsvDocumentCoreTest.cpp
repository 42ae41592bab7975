// Reading a file into the document and the segment cache.
#include "CsvDocumentCore.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DocumentTestSupport.h"

using namespace documenttest;

namespace {
// Index of a returned segment in the document's list, -1 for none.
int64_t IndexOf(const CsvDocumentCore& core, const CSVSegment* segment)
{
    if (!segment)
        return -1;
    const auto& segments = core.GetSegments();
    for (size_t i = 0; i < segments.size(); ++i)
    {
        if (&segments[i] == segment)
            return static_cast<int64_t>(i);
    }
    ADD_FAILURE() << "segment not in the list";
    return -2;
}

std::string Field(const CSVRecord& record, size_t i)
{
    return i < record.size() ? Narrow(record[i].text) : std::string("<none>");
}
} // namespace

TEST(ReadCSVFile, FirstSegmentEstimateAndLogByFileKind)
{
    FixtureOptions finalBreak;
    finalBreak.finalBreak = true;
    FixtureOptions multiLine;
    multiLine.multiLine = {3};
    const struct
    {
        const char* name;
        std::string bytes;
        int32_t encodingIndex;
        size_t rows;
        int64_t csvEndLine;
        int64_t fileBufferEndLine;
        const char* lineCount;
        const char* firstField;
    } cases[] = {
        // An empty file holds one record without fields.
        {"empty", "", 0, 1, 1, 0, "1", "<none>"},
        {"two records", "a;b\r\nc;d", 0, 2, 2, 1, "2", "a"},
        // A final line break adds an empty record.
        {"final break", "a;b\r\nc;d\r\n", 0, 3, 3, 2, "3", "a"},
        {"exactly 5000", MakeRecords(5000), 0, 5000, 5000, 4999, "5.000", "r1"},
        {"6000 with final break", MakeRecords(6000, finalBreak), 0, 5000, 5000, 4999, "6.001", "r1"},
        {"multi-line record", MakeRecords(10, multiLine), 0, 10, 10, 11, "12", "r1"},
        {"UTF-16LE with mark", ToUtf16LeWithBom(u"\u00E4;b\r\nc;d"), 1, 2, 2, 1, "2", "\u00E4"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.Write("data.csv", c.bytes);
        RecordedDocument doc;
        ViewRecorder first;
        ViewRecorder second;
        doc.core.AddView(&first);
        doc.core.AddView(&second);
        doc.core.SetReadOptions({0, c.encodingIndex});

        ASSERT_TRUE(doc.core.ReadCSVFile(path));

        ASSERT_EQ(doc.core.GetSegments().size(), 1u);
        const CSVSegment& segment = doc.core.GetSegments().front();
        EXPECT_EQ(segment.rows.size(), c.rows);
        EXPECT_EQ(segment.CSVEndLine, c.csvEndLine);
        if (c.rows > 0)
        {
            EXPECT_EQ(segment.FileBufferEndLine, c.fileBufferEndLine);
            const std::string expectedFirst = c.firstField;
            EXPECT_EQ(Field(segment.rows[0], 0), expectedFirst);
        }
        EXPECT_FALSE(segment.unloaded);
        // Records over several lines are not logged while the first segment is read.
        ASSERT_EQ(doc.log.lines.size(), 1u);
        EXPECT_EQ(doc.log.lines[0], "File opened = " + path + "; Total file lines detected = " + c.lineCount);
        for (ViewRecorder* view : {&first, &second})
        {
            ASSERT_EQ(view->calls.size(), 1u);
            EXPECT_EQ(view->calls[0].kind, "FillGrid");
            EXPECT_EQ(view->calls[0].rowCount, c.rows);
            EXPECT_EQ(view->calls[0].estimate, c.csvEndLine + 20);
        }
        EXPECT_TRUE(doc.notifier.errors.empty());
        EXPECT_TRUE(doc.core.HasFile());
    }
}

TEST(ReadCSVFile, UnreadablePathFailsWithTheReasonAndChangesNothing)
{
    TempDir dir;
    const std::string good = dir.Write("good.csv", MakeRecords(12));
    std::filesystem::create_directory(dir.Path("folder"));
    const std::string locked = dir.Write("locked.csv", "a;b");
    ::chmod(locked.c_str(), 0);
    struct Case
    {
        std::string path;
        std::string reason;
    };
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<Case> cases = {
        {dir.Path("missing.csv"), "No such file or directory"},
        {dir.Path("folder"), "Is a directory"},
        {"", "No such file or directory"},
        {fifo, "Not a regular file"}, // and opening it does not wait for a writer
        {"/dev/zero", "Not a regular file"},
    };
    if (::geteuid() != 0)
        cases.push_back({locked, "Permission denied"});

    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        RecordedDocument doc;
        ViewRecorder view;
        doc.core.AddView(&view);
        ASSERT_TRUE(doc.core.OnOpenDocument(good));
        const size_t logLines = doc.log.lines.size();
        const size_t viewCalls = view.calls.size();

        EXPECT_FALSE(doc.core.OnOpenDocument(c.path));

        ASSERT_EQ(doc.notifier.errors.size(), 1u);
        EXPECT_NE(doc.notifier.errors[0].find("\"" + c.path + "\""), std::string::npos)
            << doc.notifier.errors[0];
        EXPECT_NE(doc.notifier.errors[0].find(c.reason), std::string::npos) << doc.notifier.errors[0];
        EXPECT_EQ(doc.log.lines.size(), logLines);
        EXPECT_EQ(view.calls.size(), viewCalls);
        EXPECT_EQ(doc.properties.shown.size(), 1u);
        ASSERT_EQ(doc.core.GetSegments().size(), 1u);
        EXPECT_EQ(doc.core.GetSegments().front().rows.size(), 12u);
        EXPECT_EQ(doc.core.GetPath(), good);
        std::u16string text;
        doc.core.GetRowText(3, text);
        EXPECT_EQ(Narrow(text), "r3;3;v3");
    }
}

TEST(ReadCSVFile, OpenShowsTheOptionsInProperties)
{
    TempDir dir;
    const std::string path = dir.Write("a.csv", "a,b\nc,d");
    RecordedDocument doc;
    doc.core.SetReadOptions({1, 0});
    ASSERT_TRUE(doc.core.OnOpenDocument(path));
    ASSERT_EQ(doc.properties.shown.size(), 1u);
    EXPECT_EQ(doc.properties.shown[0], (DocumentReadOptions{1, 0}));
    EXPECT_EQ(doc.core.GetSegments().front().rows[0].size(), 2u);
}

TEST(ApplyReadOptions, RereadsWithNewOptionsAndKeepsEverythingOnFailure)
{
    TempDir dir;
    const std::string path = dir.Write("a.csv", "a;b,c\nd;e,f");
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    ASSERT_TRUE(doc.core.OnOpenDocument(path));
    std::u16string text;
    doc.core.GetRowText(1, text);
    EXPECT_EQ(Narrow(text), "a;b,c");
    EXPECT_EQ(doc.core.GetSegments().front().rows[0].size(), 2u);

    ASSERT_TRUE(doc.core.ApplyReadOptions({1, 0}));
    EXPECT_EQ(doc.core.GetSegments().front().rows[0].size(), 2u);
    EXPECT_EQ(Narrow(doc.core.GetSegments().front().rows[0][0].text), "a;b");
    text.clear();
    doc.core.GetRowText(1, text);
    EXPECT_EQ(Narrow(text), "a;b,c");
    EXPECT_EQ(view.calls.size(), 2u);

    // The file goes away: the read fails, the old options, rows and view stay.
    std::filesystem::remove(path);
    EXPECT_FALSE(doc.core.ApplyReadOptions({2, 3}));
    EXPECT_EQ(doc.core.GetReadOptions(), (DocumentReadOptions{1, 0}));
    EXPECT_EQ(Narrow(doc.core.GetSegments().front().rows[1][0].text), "d;e");
    EXPECT_EQ(doc.core.GetSeparatorKind(), 1);
    EXPECT_EQ(view.calls.size(), 2u);
    EXPECT_EQ(doc.notifier.errors.size(), 1u);
}

TEST(ApplyReadOptions, DoesNothingOnAnUntitledDocument)
{
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    EXPECT_FALSE(doc.core.ApplyReadOptions({1, 2}));
    EXPECT_EQ(doc.core.GetReadOptions(), DocumentReadOptions{});
    EXPECT_TRUE(doc.core.GetSegments().empty());
    EXPECT_TRUE(view.calls.empty());
    EXPECT_TRUE(doc.notifier.errors.empty());
    EXPECT_TRUE(doc.log.lines.empty());
    // Nothing to read from either.
    int64_t firstRow = -1;
    int64_t estimate = -1;
    EXPECT_EQ(doc.core.GetSegment(1, true, firstRow, estimate), nullptr);
    EXPECT_EQ(firstRow, 0);
    EXPECT_EQ(estimate, 0);
    std::u16string text = u"x";
    doc.core.GetRowText(1, text);
    EXPECT_EQ(text, u"x");
    doc.core.LoadRowsIntoView(&view, 1, true);
    EXPECT_TRUE(view.calls.empty());
}

TEST(GetSegment, Scenarios)
{
    struct Call
    {
        int64_t row;
        bool allowUnload;
        int64_t index;
        int64_t firstRow;
        int64_t estimate;
        size_t segmentCount;
    };
    const struct
    {
        const char* name;
        std::string bytes;
        std::vector<Call> calls;
    } cases[] = {
        {"row 0 is the first segment", MakeRecords(10000), {{0, true, 0, 1, 0, 1}}},
        {"within the first segment", MakeRecords(10000), {{4600, true, 0, 1, 0, 1}}},
        {"9800 of exactly 10000", MakeRecords(10000), {{9800, true, 1, 5001, 10010, 2}}},
        {"5001 reads one segment", MakeRecords(12000), {{5001, false, 1, 5001, 10010, 2}}},
        {"then within it",
         MakeRecords(12000),
         {{5001, false, 1, 5001, 10010, 2}, {9999, true, 1, 5001, 0, 2}}},
        {"exactly 5000: 5001 is none", MakeRecords(5000), {{5001, true, -1, 5001, 0, 1}}},
        {"past the end",
         MakeRecords(10000),
         {{50000, true, 1, 5001, 10010, 2}, {50000, true, -1, 10001, 0, 2}}},
        // The last segment ends within 500 of the row: reading goes on, the one before is the result.
        {"second-to-last is the result", MakeRecords(15000), {{9600, true, 1, 5001, 15010, 3}}},
        // A negative row is larger than every row: everything is read.
        {"negative row", MakeRecords(12000), {{-1, true, 2, 10001, 12010, 3}}},
        {"INT64_MAX", MakeRecords(12000), {{INT64_MAX, true, 2, 10001, 12010, 3}}},
        {"empty file", "", {{1, true, 0, 1, 0, 1}, {2, true, -1, 2, 0, 1}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TempDir dir;
        RecordedDocument doc;
        ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("data.csv", c.bytes)));
        for (const Call& call : c.calls)
        {
            SCOPED_TRACE(call.row);
            int64_t firstRow = -7;
            int64_t estimate = -7;
            const CSVSegment* segment = doc.core.GetSegment(call.row, call.allowUnload, firstRow, estimate);
            EXPECT_EQ(IndexOf(doc.core, segment), call.index);
            EXPECT_EQ(firstRow, call.firstRow);
            EXPECT_EQ(estimate, call.estimate);
            EXPECT_EQ(doc.core.GetSegments().size(), call.segmentCount);
            if (segment && !segment->rows.empty() && segment->CSVEndLine > 1)
            {
                EXPECT_EQ(Field(segment->rows[0], 0), "r" + std::to_string(firstRow));
            }
        }
        // Nothing spans lines in these files and nothing was released.
        EXPECT_EQ(doc.log.lines.size(), 1u);
    }
}

TEST(ReadCSVFile, QuoteOpenAtTheEndKeepsTheRestOfTheFileInOneRecordAndSaysWhere)
{
    const struct
    {
        const char* name;
        std::string bytes;
        size_t rows;
        std::string lastField;
        const char* lineCount;
        const char* notice;
        const char* find; // text of the file's last lines
    } cases[] = {
        {"a lone quote", "\"", 1, "", "1", "CSV line = 1; Quote opened at file line = 0", nullptr},
        {"a stray quote in record 3 of 50,000",
         [] {
             std::string text;
             for (int i = 1; i <= 50000; ++i)
                 text += (i == 3 ? "\"open;" : "r;") + std::to_string(i) + "\n";
             return text;
         }(),
         3, "", "50.001", "CSV line = 3; Quote opened at file line = 2", "r;49999"},
        {"closed and opened again on one line", "h;x\n\"a\nb\";\"c\nd\n", 2, "c\nd", "5",
         "CSV line = 2; Quote opened at file line = 2", "d"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.Write("data.csv", c.bytes);
        RecordedDocument doc;
        ViewRecorder view;
        doc.core.AddView(&view);
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        const CSVSegment& segment = doc.core.GetSegments().front();
        ASSERT_EQ(segment.rows.size(), c.rows);
        EXPECT_EQ(segment.CSVEndLine, static_cast<int64_t>(c.rows));
        EXPECT_TRUE(segment.rows.back().back().quoted);
        if (!c.lastField.empty())
        {
            EXPECT_EQ(Narrow(segment.rows.back().back().text), c.lastField);
        }
        EXPECT_EQ(doc.log.lines, (std::vector<std::string>{
                                     "File opened = " + path + "; Total file lines detected = " + c.lineCount,
                                     std::string("Quotation mark not closed at end of file; ") + c.notice}));
        // Text from the file's last lines is found in the record that holds it.
        if (c.find)
        {
            doc.core.OnFindNext(&view, Widen(c.find));
            EXPECT_TRUE(doc.notifier.infos.empty());
            ASSERT_FALSE(view.calls.empty());
            EXPECT_EQ(view.calls.back().kind, "SelectRow");
            EXPECT_EQ(view.calls.back().row, static_cast<int64_t>(c.rows));
        }
        // Nothing follows it.
        int64_t firstRow = 0;
        int64_t estimate = 0;
        EXPECT_EQ(doc.core.GetSegment(static_cast<int64_t>(c.rows) + 1, true, firstRow, estimate), nullptr);
    }
}

TEST(GetSegment, CutLinesAndAQuoteOpenAtTheEndAreLoggedOnceHoweverOftenTheyAreRead)
{
    // Record 7 holds a line longer than the line limit; the last record's quote stays open.
    std::string text;
    for (int i = 1; i <= 110000; ++i)
        text += i == 7 ? "r7;" + std::string(2500000, 'x') + "\n" : "r" + std::to_string(i) + ";v\n";
    text += "last;\"open\nend";
    TempDir dir;
    const std::string path = dir.Write("data.csv", text);
    RecordedDocument doc;
    ASSERT_TRUE(doc.core.ReadCSVFile(path));
    const std::string cut = "Line cut at 1.999.998 bytes; File line = 6; CSV line = 7";
    const std::string open =
        "Quotation mark not closed at end of file; CSV line = 110.001; Quote opened at file line = 110.000";
    ASSERT_EQ(doc.log.lines.size(), 2u);
    EXPECT_EQ(doc.log.lines[1], cut);
    EXPECT_EQ(Narrow(doc.core.GetSegments().front().rows[6][0].text), "r7");

    int64_t firstRow = 0;
    int64_t estimate = 0;
    ASSERT_NE(doc.core.GetSegment(110001, true, firstRow, estimate), nullptr);
    ASSERT_TRUE(doc.core.GetSegments().front().unloaded);
    // Back to the first segment and to the end again: both read once more, neither told again.
    ASSERT_NE(doc.core.GetSegment(1, true, firstRow, estimate), nullptr);
    ASSERT_NE(doc.core.GetSegment(110001, true, firstRow, estimate), nullptr);
    EXPECT_EQ(std::count(doc.log.lines.begin(), doc.log.lines.end(), cut), 1);
    EXPECT_EQ(std::count(doc.log.lines.begin(), doc.log.lines.end(), open), 1);
    const CSVRecord& last = doc.core.GetSegments().back().rows.back();
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(Narrow(last[1].text), "open\nend");

    // A new read of the file tells them again.
    ASSERT_TRUE(doc.core.ReadCSVFile(path));
    EXPECT_EQ(std::count(doc.log.lines.begin(), doc.log.lines.end(), cut), 2);
}

TEST(GetSegment, ASegmentTheFileLostPartOfServesTheRowsItStillHolds)
{
    DocumentPagedToItsEnd paged(110000, "cut.csv");
    ASSERT_TRUE(paged.ready);
    RecordedDocument& doc = paged.doc;
    ViewRecorder& view = paged.view;
    ASSERT_TRUE(doc.core.GetSegments()[1].unloaded);
    ASSERT_TRUE(doc.core.GetSegments()[2].unloaded);
    // Keep the first 7,000 records: the second segment keeps 2,000 of its 5,000.
    ASSERT_EQ(truncate(paged.path.c_str(), static_cast<off_t>(OffsetAfterLines(paged.bytes, 7000))), 0);

    // Asked for a row it no longer holds, the shortened segment still gives the rows it holds.
    view.calls.clear();
    doc.core.LoadRowsIntoView(&view, 9000, false);
    ASSERT_EQ(view.calls.size(), 1u);
    EXPECT_EQ(view.calls[0].kind, "MergeRows");
    EXPECT_EQ(view.calls[0].firstRow, 5001);
    EXPECT_EQ(view.calls[0].rowCount, 2000u);
    std::u16string text;
    doc.core.GetRowText(6999, text);
    EXPECT_EQ(Narrow(text), "r6999;6;v6999");
    text.clear();
    doc.core.GetRowText(7001, text);
    EXPECT_TRUE(text.empty());
    // A segment wholly gone gives nothing.
    view.calls.clear();
    doc.core.LoadRowsIntoView(&view, 12000, false);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_NE(
        std::find_if(doc.log.lines.begin(), doc.log.lines.end(),
                     [](const std::string& line) { return line.rfind("Read error in file = ", 0) == 0; }),
        doc.log.lines.end());
}

TEST(GetSegment, AReloadOfASegmentTheFileLostTellsOnlyWhatCameBack)
{
    DocumentPagedToItsEnd paged(110000, "lost.csv");
    ASSERT_TRUE(paged.ready);
    RecordedDocument& doc = paged.doc;
    ASSERT_TRUE(doc.core.GetSegments()[1].unloaded);
    ASSERT_TRUE(doc.core.GetSegments()[2].unloaded);
    // Keep the first 7,000 records: the third segment is gone, the second keeps 2,000 of its 5,000.
    ASSERT_EQ(truncate(paged.path.c_str(), static_cast<off_t>(OffsetAfterLines(paged.bytes, 7000))), 0);
    const std::string readError =
        "Read error in file = " + paged.path + "; The file has become shorter since it was indexed";

    // Go to line into the part it lost: the read error, and nothing said to be reloaded.
    doc.log.lines.clear();
    doc.core.OnGoToLine(&paged.view, u"12000");
    EXPECT_EQ(doc.log.lines, (std::vector<std::string>{readError}));

    doc.log.lines.clear();
    doc.core.LoadRowsIntoView(&paged.view, 9000, false);
    EXPECT_EQ(doc.log.lines,
              (std::vector<std::string>{readError,
                                        "Segment reloaded; CSVEndLine = 7.000; FileBufferEndLine = 6.999"}));
}

TEST(GetSegment, LinesAppendedWhileTheFileIsOpenAreReadOnlyWhenItIsReadAgain)
{
    // id;name, 12,000 rows and the empty record behind the final break.
    std::string text = "id;name\n";
    for (int i = 1; i <= 12000; ++i)
        text += std::to_string(i) + ";name" + std::to_string(i) + "\n";
    TempDir dir;
    const std::string path = dir.Write("growing.csv", text);
    for (const bool fast : {false, true})
    {
        SCOPED_TRACE(fast);
        dir.Write("growing.csv", text);
        RecordedDocument doc;
        ViewRecorder view;
        doc.core.SetFastPaths(fast);
        doc.core.AddView(&view);
        ASSERT_TRUE(doc.core.OnOpenDocument(path));
        {
            std::ofstream out(path, std::ios::app | std::ios::binary);
            out << "12001;NEW1\n12002;NEW2\n12003;NEW3\n";
        }
        doc.core.OnGoToLine(&view, u"12002");
        std::u16string row;
        doc.core.GetRowText(12001, row);
        EXPECT_EQ(Narrow(row), "12000;name12000");
        row.clear();
        doc.core.GetRowText(12002, row);
        EXPECT_EQ(Narrow(row), "");
        EXPECT_TRUE(doc.core.GetSegments().back().rows.back().empty());
        EXPECT_EQ(doc.core.GetSegments().back().CSVEndLine, 12002);
        row.clear();
        doc.core.GetRowText(12003, row);
        EXPECT_EQ(Narrow(row), "");

        // Read again through Apply, the document has them.
        ASSERT_TRUE(doc.core.ApplyReadOptions(doc.core.GetReadOptions()));
        doc.core.OnGoToLine(&view, u"12004");
        for (const auto& [number, expected] : {std::pair<int64_t, const char*>{12002, "12001;NEW1"},
                                               {12003, "12002;NEW2"},
                                               {12004, "12003;NEW3"}})
        {
            row.clear();
            doc.core.GetRowText(number, row);
            EXPECT_EQ(Narrow(row), expected);
        }
        EXPECT_EQ(doc.core.GetSegments().back().CSVEndLine, 12005);
    }
}

TEST(ReadCSVFile, AQuoteEndedByTheLengthCapIsLoggedWithWhereItOpened)
{
    // Record 3 opens a quote on file line 2 that never closes: the cap of 16,777,216 characters
    // ends it, and the next record starts on the next line.
    std::string text = "id;name\n1;a\n2;\"open\n";
    const std::string filler = std::string(1000, 'x') + "\n";
    for (int i = 0; i < 17000; ++i)
        text += filler;
    text += "end;z\n";
    // Enough records behind it that its segment is released and read again.
    for (int i = 1; i <= 105000; ++i)
        text += "r;" + std::to_string(i) + "\n";
    TempDir dir;
    const std::string path = dir.Write("cap.csv", text);
    RecordedDocument doc;
    ViewRecorder view;
    doc.core.AddView(&view);
    ASSERT_TRUE(doc.core.ReadCSVFile(path));
    const std::string capped =
        "Quotation mark not closed within 16.777.216 characters; CSV line = 3; Quote opened at file line = 2";
    ASSERT_EQ(doc.log.lines.size(), 2u);
    EXPECT_EQ(doc.log.lines[1], capped);
    const CSVSegment& first = doc.core.GetSegments().front();
    ASSERT_GT(first.rows.size(), 4u);
    EXPECT_TRUE(first.rows[2][1].quoted);
    EXPECT_EQ(first.rows[3].size(), 1u);
    EXPECT_EQ(Narrow(first.rows[3][0].text), std::string(1000, 'x'));

    // Read again after its segment was released, it is not told again; each read of the file
    // tells it once.
    int64_t firstRow = 0;
    int64_t estimate = 0;
    ASSERT_NE(doc.core.GetSegment(100000, true, firstRow, estimate), nullptr);
    ASSERT_TRUE(doc.core.GetSegments().front().unloaded);
    ASSERT_NE(doc.core.GetSegment(3, true, firstRow, estimate), nullptr);
    ASSERT_FALSE(doc.core.GetSegments().front().unloaded);
    EXPECT_EQ(std::count(doc.log.lines.begin(), doc.log.lines.end(), capped), 1);
    ASSERT_TRUE(doc.core.ReadCSVFile(path));
    EXPECT_EQ(std::count(doc.log.lines.begin(), doc.log.lines.end(), capped), 2);
}

TEST(GetSegment, ReleasesTheFirstSegmentAfterTwentyAndReloadsIt)
{
    TempDir dir;
    FixtureOptions options;
    options.multiLine = {11}; // record 11 on the physical lines 10 to 12
    const std::string path = dir.Write("big.csv", MakeRecords(105000, options));

    for (bool unloadOnReload : {false, true})
    {
        SCOPED_TRACE(unloadOnReload);
        RecordedDocument doc;
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        int64_t firstRow = 0;
        int64_t estimate = 0;
        const CSVSegment* segment = doc.core.GetSegment(100000, true, firstRow, estimate);
        EXPECT_EQ(IndexOf(doc.core, segment), 19);
        EXPECT_EQ(firstRow, 95001);
        EXPECT_EQ(estimate, 105010);
        const auto& segments = doc.core.GetSegments();
        ASSERT_EQ(segments.size(), 21u);
        EXPECT_TRUE(segments[0].unloaded);
        EXPECT_TRUE(segments[0].rows.empty());
        EXPECT_EQ(segments[0].CSVEndLine, 5000);
        EXPECT_EQ(segments[0].FileBufferEndLine, 5001);
        for (size_t i = 1; i < segments.size(); ++i)
            EXPECT_FALSE(segments[i].unloaded) << i;
        EXPECT_EQ(doc.core.GetLoadedSegmentCount(), 20u);
        EXPECT_EQ(doc.log.lines.size(), 1u);

        segment = doc.core.GetSegment(1, unloadOnReload, firstRow, estimate);
        EXPECT_EQ(IndexOf(doc.core, segment), 0);
        EXPECT_EQ(firstRow, 1);
        EXPECT_EQ(estimate, 0);
        ASSERT_EQ(segment->rows.size(), 5000u);
        EXPECT_EQ(Field(segment->rows[10], 1), "m11\nx\ny");
        EXPECT_TRUE(segment->rows[10][1].quoted);
        EXPECT_EQ(Field(segment->rows[4999], 0), "r5000");
        ASSERT_EQ(doc.log.lines.size(), 3u);
        EXPECT_EQ(doc.log.lines[1],
                  "CSV line across several lines in file; CSV line = 11; File start = 10; File end = 13");
        EXPECT_EQ(doc.log.lines[2], "Segment reloaded; CSVEndLine = 5.000; FileBufferEndLine = 5.001");
        // A reload that allows unloading releases the loaded segment farthest from it.
        EXPECT_EQ(doc.core.GetLoadedSegmentCount(), unloadOnReload ? 20u : 21u);
        EXPECT_EQ(segments[20].unloaded, unloadOnReload);
        EXPECT_EQ(segments[20].CSVEndLine, 105000);
    }
}

TEST(GetSegment, LogsRecordsOverSeveralLinesWhileReadingForward)
{
    TempDir dir;
    FixtureOptions options;
    options.multiLine = {5003};
    options.crlf = true;
    RecordedDocument doc;
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("m.csv", MakeRecords(6000, options))));
    int64_t firstRow = 0;
    int64_t estimate = 0;
    const CSVSegment* segment = doc.core.GetSegment(5001, true, firstRow, estimate);
    ASSERT_NE(segment, nullptr);
    EXPECT_EQ(segment->rows.size(), 1000u);
    EXPECT_EQ(segment->FileBufferEndLine, 6001);
    ASSERT_EQ(doc.log.lines.size(), 2u);
    EXPECT_EQ(
        doc.log.lines[1],
        "CSV line across several lines in file; CSV line = 5.003; File start = 5.002; File end = 5.005");
    // Inside a quoted field a CR LF becomes one LF.
    EXPECT_EQ(Field(segment->rows[2], 1), "m5003\nx\ny");
}

TEST(LoadRowsIntoView, MergesTheSegmentAndTheNextNearItsEnd)
{
    TempDir dir;
    const std::string path12000 = dir.Write("a.csv", MakeRecords(12000));
    const std::string path300 = dir.Write("b.csv", MakeRecords(300));
    const struct
    {
        const char* name;
        std::string path;
        int64_t row;
        std::vector<std::pair<int64_t, int64_t>> merges; // firstRow, estimate
    } cases[] = {
        {"start", path12000, 100, {{1, 0}}},
        {"exactly 500 before the end", path12000, 4500, {{1, 0}}},
        {"within 500 of the end", path12000, 4501, {{1, 0}, {5001, 10010}}},
        {"a new segment", path12000, 9700, {{5001, 12010}, {10001, 0}}},
        // A segment that ends below record 500 never fetches the next one.
        {"small file", path300, 299, {{1, 0}}},
        {"past the end", path300, 301, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        RecordedDocument doc;
        ViewRecorder view;
        ViewRecorder other;
        doc.core.AddView(&view);
        doc.core.AddView(&other);
        ASSERT_TRUE(doc.core.ReadCSVFile(c.path));
        view.calls.clear();
        doc.core.LoadRowsIntoView(&view, c.row, true);
        ASSERT_EQ(view.calls.size(), c.merges.size());
        for (size_t i = 0; i < c.merges.size(); ++i)
        {
            EXPECT_EQ(view.calls[i].kind, "MergeRows");
            EXPECT_EQ(view.calls[i].firstRow, c.merges[i].first);
            EXPECT_EQ(view.calls[i].estimate, c.merges[i].second);
        }
        // Only the view that asked gets rows.
        EXPECT_EQ(other.calls.size(), 1u);
    }
}

TEST(LoadRowsIntoView, WithoutAViewStillReads)
{
    TempDir dir;
    RecordedDocument doc;
    ASSERT_TRUE(doc.core.ReadCSVFile(dir.Write("a.csv", MakeRecords(12000))));
    doc.core.LoadRowsIntoView(nullptr, 7000, true);
    EXPECT_EQ(doc.core.GetSegments().size(), 2u);
}

TEST(Views, SeveralViewsAndOneAddedLater)
{
    TempDir dir;
    const std::string path = dir.Write("big.csv", MakeRecords(110000));
    RecordedDocument doc;
    ViewRecorder first;
    doc.core.AddView(&first);
    doc.core.AddView(&first); // once only
    ASSERT_TRUE(doc.core.ReadCSVFile(path));
    EXPECT_EQ(first.calls.size(), 1u);
    int64_t firstRow = 0;
    int64_t estimate = 0;
    doc.core.GetSegment(110000, true, firstRow, estimate);
    ASSERT_TRUE(doc.core.GetSegments()[0].unloaded);

    // A view opened later starts at the top, with the first segment read again.
    ViewRecorder later;
    doc.core.AddView(&later);
    ASSERT_EQ(later.calls.size(), 1u);
    EXPECT_EQ(later.calls[0].kind, "FillGrid");
    EXPECT_EQ(later.calls[0].rowCount, 5000u);
    EXPECT_EQ(later.calls[0].estimate, 110010);

    doc.core.RemoveView(&first);
    ASSERT_TRUE(doc.core.ReadCSVFile(path));
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(later.calls.size(), 2u);
}
