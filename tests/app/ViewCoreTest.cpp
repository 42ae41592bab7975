// The view's box logic: filling, merging, trimming, folding, re-expanding, selecting and the
// Row details and Copy texts, on a headless grid with a fake document.
#include <gtest/gtest.h>
#include <memory>

#include "ViewTestSupport.h"

namespace {

class ViewCoreTest : public ::testing::Test
{
protected:
    void Open(int64_t records, size_t rowChars = 0)
    {
        doc = std::make_unique<FakeDocument>(records, rowChars);
        core.SetDocument(doc.get());
        core.FillGrid(doc->Segment(0), std::min<int64_t>(records, 5000) + 20);
    }

    LGridBox* Root() { return grid.GetRootBox(); }
    int RowPixels() const { return grid.GetRowHeight() + 2; }

    void Select(uint64_t first, uint64_t last)
    {
        grid.ClearSelection();
        grid.GetSelection()[first] = last;
        core.OnSelectionChanged();
    }

    CsvViewCore core;
    HeadlessGrid grid{&core};
    std::unique_ptr<FakeDocument> doc;
    std::vector<std::u16string> details;

    void SetUp() override
    {
        core.SetGrid(&grid);
        core.SetRowDetailsHandler([this](const std::u16string& text) { details.push_back(text); });
    }
};

TEST_F(ViewCoreTest, OpenFillsFirstSegmentAndScrollNearItsEndAppendsTheNext)
{
    Open(12000);
    ASSERT_NE(Root(), nullptr);
    EXPECT_EQ(Root()->kind, BOX_KIND_ROOT);
    EXPECT_EQ(Root()->children.size(), 5000u);
    EXPECT_EQ(Root()->children.front()->rowNumber, 1u);
    EXPECT_EQ(Root()->children.back()->rowNumber, 5000u);
    EXPECT_EQ(Root()->totalRows, 5020u);
    EXPECT_FLOAT_EQ(grid.GetVerticalUnitsPerRow(), static_cast<float>(100000.0 / 5020));
    EXPECT_EQ(grid.GetTopRow(), 0u);

    grid.SetTopRow(4600);
    core.OnScroll(GRID_SB_THUMBTRACK, 0, 0, {});
    EXPECT_EQ(Root()->children.size(), 10000u);
    EXPECT_EQ(Root()->children.back()->rowNumber, 10000u);
    EXPECT_EQ(Root()->totalRows, 10010u);
    auto* last = AsRowBox(Root()->children.back());
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(last->fields.size(), 2u);
    EXPECT_EQ(last->fields[0].text, u"r10000");
    EXPECT_TRUE(last->fields[1].quoted);

    // The next paint trims what lies more than 5,000 rows below the top.
    grid.RecalcLayout();
    grid.Paint();
    EXPECT_EQ(Root()->children.back()->rowNumber, 9600u);
}

TEST_F(ViewCoreTest, ScrollingDownFoldsRowsFarAboveIntoOnePlaceholderAndTrimsBelow)
{
    Open(100000);
    for (uint64_t top = 1000; top <= 20000; top += 1000)
        grid.ScrollTo(top);
    ASSERT_EQ(grid.GetTopRow(), 20000u);

    LGridBox* first = Root()->children.front();
    LCSVRowGridBox* holder = AsRowBox(first);
    ASSERT_TRUE(holder && holder->placeholder);
    EXPECT_EQ(holder->rowNumber, 1u);
    EXPECT_EQ(holder->height, int64_t{14999} * RowPixels());
    LGridBox* second = *std::next(Root()->children.begin());
    EXPECT_EQ(second->rowNumber, 15000u);
    for (LGridBox* box : Root()->children)
    {
        if (box != first)
        {
            EXPECT_GE(box->rowNumber, 15000u);
        }
        // Nothing far below the top once more than 1,000 boxes exist.
        EXPECT_LE(box->rowNumber, 25000u);
    }
    // The layout keeps every row where it was: the top row's box lies at (top - 1) rows.
    EXPECT_EQ(grid.GetTopBoxOffset(), uint64_t{19999} * RowPixels());
}

TEST_F(ViewCoreTest, ScrollingBackRecreatesBoxesFromThePlaceholderAndFillsTheirSegment)
{
    Open(100000);
    for (uint64_t top = 1000; top <= 20000; top += 1000)
        grid.ScrollTo(top);
    int64_t heightBefore = AsRowBox(Root()->children.front())->height;

    grid.SetTopRow(14000);
    grid.Paint();

    std::vector<int64_t> numbers = ChildNumbers(Root());
    ASSERT_GE(numbers.size(), 2u);
    EXPECT_EQ(numbers[0], -1);
    EXPECT_EQ(numbers[1], 9000) << "re-created down to top - 5000";
    EXPECT_EQ(AsRowBox(Root()->children.front())->height, heightBefore - int64_t{6000} * RowPixels());
    // Every re-created box is filled at once, from both segments it reaches (5,001 to 10,000 and
    // 10,001 to 15,000): none shows blank.
    for (LGridBox* box : Root()->children)
    {
        LCSVRowGridBox* row = AsRowBox(box);
        if (row->placeholder)
            continue;
        EXPECT_TRUE(row->filled) << box->rowNumber;
    }
}

TEST_F(ViewCoreTest, AThumbDragFarPastTheBoxesShowsThatRowAndKeepsTheSelection)
{
    Open(100000);
    grid.ScrollTo(2000);
    Select(5, 5);
    // A drag of the thumb to row 80,000: no box carries it, merging cannot reach it.
    grid.ScrollTo(80000);
    EXPECT_EQ(grid.GetTopRow(), 80000u) << "the paint found a box for the top row";
    std::vector<int64_t> numbers = ChildNumbers(Root());
    ASSERT_GE(numbers.size(), 2u);
    EXPECT_EQ(numbers[0], -1);
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), 80000), numbers.end());
    EXPECT_EQ(grid.GetTopBoxOffset(), uint64_t{79999} * RowPixels());
    ASSERT_EQ(grid.GetSelection().size(), 1u);
    EXPECT_EQ(grid.GetSelection().begin()->first, 5u) << "the selection stays";

    // And back to the start: the first segment again, without re-creating 75,000 boxes.
    grid.ScrollTo(10);
    EXPECT_EQ(grid.GetTopRow(), 10u);
    EXPECT_LE(Root()->children.size(), 10001u);
    EXPECT_EQ(Root()->children.front()->rowNumber, 1u);
    EXPECT_FALSE(AsRowBox(Root()->children.front())->placeholder);
}

