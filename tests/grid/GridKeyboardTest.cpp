#include <gtest/gtest.h>

#include "GridTestSupport.h"

namespace {

using Range = std::pair<uint64_t, uint64_t>;

struct KeyFixture : TenRowsFixture
{
    std::vector<uint64_t> Children(LGridBox* parent)
    {
        std::vector<uint64_t> rows;
        for (LGridBox* child : parent->children)
            rows.push_back(child->rowNumber);
        return rows;
    }
};

} // namespace

TEST_F(KeyFixture, DeleteRecordsOneRemovalAndSelectsTheNeighbour)
{
    grid.GetSelection()[5] = 7;
    grid.HandleKeyDown(GRID_KEY_DELETE, false);
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 2, 3, 4, 8, 9, 10}));
    ASSERT_EQ(grid.GetUndoStack().steps.size(), 1u);
    auto* step = dynamic_cast<LGridViewUndoStepInsertDelete*>(grid.GetUndoStack().steps.front());
    ASSERT_NE(step, nullptr);
    EXPECT_FALSE(step->insert);
    EXPECT_EQ(step->position, 4);
    EXPECT_EQ(Rows(step->boxes), (std::vector<uint64_t>{5, 6, 7}));
    EXPECT_EQ(step->parent, root);
    for (LGridBox* box : step->boxes)
        EXPECT_EQ(box->parent, nullptr);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{8, 8}}));
    EXPECT_EQ(manager.Count("OnSelectionChanged"), 1);
    EXPECT_EQ(manager.Count("OnUndoStateChanged 01"), 1);
    EXPECT_EQ(grid.endEdits, 1) << "an open edit is closed first";

    grid.ClearUndoList();
    EXPECT_EQ(deleted, 3) << "the removed boxes are freed once, when the step is discarded";
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 2, 3, 4, 8, 9, 10}));
}

TEST_F(KeyFixture, DeleteAtTheEndSelectsNothing)
{
    grid.GetSelection()[9] = 10;
    grid.DeleteSelection(true);
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(grid.IsSelectionEmpty());
    EXPECT_EQ(manager.Count("OnSelectionChanged"), 0);
}

TEST_F(KeyFixture, DeleteOfUnmaterialisedOrEmptySelectionDoesNothing)
{
    grid.DeleteSelection(true);
    grid.GetSelection()[9] = 12;
    grid.DeleteSelection(true);
    EXPECT_EQ(root->children.size(), 10u);
    EXPECT_TRUE(grid.GetUndoStack().steps.empty());
}

TEST_F(KeyFixture, DeletingTheTopBoxKeepsTheViewInPlace)
{
    struct Case
    {
        const char* name;
        uint64_t top, first, last, expectedTop;
    } cases[] = {
        {"top row deleted: the next row takes it", 5, 5, 6, 7},
        {"rows below the top: top unchanged", 3, 5, 6, 3},
        {"the last rows: the last remaining row", 9, 9, 10, 8},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        grid.SetRootBox(root = MakeRows(&grid, 1, 10));
        grid.SetTopRow(c.top);
        grid.GetSelection()[c.first] = c.last;
        grid.DeleteSelection(true);
        EXPECT_EQ(grid.GetTopRow(), c.expectedTop);
    }
}

TEST_F(KeyFixture, UndoAndRedoOfARemoval)
{
    grid.GetSelection()[5] = 7;
    grid.DeleteSelection(true);
    LGridViewUndoStep* step = grid.GetUndoStack().steps.front();
    step->Undo();
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{5, 7}}));
    EXPECT_EQ(grid.GetTopRow(), 5u);
    step->Redo();
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 2, 3, 4, 8, 9, 10}));
}

TEST_F(KeyFixture, DiscardDeletesOnlyWhatTheStepOwns)
{
    struct Case
    {
        bool insert, fromUndo;
        int deletes;
    } cases[] = {{false, true, 2}, {false, false, 0}, {true, true, 0}, {true, false, 2}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.insert) + std::to_string(c.fromUndo));
        int count = 0;
        LGridViewUndoStepInsertDelete step(&grid, c.insert);
        auto* a = new TestBox(&grid, BOX_KIND_ROW, 1);
        auto* b = new TestBox(&grid, BOX_KIND_ROW, 2);
        a->deleted = b->deleted = &count;
        step.boxes = {a, b};
        step.Discard(c.fromUndo);
        EXPECT_EQ(count, c.deletes);
        if (count == 0)
        {
            delete a;
            delete b;
        }
    }
}

