// The segment cache against a straight read of the whole file, memory bounds on every path, and a
// file that shrinks on disk under the document.
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <tuple>

#include "CsvDocumentCore.h"
#include "DocumentTestSupport.h"

using namespace documenttest;

namespace {
// Checks the invariants of the segment list against the reference records.
class SegmentChecker
{
public:
    SegmentChecker(const CsvDocumentCore& document, const std::vector<CSVRecord>& all)
        : core(document)
        , reference(all)
    {}

    // Rows of a returned segment equal the reference slice from firstRow.
    void CheckReturned(const CSVSegment* segment, int64_t firstRow)
    {
        if (!segment)
            return;
        ASSERT_FALSE(segment->unloaded);
        ASSERT_EQ(static_cast<int64_t>(segment->rows.size()), segment->CSVEndLine - firstRow + 1);
        for (size_t i = 0; i < segment->rows.size(); ++i)
        {
            const size_t at = static_cast<size_t>(firstRow - 1) + i;
            ASSERT_LT(at, reference.size());
            ASSERT_EQ(segment->rows[i], reference[at]) << "row " << firstRow + static_cast<int64_t>(i);
        }
    }

    void CheckList(bool afterUnloadingCall)
    {
        const auto& segments = core.GetSegments();
        size_t holding = 0;
        for (size_t i = 0; i < segments.size(); ++i)
        {
            const CSVSegment& segment = segments[i];
            // Contiguous and full except the last.
            const int64_t expectedEnd =
                std::min<int64_t>(5000 * static_cast<int64_t>(i + 1), static_cast<int64_t>(reference.size()));
            ASSERT_EQ(segment.CSVEndLine, expectedEnd) << "segment " << i;
            if (i + 1 < segments.size())
            {
                ASSERT_EQ(segment.CSVEndLine, 5000 * static_cast<int64_t>(i + 1));
            }
            // Bounds never change through release and reload.
            auto known = bounds.find(i);
            if (known == bounds.end())
                bounds[i] = {segment.FileBufferEndLine, segment.CSVEndLine};
            else
                ASSERT_EQ(known->second, std::make_pair(segment.FileBufferEndLine, segment.CSVEndLine));
            if (segment.unloaded)
            {
                ASSERT_TRUE(segment.rows.empty());
            }
            else
            {
                ++holding;
                ASSERT_EQ(static_cast<int64_t>(segment.rows.size()),
                          segment.CSVEndLine - (i == 0 ? 0 : segments[i - 1].CSVEndLine));
            }
        }
        ASSERT_EQ(holding, core.GetLoadedSegmentCount());
        maxHolding = std::max(maxHolding, holding);
        if (afterUnloadingCall)
        {
            ASSERT_LE(holding, 21u);
        }
    }

    size_t maxHolding = 0;

private:
    const CsvDocumentCore& core;
    const std::vector<CSVRecord>& reference;
    std::map<size_t, std::pair<int64_t, int64_t>> bounds;
};

// A log sink that notes the most segments holding rows at any log line.
struct WatchingLog : ILogSink
{
    void AddLine(const std::u16string&) override
    {
        if (core)
            maxHolding = std::max(maxHolding, core->GetLoadedSegmentCount());
    }
    const CsvDocumentCore* core = nullptr;
    size_t maxHolding = 0;
};
} // namespace

