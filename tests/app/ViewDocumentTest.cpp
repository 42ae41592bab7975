// The view's box logic driven by the real document core on generated files: open, find next
// and go to line land on the right rows.
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

#include "CsvDocumentCore.h"
#include "ViewTestSupport.h"

namespace {

class CoreDocument : public ICsvViewDocument
{
public:
    explicit CoreDocument(CsvDocumentCore& core)
        : core(core)
    {}
    void LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload) override
    {
        core.LoadRowsIntoView(view, row, allowUnload);
    }
    void GetRowText(int64_t row, std::u16string& text) override { core.GetRowText(row, text); }
    bool GetSegmentRows(int64_t row, std::vector<CSVRecord>& rows, int64_t& firstRow,
                        int64_t& totalEstimate) override
    {
        const CSVSegment* segment = core.GetSegment(row, true, firstRow, totalEstimate);
        if (!segment)
            return false;
        rows = segment->rows;
        return true;
    }
    CsvDocumentCore& core;
};

class RecordingNotifier : public INotifier
{
public:
    void Info(const std::u16string& text) override { infos.push_back(text); }
    void Error(const std::u16string& text) override { errors.push_back(text); }
    std::vector<std::u16string> infos, errors;
};

class ViewDocumentTest : public ::testing::Test
{
protected:
    void Open(int records)
    {
        char name[] = "/tmp/csvq-view-doc-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
        std::ofstream out(path, std::ios::binary);
        for (int n = 1; n <= records; ++n)
            out << "r" << n << ";" << n << ";value " << n << "\n";
        out.close();
        CsvDocumentServices services;
        services.notifier = &notifier;
        core = std::make_unique<CsvDocumentCore>(services);
        adapter = std::make_unique<CoreDocument>(*core);
        view.SetGrid(&grid);
        view.SetDocument(adapter.get());
        view.SetRowDetailsHandler([this](const std::u16string& text) { details = text; });
        core->AddView(&view);
        ASSERT_TRUE(core->OnOpenDocument(path));
    }

    void TearDown() override
    {
        if (core)
            core->RemoveView(&view);
        if (!path.empty())
            std::remove(path.c_str());
    }

    uint64_t Selected() { return grid.GetSelection().empty() ? 0 : grid.GetSelection().begin()->first; }

    std::string path;
    RecordingNotifier notifier;
    std::unique_ptr<CsvDocumentCore> core;
    std::unique_ptr<CoreDocument> adapter;
    CsvViewCore view;
    HeadlessGrid grid{&view};
    std::u16string details;
};

TEST_F(ViewDocumentTest, OpenFindAndGoToLineLandOnTheirRows)
{
    Open(12000);
    ASSERT_NE(grid.GetRootBox(), nullptr);
    EXPECT_EQ(grid.GetRootBox()->children.size(), 5000u);
    EXPECT_EQ(AsRowBox(grid.GetRootBox()->children.front())->fields[0].text, u"r1");

    core->OnFindNext(&view, u"VALUE 7001");
    EXPECT_EQ(Selected(), 7001u);
    EXPECT_EQ(details, u"r7001;7001;value 7001\n");
    // Find goes on after the selection.
    core->OnFindNext(&view, u"value 700");
    EXPECT_EQ(Selected(), 7002u);
    // Past the last hit: the message, nothing else changes.
    core->OnFindNext(&view, u"value 7001");
    ASSERT_EQ(notifier.infos.size(), 1u);
    EXPECT_EQ(notifier.infos[0], u"End of document reached. No more occurrences found.");
    EXPECT_EQ(Selected(), 7002u);

    core->OnGoToLine(&view, u"9000");
    EXPECT_EQ(Selected(), 9000u);
    EXPECT_EQ(details, u"r9000;9000;value 9000\n");
    core->OnGoToLine(&view, u"42abc");
    EXPECT_EQ(Selected(), 42u);
}

TEST_F(ViewDocumentTest, RowDetailsEmptiesWhenTheSelectionGoesWithTheRows)
{
    Open(12000);
    core->OnGoToLine(&view, u"42");
    ASSERT_EQ(details, u"r42;42;value 42\n");
    // Go to line 0 rebuilds the grid and selects nothing.
    core->OnGoToLine(&view, u"0");
    EXPECT_EQ(Selected(), 0u);
    EXPECT_EQ(details, u"");
    // Reading the file again with other options drops the selection.
    core->OnGoToLine(&view, u"7");
    ASSERT_EQ(details, u"r7;7;value 7\n");
    ASSERT_TRUE(core->ApplyReadOptions({1, 0}));
    EXPECT_EQ(Selected(), 0u);
    EXPECT_EQ(details, u"");
}

TEST_F(ViewDocumentTest, GoToLineFarAwayAfterOpening)
{
    Open(100000);
    core->OnGoToLine(&view, u"60000");
    EXPECT_EQ(Selected(), 60000u);
    LGridBox* root = grid.GetRootBox();
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(AsRowBox(root->children.front())->placeholder);
    EXPECT_EQ(root->children.front()->height, int64_t{55000} * (grid.GetRowHeight() + 2));
    EXPECT_EQ(root->totalRows, 65010u);
    EXPECT_EQ(details, u"r60000;60000;value 60000\n");
}

// The file shrinks on disk while the viewer is far down in it: records still in the file can be
// gone to and scrolled through, and no row shows blank.
TEST_F(ViewDocumentTest, FileCutOnDiskKeepsTheRecordsStillInItAndNoBlankRows)
{
    Open(110000);
    core->OnGoToLine(&view, u"100000");
    ASSERT_EQ(Selected(), 100000u);
    ASSERT_TRUE(core->GetSegments()[0].unloaded);
    ASSERT_FALSE(core->GetSegments()[1].unloaded);
    // Keep the first 2,500 records: lines "rN;N;value N" + LF.
    off_t keep = 0;
    for (int n = 1; n <= 2500; ++n)
        keep += static_cast<off_t>(2 * std::to_string(n).size() + 10);
    ASSERT_EQ(truncate(path.c_str(), keep), 0);

    // Every row box shows its record; returns the rows shown.
    auto rowsShown = [&] {
        std::vector<uint64_t> shown;
        for (LGridBox* box : grid.GetRootBox()->children)
        {
            LCSVRowGridBox* row = AsRowBox(box);
            EXPECT_NE(row, nullptr);
            if (!row || row->placeholder)
                continue;
            shown.push_back(row->rowNumber);
            const std::string number = std::to_string(row->rowNumber);
            EXPECT_TRUE(row->filled && !row->fields.empty() &&
                        row->fields[0].text == u"r" + std::u16string(number.begin(), number.end()))
                << "row " << number;
        }
        return shown;
    };

    // Rows read before the cut and still held show; a few rows up, the rows above are re-created:
    // those still in the file show, those no longer in it are not there as blank rows.
    core->OnGoToLine(&view, u"5100");
    EXPECT_EQ(Selected(), 5100u);
    EXPECT_EQ(details, u"r5100;5100;value 5100\n");
    grid.ScrollTo(5200);
    const std::vector<uint64_t> shown = rowsShown();
    EXPECT_NE(std::find(shown.begin(), shown.end(), 2000u), shown.end());
    EXPECT_EQ(std::find(shown.begin(), shown.end(), 3000u), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), 5001u), shown.end());

    // A record still in the file, in the segment the cut shortened.
    core->OnGoToLine(&view, u"2000");
    EXPECT_EQ(Selected(), 2000u);
    EXPECT_EQ(details, u"r2000;2000;value 2000\n");
    grid.Paint();
    rowsShown();
}

} // namespace