TEST_F(KeyFixture, RemoveAndInsertBoxes)
{
    auto* parent = Box(3);
    for (uint64_t row = 31; row <= 35; ++row)
    {
        auto* child = new TestBox(&grid, BOX_KIND_ROW, row);
        child->parent = parent;
        parent->children.push_back(child);
    }
    LGridBoxList removed;
    grid.RemoveBoxes(parent, 6, 1, removed);
    EXPECT_TRUE(removed.empty()) << "a position past the child count does nothing";
    grid.RemoveBoxes(parent, 2, 0, removed);
    EXPECT_TRUE(removed.empty());
    grid.RemoveBoxes(parent, 2, -1, removed);
    EXPECT_EQ(Rows(removed), (std::vector<uint64_t>{33, 34, 35}));
    EXPECT_EQ(Children(parent), (std::vector<uint64_t>{31, 32}));
    LGridBoxList two;
    grid.RemoveBoxes(parent, 0, 5, two); // stops at the end
    EXPECT_EQ(Rows(two), (std::vector<uint64_t>{31, 32}));

    // parent is now childless: only position 0 inserts.
    EXPECT_FALSE(grid.InsertBoxes(parent, 1, removed, false, false) && !parent->children.empty());
    EXPECT_TRUE(parent->children.empty());
    EXPECT_TRUE(grid.InsertBoxes(parent, 0, removed, true, false));
    EXPECT_EQ(Children(parent), (std::vector<uint64_t>{33, 34, 35}));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{33, 35}}));
    EXPECT_TRUE(grid.InsertBoxes(parent, 3, two, false, false));
    EXPECT_EQ(Children(parent), (std::vector<uint64_t>{33, 34, 35, 31, 32}));
    EXPECT_TRUE(grid.IsSelectionEmpty());
    EXPECT_FALSE(grid.InsertBoxes(nullptr, 0, two, false, false));
    EXPECT_FALSE(grid.InsertBoxes(parent, 9, two, false, false));
    for (LGridBox* box : parent->children)
        EXPECT_EQ(box->parent, parent);

    LGridBoxList one{new TestBox(&grid, BOX_KIND_ROW, 77)};
    EXPECT_TRUE(grid.InsertBoxesBefore(parent, std::next(parent->children.begin()), one, false));
    EXPECT_EQ(Children(parent), (std::vector<uint64_t>{33, 77, 34, 35, 31, 32}));
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{77, 77}}));
}

TEST_F(KeyFixture, CaretWalkOfOneBox)
{
    grid.SelectBox(Box(4), false);
    struct Step
    {
        LGridKey key;
        uint64_t selected;
        int mode;
    } steps[] = {
        {GRID_KEY_DOWN, 4, CARET_GAP_BELOW}, {GRID_KEY_DOWN, 5, CARET_FRAME},
        {GRID_KEY_UP, 5, CARET_GAP_ABOVE},   {GRID_KEY_UP, 4, CARET_FRAME},
        {GRID_KEY_DOWN, 4, CARET_GAP_BELOW}, {GRID_KEY_UP, 4, CARET_FRAME},
    };
    for (const Step& s : steps)
    {
        grid.HandleKeyDown(s.key, false);
        EXPECT_EQ(Ranges(grid), (std::vector<Range>{{s.selected, s.selected}}));
        EXPECT_EQ(grid.GetCaretMode(), s.mode);
    }
}

TEST_F(KeyFixture, UpOnTheFirstRowStopsWithoutRepaint)
{
    grid.SelectBox(Box(1), false);
    grid.HandleKeyDown(GRID_KEY_UP, false);
    EXPECT_EQ(grid.GetCaretMode(), CARET_GAP_ABOVE);
    const int redraws = grid.redraws;
    grid.HandleKeyDown(GRID_KEY_UP, false);
    EXPECT_EQ(grid.GetCaretMode(), CARET_GAP_BELOW) << "the mode is set before the neighbour is looked for";
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{1, 1}}));
    EXPECT_EQ(grid.redraws, redraws);
}