TEST(SegmentCacheModel, RandomCallsMatchAStraightRead)
{
    TempDir dir;
    FixtureOptions options;
    options.crlf = true;
    options.finalBreak = true; // one empty record at the end
    for (int64_t r : {2, 4999, 5000, 5001, 17777, 40000, 99999, 100000, 111111})
        options.multiLine.insert(r);
    const std::string path = dir.Write("model.csv", MakeRecords(123456, options));
    const std::vector<CSVRecord> reference = ReadAllRecords(path);
    ASSERT_EQ(reference.size(), 123457u);
    ASSERT_TRUE(reference.back().empty());
    const int64_t total = static_cast<int64_t>(reference.size());

    for (unsigned seed : {1u, 2u, 3u})
    {
        SCOPED_TRACE(seed);
        std::mt19937_64 random(seed);
        RecordedDocument doc;
        ViewRecorder view;
        doc.core.AddView(&view);
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        SegmentChecker checker(doc.core, reference);
        checker.CheckList(true);
        auto pickRow = [&]() -> int64_t {
            switch (random() % 10)
            {
            case 0:
                return static_cast<int64_t>(random() % 3) - 1; // -1, 0, 1
            case 1:
                return total + static_cast<int64_t>(random() % 8000); // past the end
            default:
                return 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(total));
            }
        };
        for (int step = 0; step < 250; ++step)
        {
            const int64_t row = pickRow();
            const bool allowUnload = random() % 2 == 0;
            bool unloading = allowUnload;
            switch (random() % 5)
            {
            case 0:
            {
                int64_t firstRow = 0;
                int64_t estimate = 0;
                const CSVSegment* segment = doc.core.GetSegment(row, allowUnload, firstRow, estimate);
                checker.CheckReturned(segment, firstRow);
                if (segment && row >= 1 && row <= total)
                {
                    ASSERT_LE(firstRow, row);
                    ASSERT_GE(segment->CSVEndLine, row);
                }
                break;
            }
            case 1:
            {
                std::u16string text;
                doc.core.GetRowText(row, text);
                const std::u16string expected =
                    row >= 1 && row <= total ? JoinRecord(reference[static_cast<size_t>(row - 1)], u';')
                                             : std::u16string();
                ASSERT_EQ(text, expected) << "row " << row;
                unloading = false;
                break;
            }
            case 2:
            {
                view.calls.clear();
                doc.core.LoadRowsIntoView(&view, row, allowUnload);
                for (const ViewRecorder::Call& call : view.calls)
                    ASSERT_EQ(call.kind, "MergeRows");
                break;
            }
            case 3:
            {
                // Find a field of a random row from a random selection.
                const int64_t target = 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(total - 1));
                const CSVRecord& record = reference[static_cast<size_t>(target - 1)];
                if (record.empty())
                    break;
                std::u16string needle(record[0].text); // "r<target>"
                // Match case on, or off with the needle in capitals: the same hit either way.
                if (doc.core.GetMatchCase() != (random() % 2 == 0))
                    doc.core.OnMatchCase();
                if (!doc.core.GetMatchCase())
                    needle[0] = u'R';
                view.Select(target - 1 - static_cast<int64_t>(random() % 3));
                if (view.selectedRow < 1)
                    view.hasSelection = false;
                view.calls.clear();
                doc.core.OnFindNext(&view, needle);
                ASSERT_EQ(view.calls.size(), 1u);
                // The first row at or after the start whose first field contains the needle.
                // Nothing before the target holds "r<target>": the hit is the target itself.
                ASSERT_EQ(view.calls[0].kind, "SelectRow");
                ASSERT_EQ(view.calls[0].row, target);
                unloading = true;
                break;
            }
            default:
            {
                view.calls.clear();
                doc.core.OnGoToLine(&view, Widen(std::to_string(row)));
                unloading = true;
                break;
            }
            }
            checker.CheckList(unloading);
            if (HasFatalFailure())
                return;
        }
        EXPECT_GT(checker.maxHolding, 3u);
    }
}

TEST(SegmentCacheModel, MemoryStaysBoundedWhenScrollingBackAndSearchingAgain)
{
    TempDir dir;
    const std::string path = dir.Write("big.csv", MakeRecords(160000));
    WatchingLog log;
    CsvDocumentCore core(CsvDocumentServices{&log, nullptr, nullptr, nullptr});
    log.core = &core;
    ViewRecorder view;
    core.AddView(&view);
    ASSERT_TRUE(core.ReadCSVFile(path));

    // Scroll down to the end, then back up to the top, one screen step at a time.
    size_t most = 0;
    for (int64_t row = 1; row <= 160000; row += 2500)
    {
        core.LoadRowsIntoView(&view, row, true);
        most = std::max(most, core.GetLoadedSegmentCount());
    }
    for (int64_t row = 160000; row >= 1; row -= 2500)
    {
        core.LoadRowsIntoView(&view, row, true);
        most = std::max(most, core.GetLoadedSegmentCount());
    }
    EXPECT_LE(most, 21u);
    EXPECT_TRUE(core.GetSegments().back().unloaded);

    // Two searches through the whole file.
    for (int pass = 0; pass < 2; ++pass)
    {
        core.OnFindNext(&view, u"absent");
        EXPECT_LE(log.maxHolding, 21u);
        EXPECT_LE(core.GetLoadedSegmentCount(), 20u);
    }
    // And going to lines far apart.
    for (const char16_t* text : {u"1", u"160000", u"80000", u"3"})
    {
        core.OnGoToLine(&view, text);
        EXPECT_LE(core.GetLoadedSegmentCount(), 20u);
    }
}

