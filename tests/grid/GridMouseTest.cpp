#include <gtest/gtest.h>

#include "GridTestSupport.h"

namespace {

using Range = std::pair<uint64_t, uint64_t>;

// Ten rows of 20 px under the root (row r at y 20 (r - 1)); client 600 x 400.
struct MouseFixture : TenRowsFixture
{
    static int YOf(uint64_t row) { return static_cast<int>(20 * (row - 1) + 5); }
    void Click(uint64_t row, unsigned flags = 0) { grid.HandleLButtonUp(flags, 30, YOf(row), false); }
};

} // namespace

TEST_F(MouseFixture, ClickSelectsFocusesAndNotifiesOnce)
{
    Click(4);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{4, 4}}));
    EXPECT_EQ(grid.focuses, 1);
    EXPECT_EQ(manager.selectionChanges, 1);
    EXPECT_EQ(grid.GetCaretMode(), CARET_FRAME);

    grid.HandleLButtonUp(0, 30, 390, false); // below the last row
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{4, 4}}));
    EXPECT_EQ(grid.focuses, 1);

    grid.HandleLButtonUp(0, 30, YOf(7), true); // the owner handled it
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{4, 4}}));
}

TEST_F(MouseFixture, ShiftAndControlClicks)
{
    struct Case
    {
        const char* name;
        std::vector<Range> before;
        uint64_t row;
        unsigned flags;
        std::vector<Range> after;
    } cases[] = {
        {"shift below a range", {{2, 4}}, 8, GRID_MK_SHIFT, {{2, 8}}},
        {"shift inside a range", {{2, 6}}, 4, GRID_MK_SHIFT, {{2, 6}}},
        {"ctrl on the sole row clears", {{5, 5}}, 5, GRID_MK_CONTROL, {}},
        {"ctrl inside a range selects the row alone", {{2, 6}}, 4, GRID_MK_CONTROL, {{4, 4}}},
        {"ctrl on another row", {{5, 5}}, 7, GRID_MK_CONTROL, {{7, 7}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        grid.GetSelection().clear();
        grid.GetSelection().insert(c.before.begin(), c.before.end());
        Click(c.row, c.flags);
        EXPECT_EQ(Ranges(grid), c.after);
    }
}

TEST_F(MouseFixture, ExpanderTogglesCollapsedWithoutSelecting)
{
    Box(3)->forcedPart = HIT_PART_EXPANDER;
    Click(3);
    EXPECT_TRUE(Box(3)->collapsed);
    EXPECT_TRUE(grid.IsSelectionEmpty());
    Click(3);
    EXPECT_FALSE(Box(3)->collapsed);
}

TEST_F(MouseFixture, ClickOnAnotherBoxEndsTheEdit)
{
    grid.SetEditing(Box(2), HIT_PART_BODY);
    Click(2); // same box, but the click is part 1
    EXPECT_EQ(grid.endEdits, 1);
    grid.SetEditing(Box(2), HIT_PART_ROW);
    Click(2);
    EXPECT_EQ(grid.endEdits, 1) << "the edited box and part: the edit stays";
}

TEST_F(MouseFixture, RightClickSelectsOnlyUnselectedRows)
{
    grid.GetSelection()[2] = 6;
    grid.HandleRButtonUp(0, 30, YOf(4));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{2, 6}}));
    EXPECT_EQ(manager.selectionChanges, 0);
    grid.SetCaretMode(CARET_GAP_ABOVE);
    grid.HandleRButtonUp(0, 30, YOf(8));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{8, 8}}));
    EXPECT_EQ(grid.GetCaretMode(), CARET_FRAME);
    EXPECT_EQ(manager.selectionChanges, 1);
}

TEST_F(MouseFixture, DragStartsOnlyFromAHandleOfASelectedBox)
{
    Box(2)->forcedSubPart = HIT_SUBPART_DRAG_HANDLE;
    grid.HandleLButtonDown(GRID_MK_LBUTTON, 30, YOf(2));
    EXPECT_FALSE(grid.IsDragging()) << "not selected";
    grid.GetSelection()[2] = 2;
    grid.HandleLButtonDown(GRID_MK_LBUTTON, 30, YOf(2));
    EXPECT_TRUE(grid.IsDragging());
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{2, 2}})) << "the press itself selects nothing";
    grid.HandleMouseMove(0, 30, YOf(5)); // the button is no longer held
    EXPECT_FALSE(grid.IsDragging());
    EXPECT_EQ(grid.GetDropBox(), nullptr);
}

TEST_F(MouseFixture, DropPositionFromThePointer)
{
    // Row 6 sits at y 100 with height 20; half a row height of 18 is 9.
    grid.GetSelection()[2] = 2;
    grid.SetDragging(true);
    struct Case
    {
        int y;
        int position;
    } cases[] = {{100, DROP_ABOVE}, {106, DROP_ABOVE}, {107, DROP_INTO}, {110, DROP_INTO},
                 {113, DROP_INTO},  {114, DROP_BELOW}, {119, DROP_BELOW}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.y);
        const int starts = grid.timerStarts;
        grid.HandleMouseMove(GRID_MK_LBUTTON, 30, c.y);
        ASSERT_EQ(grid.GetDropBox(), Box(6));
        EXPECT_EQ(grid.GetDropPosition(), c.position);
        EXPECT_EQ(grid.timerStarts - starts, c.position == DROP_INTO ? 1 : 0);
    }
    grid.HandleMouseMove(GRID_MK_LBUTTON, 30, YOf(2));
    EXPECT_EQ(grid.GetDropBox(), nullptr) << "a selected box is no target";

    Box(6)->collapsed = true;
    grid.HandleMouseMove(GRID_MK_LBUTTON, 30, 110);
    grid.HandleExpandTimer();
    EXPECT_FALSE(Box(6)->collapsed) << "the timer opens a target held in the middle";
}