TEST_F(KeyFixture, SeveralSelectedBoxesMoveAsOne)
{
    grid.GetSelection()[3] = 5;
    grid.HandleKeyDown(GRID_KEY_DOWN, false);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{6, 6}}));
    grid.GetSelection() = {{3, 5}};
    grid.HandleKeyDown(GRID_KEY_UP, false);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{2, 2}}));
    EXPECT_EQ(grid.GetTopRow(), 2u);
}

TEST_F(KeyFixture, UpOrDownWithoutSelectionSelectsTheFirstRow)
{
    for (LGridKey key : {GRID_KEY_UP, GRID_KEY_DOWN})
    {
        grid.GetSelection().clear();
        grid.SetTopRow(7);
        grid.HandleKeyDown(key, false);
        EXPECT_EQ(Ranges(grid), (std::vector<Range>{{1, 1}}));
        EXPECT_EQ(grid.GetTopRow(), 1u);
    }
}

TEST_F(KeyFixture, UpAndDownAreIgnoredWhileEditing)
{
    grid.SelectBox(Box(4), false);
    grid.SetEditing(Box(4), HIT_PART_BODY);
    grid.HandleKeyDown(GRID_KEY_DOWN, false);
    EXPECT_EQ(grid.GetCaretMode(), CARET_FRAME);
}

TEST_F(KeyFixture, ControlHomeAndEnd)
{
    struct Case
    {
        LGridKey key;
        bool ctrl;
        uint64_t expected; // 0: the selection stays
    } cases[] = {{GRID_KEY_HOME, true, 1},
                 {GRID_KEY_END, true, 10},
                 {GRID_KEY_HOME, false, 0},
                 {GRID_KEY_END, false, 0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.key) + (c.ctrl ? " ctrl" : ""));
        grid.SelectBox(Box(5), false);
        grid.SetTopRow(5);
        manager.log.clear();
        grid.HandleKeyDown(c.key, c.ctrl);
        const uint64_t row = c.expected ? c.expected : 5;
        EXPECT_EQ(Ranges(grid), (std::vector<Range>{{row, row}}));
        EXPECT_EQ(grid.GetTopRow(), row) << "scrolled to the top";
        EXPECT_EQ(manager.Count("OnSelectionChanged"), c.expected ? 1 : 0);
    }
    grid.SetRootBox(new TestBox(&grid, BOX_KIND_ROOT, 0));
    grid.HandleKeyDown(GRID_KEY_HOME, true);
    EXPECT_TRUE(grid.IsSelectionEmpty());
}

TEST_F(KeyFixture, ControlHomeAndEndScrollBeforeTheOwnerPaints)
{
    // An owner that, like the viewer, deletes the boxes far from the top row before each paint
    // (a redraw paints at once). The key must have scrolled to its box before that paint: the
    // box is then near the top and kept, and nothing uses a deleted box.
    std::vector<uint64_t> paintedTops;
    grid.onRedraw = [&] {
        const uint64_t top = grid.GetTopRow();
        paintedTops.push_back(top);
        for (auto it = root->children.begin(); it != root->children.end();)
        {
            LGridBox* child = *it;
            if (child->rowNumber + 3 < top || child->rowNumber > top + 3)
            {
                it = root->children.erase(it);
                delete child;
            }
            else
            {
                ++it;
            }
        }
    };
    grid.SetTopRow(5);
    grid.HandleKeyDown(GRID_KEY_END, true);
    ASSERT_FALSE(paintedTops.empty());
    EXPECT_EQ(paintedTops.front(), 10u) << "the first paint shows the last row at the top";
    EXPECT_EQ(grid.GetTopRow(), 10u);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{10, 10}}));
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{7, 8, 9, 10}));

    // Home takes the first box there is, row 7 now.
    paintedTops.clear();
    grid.HandleKeyDown(GRID_KEY_HOME, true);
    ASSERT_FALSE(paintedTops.empty());
    EXPECT_EQ(paintedTops.front(), 7u);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{7, 7}}));
    grid.onRedraw = nullptr;
}