TEST_F(ViewCoreTest, GoToLineFarAwayRebuildsBehindAPlaceholderAndSelectsTheRow)
{
    Open(100000);
    int64_t first = 0, estimate = 0;
    int64_t segment = doc->GetSegment(60000, first, estimate);
    ASSERT_EQ(first, 55001);
    ASSERT_EQ(estimate, 65010);
    core.SelectRow(60000, doc->Segment(segment), first, estimate);

    std::vector<int64_t> numbers = ChildNumbers(Root());
    // Scrolling the row into view may bring the following segment in as well.
    ASSERT_GE(numbers.size(), 5001u);
    EXPECT_EQ(numbers.front(), -1);
    for (size_t i = 1; i <= 5000; ++i)
        ASSERT_EQ(numbers[i], 55000 + static_cast<int64_t>(i));
    EXPECT_EQ(Root()->children.front()->height, int64_t{55000} * RowPixels());
    EXPECT_EQ(Root()->totalRows, 65010u);
    ASSERT_EQ(grid.GetSelection().size(), 1u);
    EXPECT_EQ(grid.GetSelection().begin()->first, 60000u);
    EXPECT_EQ(grid.GetCaretMode(), CARET_FRAME);
    EXPECT_EQ(grid.GetTopRow(), 60000u);
    ASSERT_FALSE(details.empty());
    EXPECT_EQ(details.back(), u"r60000;x\n");
}

TEST_F(ViewCoreTest, SelectRowAmongTheBoxesKeepsTheTree)
{
    Open(12000);
    LGridBox* root = Root();
    core.SelectRow(42, doc->Segment(0), 1, 0);
    EXPECT_EQ(Root(), root);
    ASSERT_EQ(grid.GetSelection().size(), 1u);
    EXPECT_EQ(grid.GetSelection().begin()->first, 42u);
    int64_t last = 0;
    ASSERT_TRUE(core.GetLastSelectedRow(last));
    EXPECT_EQ(last, 42);
}

TEST_F(ViewCoreTest, RowOutsideItsSegmentRebuildsAndSelectsNothing)
{
    Open(12000);
    details.clear();
    // Go to line 0: the first segment comes back, scrolled to its last row, nothing selected.
    // The old root is marked: a new root may well be allocated where the old one was.
    Root()->editorHeight = -1;
    core.SelectRow(0, doc->Segment(0), 1, 0);
    EXPECT_NE(Root()->editorHeight, -1) << "rebuilt";
    EXPECT_EQ(Root()->children.front()->rowNumber, 1u);
    EXPECT_TRUE(grid.IsSelectionEmpty());
    EXPECT_EQ(grid.GetTopRow(), 5000u);
    // Row details no longer shows rows: it is emptied once.
    EXPECT_EQ(details, std::vector<std::u16string>{u""});
    int64_t last = 0;
    EXPECT_FALSE(core.GetLastSelectedRow(last));
}