TEST_F(MouseFixture, DragMoveBelowTheLastChildAppends)
{
    grid.GetSelection()[2] = 3;
    grid.SetDragging(true);
    grid.SetDrop(Box(10), DROP_BELOW);
    grid.HandleLButtonUp(0, 30, YOf(10), false);
    std::vector<uint64_t> order;
    for (LGridBox* child : root->children)
        order.push_back(child->rowNumber);
    EXPECT_EQ(order, (std::vector<uint64_t>{1, 4, 5, 6, 7, 8, 9, 10, 2, 3}));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{2, 3}}));
    EXPECT_EQ(manager.Count("OnDrop 0"), 1);
    EXPECT_FALSE(grid.IsDragging());
    EXPECT_EQ(grid.GetDropBox(), nullptr);
    ASSERT_EQ(grid.GetUndoStack().steps.size(), 1u);
    auto* collection = dynamic_cast<LGridViewUndoStepCollection*>(grid.GetUndoStack().steps.front());
    ASSERT_NE(collection, nullptr);
    ASSERT_EQ(collection->steps.size(), 1u);
    auto* move = dynamic_cast<LGridViewUndoStepMove*>(collection->steps.front());
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->sourceRemoval.position, 1);
    EXPECT_EQ(move->targetInsertion.position, 8);
    EXPECT_EQ(move->extraRemoval.parent, nullptr);
}

TEST_F(MouseFixture, DragMoveIntoReplacesTheTargetAndKeepsItInTheStep)
{
    grid.GetSelection()[2] = 2;
    grid.SetDragging(true);
    grid.SetDrop(Box(5), DROP_INTO);
    LGridBox* target = Box(5);
    grid.HandleLButtonUp(0, 30, YOf(5), false);
    std::vector<uint64_t> order;
    for (LGridBox* child : root->children)
        order.push_back(child->rowNumber);
    EXPECT_EQ(order, (std::vector<uint64_t>{1, 3, 4, 2, 6, 7, 8, 9, 10}));
    auto* collection = static_cast<LGridViewUndoStepCollection*>(grid.GetUndoStack().steps.front());
    auto* move = static_cast<LGridViewUndoStepMove*>(collection->steps.front());
    EXPECT_EQ(move->extraRemoval.boxes, (LGridBoxList{target}));
    EXPECT_EQ(move->extraRemoval.position, 4);
    EXPECT_EQ(target->parent, nullptr);
    grid.ClearUndoList();
    EXPECT_EQ(deleted, 1) << "the replaced box is freed with the step";
}

TEST_F(MouseFixture, DragMoveUndoRestoresTheOrder)
{
    grid.GetSelection()[2] = 3;
    grid.SetDragging(true);
    grid.SetDrop(Box(8), DROP_ABOVE);
    grid.HandleLButtonUp(0, 30, YOf(8), false);
    grid.GetUndoStack().steps.back()->Undo();
    std::vector<uint64_t> order;
    for (LGridBox* child : root->children)
        order.push_back(child->rowNumber);
    EXPECT_EQ(order, (std::vector<uint64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(MouseFixture, ReleaseWithoutTargetIsAClick)
{
    grid.GetSelection()[2] = 2;
    grid.SetDragging(true);
    grid.HandleLButtonUp(0, 30, YOf(6), false);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{6, 6}}));
    EXPECT_TRUE(grid.GetUndoStack().steps.empty());
    EXPECT_FALSE(grid.IsDragging());
}

TEST_F(MouseFixture, DropIntoTheMovedBoxesOwnSubtreeIsRefused)
{
    auto* inner = new TestBox(&grid, BOX_KIND_ROW, 100);
    inner->parent = Box(2);
    Box(2)->children.push_back(inner);
    grid.GetSelection()[2] = 2;
    grid.SetDragging(true);
    grid.SetDrop(inner, DROP_BELOW);
    grid.HandleLButtonUp(0, 30, YOf(3), false);
    EXPECT_EQ(inner->parent, Box(2));
    EXPECT_EQ(ChildAt(root, 1), Box(2));
    EXPECT_EQ(root->children.size(), 10u);
    EXPECT_TRUE(grid.GetUndoStack().steps.empty());
    EXPECT_EQ(manager.Count("OnDrop"), 0);
}

TEST_F(MouseFixture, DropOnAParentlessTargetDoesNothing)
{
    grid.GetSelection()[2] = 2;
    grid.SetDragging(true);
    grid.SetDrop(root, DROP_BELOW);
    grid.HandleLButtonUp(0, 30, YOf(3), false);
    EXPECT_EQ(root->children.size(), 10u);
    EXPECT_TRUE(grid.GetUndoStack().steps.empty());
    EXPECT_EQ(grid.GetUndoStack().openCollection, nullptr);
}