TEST_F(KeyFixture, TabAndEnterConsultTheOwner)
{
    grid.GetSelection()[3] = 4;
    grid.HandleKeyDown(GRID_KEY_RETURN, false);
    EXPECT_EQ(manager.log, (std::vector<std::string>{"CanBeginEdit 3 1"})) << "Enter asks for the first row";
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{3, 4}}));

    manager.log.clear();
    grid.HandleKeyDown(GRID_KEY_TAB, false);
    EXPECT_EQ(manager.log[0], "CanBeginEdit 4 3") << "Tab asks for the last row";
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{5, 5}})) << "refused: the next row";
    EXPECT_EQ(grid.GetTopRow(), 5u);

    grid.GetSelection().clear();
    grid.HandleKeyDown(GRID_KEY_TAB, false);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{1, 1}}));

    manager.canBeginEdit = true;
    manager.clearProceed = true;
    manager.log.clear();
    grid.HandleKeyDown(GRID_KEY_TAB, false);
    EXPECT_EQ(manager.log[0], "CanBeginEdit 1 3");
    EXPECT_EQ(manager.log[1], "OnBeginEdit 1 3");
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{2, 2}})) << "a cleared proceed refuses too";
    EXPECT_FALSE(grid.IsEditing());

    manager.clearProceed = false;
    manager.log.clear();
    grid.HandleKeyDown(GRID_KEY_RETURN, false);
    EXPECT_EQ(manager.log[1], "OnBeginEdit 2 1");
    EXPECT_TRUE(grid.IsSelectionEmpty()) << "an agreed edit clears the selection; part 1 opens nothing";
    EXPECT_FALSE(grid.IsEditing());
}

TEST_F(KeyFixture, PageKeysAndEscapeOnlyEndAnEdit)
{
    grid.SelectBox(Box(4), false);
    grid.SetTopRow(4);
    for (LGridKey key : {GRID_KEY_PAGEUP, GRID_KEY_PAGEDOWN, GRID_KEY_ESCAPE})
    {
        grid.SetEditing(Box(4), HIT_PART_BODY);
        const int ends = grid.endEdits;
        grid.HandleKeyDown(key, false);
        EXPECT_EQ(grid.endEdits, ends + 1);
    }
    EXPECT_EQ(grid.GetTopRow(), 4u);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{4, 4}}));
}

TEST_F(KeyFixture, SpliceMovesARunOut)
{
    LGridBoxList from;
    std::vector<LGridBox> boxes(5);
    for (LGridBox& box : boxes)
    {
        box.parent = root;
        from.push_back(&box);
    }
    LGridBoxList to{root};
    LGridViewBase::SpliceBoxRange(from, from.end(), from.end(), to);
    EXPECT_EQ(to.size(), 1u) << "from the end: nothing, not even emptying";
    LGridViewBase::SpliceBoxRange(from, std::next(from.begin()), std::next(from.begin(), 2), to);
    EXPECT_EQ(to, (LGridBoxList{&boxes[1], &boxes[2]}));
    EXPECT_EQ(from.size(), 3u);
    EXPECT_EQ(boxes[1].parent, nullptr);
    EXPECT_EQ(boxes[3].parent, root);
    LGridViewBase::SpliceBoxRange(from, std::next(from.begin()), from.end(), to);
    EXPECT_EQ(to, (LGridBoxList{&boxes[3], &boxes[4]}));
    EXPECT_EQ(from, (LGridBoxList{&boxes[0]}));
}

TEST_F(KeyFixture, CollectionUndoesNewestFirst)
{
    struct Recording : LGridViewUndoStep
    {
        Recording(std::vector<std::string>* log, std::string name)
            : LGridViewUndoStep(nullptr)
            , log(log)
            , name(std::move(name))
        {}
        void Discard(bool) override { log->push_back("discard " + name); }
        void Undo() override { log->push_back("undo " + name); }
        void Redo() override { log->push_back("redo " + name); }
        std::vector<std::string>* log;
        std::string name;
    };
    std::vector<std::string> log;
    LGridViewUndoStepCollection collection(nullptr);
    for (const char* name : {"A", "B", "C"})
        collection.steps.push_back(new Recording(&log, name));
    collection.Undo();
    collection.Redo();
    collection.Discard(true);
    EXPECT_EQ(log, (std::vector<std::string>{"undo C", "undo B", "undo A", "redo A", "redo B", "redo C",
                                             "discard A", "discard B", "discard C"}));
    EXPECT_TRUE(collection.steps.empty());
}
