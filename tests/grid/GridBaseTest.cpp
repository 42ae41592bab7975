#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

#include "GridTestSupport.h"

namespace {

struct GridFixture : ::testing::Test
{
    TestManager manager;
    FakeGrid grid{&manager};
    TestBox* root = nullptr;
    int deleted = 0;
    int deletedNew = 0;

    void Rows(uint64_t first, uint64_t last, int* deleted = nullptr)
    {
        root = MakeRows(&grid, first, last, deleted);
        grid.SetRootBox(root);
    }
};

using Range = std::pair<uint64_t, uint64_t>;

} // namespace

TEST_F(GridFixture, ExtendSelectionGrowsTheFirstFittingRange)
{
    Rows(1, 12);
    struct Case
    {
        const char* name;
        std::vector<Range> before;
        uint64_t row;
        std::vector<Range> after;
        bool result;
        int notifications;
    } cases[] = {
        {"below two ranges", {{1, 2}, {5, 6}}, 10, {{1, 10}, {5, 6}}, true, 1},
        {"above the only range", {{7, 9}}, 4, {{4, 9}}, true, 1},
        {"inside a range", {{3, 8}}, 5, {{3, 8}}, true, 0},
        {"empty selection", {}, 6, {{6, 6}}, true, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        grid.GetSelection().clear();
        grid.GetSelection().insert(c.before.begin(), c.before.end());
        grid.SetCaretMode(CARET_GAP_BELOW);
        manager.selectionChanges = 0;
        EXPECT_EQ(grid.ExtendSelection(ChildWithRow(root, c.row)), c.result);
        EXPECT_EQ(Ranges(grid), c.after);
        EXPECT_EQ(manager.selectionChanges, c.notifications);
        EXPECT_EQ(grid.GetCaretMode(), CARET_GAP_BELOW) << "extending keeps the caret mode";
    }
    EXPECT_FALSE(grid.ExtendSelection(nullptr));
}

TEST_F(GridFixture, SelectBoxAndClearSelection)
{
    Rows(1, 5);
    grid.GetSelection()[2] = 4;
    manager.selectionChanges = 0;
    EXPECT_FALSE(grid.SelectBox(nullptr, false));
    EXPECT_TRUE(grid.IsSelectionEmpty());
    EXPECT_EQ(manager.selectionChanges, 0);

    EXPECT_TRUE(grid.SelectBox(ChildWithRow(root, 3), false));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{3, 3}}));
    EXPECT_EQ(manager.selectionChanges, 1);
    EXPECT_TRUE(grid.IsBoxSelected(ChildWithRow(root, 3)));
    EXPECT_FALSE(grid.IsBoxSelected(ChildWithRow(root, 4)));

    EXPECT_FALSE(grid.SetSelection(nullptr));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{3, 3}})) << "null leaves the selection";

    EXPECT_TRUE(grid.ClearSelection());
    EXPECT_FALSE(grid.ClearSelection());
    EXPECT_EQ(manager.selectionChanges, 1) << "clearing tells nobody";
}

TEST_F(GridFixture, SelectedBoxesTakeOnlyTheFirstMaterialisedRange)
{
    Rows(1, 10);
    grid.GetSelection() = {{3, 5}, {8, 9}};
    LGridBoxList boxes;
    grid.GetSelectedBoxes(boxes);
    EXPECT_EQ(::Rows(boxes), (std::vector<uint64_t>{3, 4, 5}));

    std::set<LGridBox*> set;
    LGridBox* first = nullptr;
    LGridBox* last = nullptr;
    grid.CollectSelectedBoxes(set, first, last);
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(first->rowNumber, 3u);
    EXPECT_EQ(last->rowNumber, 5u);

    grid.GetSelection() = {{8, 14}}; // rows past 10 have no box
    boxes.clear();
    grid.GetSelectedBoxes(boxes);
    EXPECT_TRUE(boxes.empty());
    grid.CollectSelectedBoxes(set, first, last);
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(last, nullptr);
}

TEST(GridFonts, DerivedHeightsTruncateAndStayAtLeastTenPixels)
{
    struct Case
    {
        int height, italic, small;
    } cases[] = {{-12, -10, -10}, {-30, -20, -22}, {16, -10, -10},
                 {-16, -10, -12}, {-15, -10, -11}, {0, -10, -10}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.height);
        LGridFontSpec font{"Lucida Sans Unicode", c.height, 400, false};
        EXPECT_EQ(font.Italic().height, c.italic);
        EXPECT_TRUE(font.Italic().italic);
        EXPECT_EQ(font.Small().height, c.small);
        EXPECT_FALSE(font.Small().italic);
        EXPECT_EQ(font.Bold().height, c.height);
        EXPECT_EQ(font.Bold().weight, 600);
    }
}