TEST(SegmentCacheModel, FindEndsWhenTheFileShrankUnderReleasedSegments)
{
    DocumentPagedToItsEnd paged(110000, "shrink.csv");
    ASSERT_TRUE(paged.ready);
    RecordedDocument& doc = paged.doc;
    ViewRecorder& view = paged.view;
    ASSERT_TRUE(doc.core.GetSegments()[0].unloaded);
    ASSERT_TRUE(doc.core.GetSegments()[1].unloaded);

    // Keep the first 2,500 lines only.
    paged.dir.Write("shrink.csv", paged.bytes.substr(0, OffsetAfterLines(paged.bytes, 2500)));

    // The first segment comes back short: this search ends at once.
    doc.core.OnFindNext(&view, u"absent");
    EXPECT_EQ(doc.notifier.infos.size(), 1u);
    const CSVSegment& first = doc.core.GetSegments()[0];
    EXPECT_FALSE(first.unloaded);
    EXPECT_LT(first.rows.size(), 5000u);
    EXPECT_EQ(first.CSVEndLine, 5000);

    // From a row the short segment lacks: the search goes on after it and ends.
    view.Select(3000);
    doc.core.OnFindNext(&view, u"absent");
    EXPECT_EQ(doc.notifier.infos.size(), 2u);
    EXPECT_NE(std::find(doc.log.lines.begin(), doc.log.lines.end(), "Searching at line = 5001"),
              doc.log.lines.end());

    // The failed reads were told in the Output pane.
    EXPECT_NE(
        std::find_if(doc.log.lines.begin(), doc.log.lines.end(),
                     [](const std::string& line) { return line.rfind("Read error in file = ", 0) == 0; }),
        doc.log.lines.end());

    // Row text of a row the short segment lacks is empty; segments still loaded keep their rows.
    std::u16string text;
    doc.core.GetRowText(4000, text);
    EXPECT_TRUE(text.empty());
    doc.core.GetRowText(60000, text);
    EXPECT_EQ(Narrow(text), "r60000;3;v60000");
    // Going to a row the file no longer holds selects nothing, and loading rows there gives the
    // view none of them.
    view.calls.clear();
    doc.core.OnGoToLine(&view, u"7000");
    ASSERT_FALSE(view.calls.empty());
    EXPECT_EQ(view.calls.back().kind, "SelectRow");
    EXPECT_EQ(view.calls.back().row, 7000);
    EXPECT_EQ(view.calls.back().rowCount, 0u);
    EXPECT_FALSE(view.hasSelection);
    view.calls.clear();
    doc.core.LoadRowsIntoView(&view, 7000, true);
    for (const ViewRecorder::Call& call : view.calls)
    {
        const bool holds7000 =
            call.firstRow <= 7000 && 7000 < call.firstRow + static_cast<int64_t>(call.rowCount);
        EXPECT_FALSE(holds7000) << call.kind << " from " << call.firstRow << ", " << call.rowCount << " rows";
    }
}

// Passes released before the call returns keep only their bounds, and the ones still loaded at the
// end are read again: the same segments, rows, bounds, log lines, view calls and reloads as a
// document that stores every pass.
TEST(SegmentCacheModel, PassesWithoutRowsLeaveWhatStoringEveryPassLeaves)
{
    TempDir dir;
    FixtureOptions options;
    options.finalBreak = true;
    for (int64_t r : {3, 5000, 5001, 26000, 61234, 99999, 118000, 160001})
        options.multiLine.insert(r);
    const std::string path = dir.Write("twins.csv", MakeRecords(200000, options));
    const std::vector<CSVRecord> reference = ReadAllRecords(path);
    const int64_t total = static_cast<int64_t>(reference.size());

    for (unsigned seed : {11u, 12u})
    {
        SCOPED_TRACE(seed);
        std::mt19937_64 random(seed);
        RecordedDocument fast;
        RecordedDocument plain;
        plain.core.SetPassesWithoutRows(false);
        ViewRecorder fastView;
        ViewRecorder plainView;
        fast.core.AddView(&fastView);
        plain.core.AddView(&plainView);
        ASSERT_TRUE(fast.core.ReadCSVFile(path));
        ASSERT_TRUE(plain.core.ReadCSVFile(path));
        SegmentChecker checker(fast.core, reference);
        auto pickRow = [&]() -> int64_t {
            switch (random() % 8)
            {
            case 0:
                return total + static_cast<int64_t>(random() % 30000); // past the end: the file ends first
            case 1:
                return -1;
            case 2:
                return total;
            default:
                return 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(total));
            }
        };
        for (int step = 0; step < 160; ++step)
        {
            const int64_t row = pickRow();
            const bool allowUnload = random() % 3 != 0;
            switch (random() % 7)
            {
            case 0:
            {
                // Read anew, so that long forward passes come again.
                ASSERT_TRUE(fast.core.ReadCSVFile(path));
                ASSERT_TRUE(plain.core.ReadCSVFile(path));
                break;
            }
            case 1:
            {
                int64_t firstA = 0;
                int64_t estimateA = 0;
                int64_t firstB = 0;
                int64_t estimateB = 0;
                const CSVSegment* a = fast.core.GetSegment(row, allowUnload, firstA, estimateA);
                const CSVSegment* b = plain.core.GetSegment(row, allowUnload, firstB, estimateB);
                ASSERT_EQ(a == nullptr, b == nullptr);
                ASSERT_EQ(firstA, firstB);
                ASSERT_EQ(estimateA, estimateB);
                checker.CheckReturned(a, firstA);
                break;
            }
            case 2:
            {
                std::u16string a;
                std::u16string b;
                fast.core.GetRowText(row, a);
                plain.core.GetRowText(row, b);
                ASSERT_EQ(a, b);
                break;
            }
            case 3:
                fast.core.LoadRowsIntoView(&fastView, row, allowUnload);
                plain.core.LoadRowsIntoView(&plainView, row, allowUnload);
                break;
            case 4:
            {
                // A search from a random row for a record far ahead, or for nothing.
                const int64_t from = random() % 4 == 0 ? 0 : 1 + static_cast<int64_t>(random() % 20000);
                // Six digits name one record only: the hit lies more than 20 segments ahead.
                const int64_t target = 130000 + static_cast<int64_t>(random() % 70000);
                std::u16string needle = u"absent";
                if (random() % 3 != 0)
                    needle = u"R" + Widen(std::to_string(target));
                for (ViewRecorder* view : {&fastView, &plainView})
                {
                    view->Select(from);
                    view->hasSelection = from > 0;
                }
                fast.core.OnFindNext(&fastView, needle);
                plain.core.OnFindNext(&plainView, needle);
                break;
            }
            default:
            {
                const std::u16string text = Widen(std::to_string(row));
                fast.core.OnGoToLine(&fastView, text);
                plain.core.OnGoToLine(&plainView, text);
                break;
            }
            }
            checker.CheckList(false);
            ExpectSameState(fast, plain, fastView, plainView);
            if (HasFatalFailure())
                return;
        }
        EXPECT_GT(fast.core.GetPassesWithoutRowsCount(), 20u);
        EXPECT_EQ(plain.core.GetPassesWithoutRowsCount(), 0u);
    }
}