TEST_F(ViewCoreTest, RowDetailsLimitsAndCopyWithoutThem)
{
    struct Case
    {
        const char* name;
        size_t rowChars;
        uint64_t lastRow;
        bool limited;
    };
    const Case cases[] = {
        {"999 short rows are shown", 0, 999, false},
        {"1,000 rows exceed the limit", 0, 1000, true},
        {"498 rows of 200 characters fit", 200, 498, false},
        {"499 rows of 200 characters exceed", 200, 499, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Open(12000, c.rowChars);
        details.clear();
        Select(1, c.lastRow);
        ASSERT_EQ(details.size(), 2u) << "emptied first, then the text";
        EXPECT_EQ(details[0], u"");
        if (c.limited)
        {
            EXPECT_EQ(details[1], CsvViewCore::kSizeLimitText);
        }
        else
        {
            EXPECT_EQ(static_cast<uint64_t>(std::count(details[1].begin(), details[1].end(), u'\n')),
                      c.lastRow);
        }
    }

    Open(12000);
    Select(1, 1000);
    std::u16string copied = core.BuildCopyText();
    EXPECT_EQ(std::count(copied.begin(), copied.end(), u'\n'), 1000);
    EXPECT_EQ(copied.substr(0, 9), u"r1;x\nr2;x");
}

TEST_F(ViewCoreTest, MergeRestoresRowsRemovedAtTheFrontAndStopsAtAGap)
{
    Open(20);
    LGridBoxList& children = Root()->children;
    // The Delete key removed rows 1 and 2 and row 10.
    for (int i = 0; i < 2; ++i)
    {
        delete children.front();
        children.pop_front();
    }
    auto tenth =
        std::find_if(children.begin(), children.end(), [](LGridBox* b) { return b->rowNumber == 10; });
    delete *tenth;
    children.erase(tenth);
    // Rows 11 onwards lose their fields, as if they had been re-created.
    for (LGridBox* box : children)
        if (box->rowNumber > 10)
            AsRowBox(box)->filled = false, AsRowBox(box)->fields.clear();

    core.MergeRows(doc->Segment(0), 1, 0);
    std::vector<int64_t> numbers = ChildNumbers(Root());
    ASSERT_EQ(numbers.size(), 19u);
    EXPECT_EQ(numbers[0], 1);
    EXPECT_EQ(numbers[1], 2);
    EXPECT_EQ(numbers[9], 11);
    // The gap at row 10 ends the filling for the rest of the segment.
    EXPECT_FALSE(AsRowBox(children.back())->filled);
}

TEST_F(ViewCoreTest, MergeAppendsOnlyDirectlyAfterTheLastBox)
{
    Open(12000);
    // A segment that does not follow the last box (rows 10,001 on) is not appended.
    std::vector<CSVRecord> far = doc->Segment(2);
    core.MergeRows(far, 10001, 12010);
    EXPECT_EQ(Root()->children.size(), 5000u);
    EXPECT_EQ(Root()->totalRows, 12010u);
    core.MergeRows(doc->Segment(1), 5001, 0);
    EXPECT_EQ(Root()->children.size(), 10000u);
}

TEST_F(ViewCoreTest, ManagerAnswersKeepEditingOffAndFactoryMakesRowBoxes)
{
    bool proceed = true;
    core.OnBeginEdit(nullptr, 3, proceed);
    EXPECT_TRUE(proceed);
    EXPECT_FALSE(core.CanBeginEdit(nullptr, 3));
    EXPECT_FALSE(core.GetEditAttribute(0, nullptr));
    EXPECT_FALSE(core.AllowSuggestions());
    EXPECT_EQ(core.ExtraIntHook(), 0);
    EXPECT_EQ(core.ExtraTextHook(), u"");
    EXPECT_EQ(core.GetGridView(), nullptr) << "a headless grid is no window";

    std::unique_ptr<LGridBoxDataAccessorInterface> node(core.CreateNode(BOX_KIND_ROW));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetAccessorKind(), 9);
    EXPECT_EQ(core.CreateNode(BOX_KIND_ROOT), nullptr);
}

TEST_F(ViewCoreTest, WithoutADocumentNothingIsLoadedOrShown)
{
    Open(12000);
    core.SetDocument(nullptr);
    int loads = doc->loads;
    grid.ScrollTo(4800);
    EXPECT_EQ(doc->loads, loads);
    details.clear();
    Select(1, 3);
    ASSERT_EQ(details.size(), 1u);
    EXPECT_EQ(details[0], u"");
    EXPECT_TRUE(core.SelectRow(3, doc->Segment(0), 1, 0));
    EXPECT_TRUE(core.BuildCopyText().empty());
}

} // namespace