TEST(GridFonts, RowHeightFromTextHeight)
{
    struct Case
    {
        int textHeight, rowHeight;
    } cases[] = {{16, 17}, {20, 22}, {9, 9}, {0, 1}, {-4, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(GridRowHeightFromTextHeight(c.textHeight), c.rowHeight) << c.textHeight;
}

TEST_F(GridFixture, BaseSetFontDerivesTheThreeFonts)
{
    LGridFontSpec font{"Lucida Sans Unicode", -30, 400, false};
    grid.SetFont(&font, true, false);
    ASSERT_NE(grid.GetFontSpec(), nullptr);
    EXPECT_EQ(grid.GetItalicFontSpec().height, -20);
    EXPECT_EQ(grid.GetSmallFontSpec().height, -22);
    EXPECT_EQ(grid.GetBoldFontSpec().weight, 600);
    grid.SetFont(nullptr, false, false);
    EXPECT_EQ(grid.GetFontSpec(), nullptr);
}

TEST_F(GridFixture, NavigationInDisplayOrder)
{
    // root: 1, 2 (children 21, 22), 3
    Rows(1, 3);
    LGridBox* two = ChildWithRow(root, 2);
    for (uint64_t row : {21, 22})
    {
        auto* child = new TestBox(&grid, BOX_KIND_ROW, row);
        child->parent = two;
        two->children.push_back(child);
    }
    auto walk = [&](LGridBox* from) {
        std::vector<uint64_t> rows;
        LGridViewBase::PositionCache cache;
        LGridBoxList::iterator position;
        LGridBox* box = from;
        while (grid.FindNextBox(box, position, false, cache))
        {
            box = *position;
            rows.push_back(box->rowNumber);
        }
        return rows;
    };
    EXPECT_EQ(walk(root), (std::vector<uint64_t>{1, 2, 21, 22, 3}));
    two->collapsed = true;
    EXPECT_EQ(walk(root), (std::vector<uint64_t>{1, 2, 3}));
    two->collapsed = false;

    LGridBoxList::iterator position;
    LGridBox* three = ChildWithRow(root, 3);
    ASSERT_TRUE(grid.FindPreviousBox(three, position, false, false));
    EXPECT_EQ((*position)->rowNumber, 22u) << "the previous sibling's deepest last descendant";
    LGridBox* twentyOne = ChildAt(two, 0);
    ASSERT_TRUE(grid.FindPreviousBox(twentyOne, position, false, false));
    EXPECT_EQ((*position)->rowNumber, 2u) << "a first child's parent";
    EXPECT_FALSE(grid.FindPreviousBox(ChildWithRow(root, 1), position, false, false)) << "never the root";
    EXPECT_FALSE(grid.FindPreviousBox(root, position, false, true));
    EXPECT_FALSE(grid.FindPreviousBox(root, position, true, false));
}

TEST_F(GridFixture, SetRootBoxClearsEverythingOfTheOldTree)
{
    Rows(1, 10, &deleted);
    grid.GetSelection()[5] = 7;
    grid.DeleteSelection(true); // one removal step owning rows 5-7
    ASSERT_EQ(grid.GetUndoStack().steps.size(), 1u);
    grid.SetEditing(ChildWithRow(root, 2), HIT_PART_BODY);

    grid.SetRootBox(MakeRows(&grid, 1, 2, &deletedNew));
    EXPECT_EQ(grid.cancels, 1) << "an open edit is cancelled before the tree goes";
    EXPECT_FALSE(grid.IsEditing());
    EXPECT_EQ(grid.GetEditBox(), nullptr);
    EXPECT_EQ(deleted, 10) << "7 boxes of the old tree and the 3 of the removal step, once each";
    EXPECT_TRUE(grid.GetUndoStack().steps.empty());
    EXPECT_TRUE(grid.IsSelectionEmpty());
}

TEST_F(GridFixture, ClearingUndoListDiscardsAnOpenCollection)
{
    Rows(1, 10, &deleted);
    grid.GetUndoStack().openCollection = new LGridViewUndoStepCollection(&grid);
    grid.GetSelection()[3] = 4;
    grid.DeleteSelection(true);
    EXPECT_EQ(grid.GetUndoStack().openCollection->steps.size(), 1u) << "the step went into the collection";
    EXPECT_EQ(manager.log.back().substr(0, 18), "OnSelectionChanged");
    EXPECT_EQ(manager.Count("OnUndoStateChanged 01"), 1);
    grid.ClearUndoList();
    EXPECT_EQ(grid.GetUndoStack().openCollection, nullptr);
    EXPECT_EQ(deleted, 2) << "the removed boxes of the open collection are freed";
}

TEST_F(GridFixture, ReleaseOnAThreadDetachesTheTree)
{
    // The grid lets go of the tree at once; every box of it is then freed on another thread.
    Rows(1, 3);
    std::mutex mutex;
    std::condition_variable freed;
    std::vector<std::thread::id> threads;
    auto note = [&](TestBox&) {
        std::lock_guard<std::mutex> lock(mutex);
        threads.push_back(std::this_thread::get_id());
        freed.notify_all();
    };
    root->onDestroy = note;
    for (LGridBox* child : root->children)
        static_cast<TestBox*>(child)->onDestroy = note;
    grid.SetReleaseOnThread(true);
    grid.ReleaseRootBox();
    EXPECT_EQ(grid.GetRootBox(), nullptr);
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(freed.wait_for(lock, std::chrono::seconds(20), [&] { return threads.size() == 4; }))
        << threads.size() << " of the 4 boxes freed";
    for (const std::thread::id& id : threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST_F(GridFixture, CopySeparatorIsOneTab)
{
    EXPECT_EQ(grid.GetCopySeparator(), u"\t");
}

TEST_F(GridFixture, SettingTheSameRootAgainKeepsIt)
{
    Rows(1, 3, &deleted);
    grid.SetRootBox(root);
    EXPECT_EQ(grid.GetRootBox(), root);
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(root->children.size(), 3u);
}