// Rows read into the reused rows of released segments: records of other field counts, long
// quoted fields among short ones, and texts of every length still give the file's records.
TEST(SegmentCacheModel, ReusedRowsHoldTheRecordsReadIntoThem)
{
    TempDir dir;
    std::mt19937 random(5);
    std::string bytes;
    const int64_t count = 130000;
    for (int64_t i = 1; i <= count; ++i)
    {
        const int fields = 1 + static_cast<int>(random() % 7);
        for (int f = 0; f < fields; ++f)
        {
            if (f > 0)
                bytes += ';';
            if (random() % 500 == 0)
                bytes += "\"" + std::string(300 + random() % 2000, 'q') + "\"";
            else if (random() % 9 == 0)
                bytes += "\xC3\xA9t\xC3\xA9"; // two-byte characters
            else
                bytes += std::string(random() % 40, static_cast<char>('a' + f));
        }
        if (i < count)
            bytes += '\n';
    }
    const std::string path = dir.Write("shapes.csv", bytes);
    const std::vector<CSVRecord> reference = ReadAllRecords(path);
    ASSERT_EQ(reference.size(), static_cast<size_t>(count));

    for (bool withoutRows : {true, false})
    {
        SCOPED_TRACE(withoutRows);
        RecordedDocument doc;
        doc.core.SetPassesWithoutRows(withoutRows);
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        SegmentChecker checker(doc.core, reference);
        // Down in screen steps, to the end and back to the top: every segment is read into the rows
        // of one released before.
        for (int64_t row = 1; row <= count; row += 2000)
        {
            int64_t firstRow = 0;
            int64_t estimate = 0;
            const CSVSegment* segment = doc.core.GetSegment(row, true, firstRow, estimate);
            checker.CheckReturned(segment, firstRow);
        }
        for (int64_t row = count; row >= 1; row -= 2000)
        {
            int64_t firstRow = 0;
            int64_t estimate = 0;
            const CSVSegment* segment = doc.core.GetSegment(row, true, firstRow, estimate);
            checker.CheckReturned(segment, firstRow);
        }
        // A jump from the top to the end and a search through everything.
        ASSERT_TRUE(doc.core.ReadCSVFile(path));
        int64_t firstRow = 0;
        int64_t estimate = 0;
        const CSVSegment* last = doc.core.GetSegment(count, true, firstRow, estimate);
        checker.CheckReturned(last, firstRow);
        ViewRecorder view;
        doc.core.OnFindNext(&view, u"absent");
        for (int64_t row = 1; row <= count; row += 5000)
        {
            const CSVSegment* segment = doc.core.GetSegment(row, true, firstRow, estimate);
            checker.CheckReturned(segment, firstRow);
        }
        if (HasFatalFailure())
            return;
    }
}
