// Undo steps headless: content steps, move steps, the ownership of boxes out of the tree, and
// the window-free editing steps that record them (storing a text, the Enter insert).
#include <algorithm>
#include <gtest/gtest.h>

#include "GridTestSupport.h"
#include "LGridEditText.h"

namespace {

using Range = std::pair<uint64_t, uint64_t>;

struct UndoFixture : TenRowsFixture
{
    std::vector<TestAccessor*> accessors;

    void TearDown() override
    {
        grid.SetRootBox(nullptr);
        for (TestAccessor* accessor : accessors)
            delete accessor;
    }
    TestAccessor* GiveAccessor(LGridBox* box, const std::u16string& value, const std::u16string& body)
    {
        auto* accessor = new TestAccessor();
        accessor->value = value;
        accessor->body = body;
        accessors.push_back(accessor);
        box->SetDataAccessor(accessor);
        return accessor;
    }
    std::vector<uint64_t> Children(LGridBox* parent)
    {
        std::vector<uint64_t> rows;
        for (LGridBox* child : parent->children)
            rows.push_back(child->rowNumber);
        return rows;
    }
};

// Accessor objects that the factory hands out, kept for inspection and freed by the test.
struct KeepingManager : TestManager
{
    ~KeepingManager() override
    {
        for (TestAccessor* accessor : made)
            delete accessor;
    }
    LGridBoxDataAccessorInterface* CreateNode(int kind) override
    {
        Log("CreateNode " + std::to_string(kind));
        if (returnNull)
            return nullptr;
        made.push_back(new TestAccessor(nullptr, refuseNodes ? 9 : 0));
        return made.back();
    }
    std::vector<TestAccessor*> made;
    bool returnNull = false;
};

} // namespace

TEST(GridEditText, LineBreaksBecomeCrLfOrLf)
{
    struct Case
    {
        std::u16string in, crlf, lf;
    } cases[] = {
        {u"a\nb\r\nc", u"a\r\nb\r\nc", u"a\nb\nc"},
        {u"a\rb", u"a\r\nb", u"a\nb"},
        {u"\n\r", u"\r\n\r\n", u"\n\n"},
        {u"\r\r\n", u"\r\n\r\n", u"\n\n"},
        {u"plain", u"plain", u"plain"},
        {u"", u"", u""},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(GridUnifyLineBreaks(c.in), c.crlf);
        EXPECT_EQ(GridToEditorLineBreaks(c.in), c.lf);
        EXPECT_EQ(GridUnifyLineBreaks(GridToEditorLineBreaks(c.in)), c.crlf);
    }
}

TEST_F(UndoFixture, ContentStepSwapsTheTextBackAndForth)
{
    TestAccessor* accessor = GiveAccessor(Box(3), u"old value", u"old body");
    grid.RecordContentUndo(Box(3), u"new body", HIT_PART_BODY);
    EXPECT_EQ(accessor->body, u"new body");
    EXPECT_EQ(accessor->value, u"old value");
    ASSERT_EQ(grid.GetUndoStack().steps.size(), 1u);
    auto* step = dynamic_cast<LGridViewUndoStepContent*>(grid.GetUndoStack().steps.back());
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->stepKind, 3);
    EXPECT_EQ(step->part, HIT_PART_BODY);
    EXPECT_EQ(step->savedText, u"old body");
    EXPECT_EQ(manager.Count("OnUndoStateChanged 01"), 1);

    const int redraws = grid.redraws;
    step->Undo();
    EXPECT_EQ(accessor->body, u"old body");
    EXPECT_EQ(step->savedText, u"new body");
    EXPECT_EQ(grid.redraws, redraws + 1);
    step->Undo(); // the swap is its own inverse
    EXPECT_EQ(accessor->body, u"new body");
    step->Redo();
    EXPECT_EQ(accessor->body, u"old body");

    grid.RecordContentUndo(Box(3), u"new value", HIT_PART_ROW);
    EXPECT_EQ(accessor->value, u"new value");
    grid.GetUndoStack().steps.back()->Undo();
    EXPECT_EQ(accessor->value, u"old value");
}

TEST_F(UndoFixture, ContentStepOfOtherPartsAndBoxesWithoutAccessor)
{
    TestAccessor* accessor = GiveAccessor(Box(2), u"v", u"b");
    grid.RecordContentUndo(Box(2), u"ignored", HIT_PART_NO_TEXT);
    EXPECT_EQ(accessor->value, u"v");
    EXPECT_EQ(accessor->body, u"b");
    ASSERT_EQ(grid.GetUndoStack().steps.size(), 1u);
    auto* step = static_cast<LGridViewUndoStepContent*>(grid.GetUndoStack().steps.back());
    EXPECT_EQ(step->part, 0);
    EXPECT_TRUE(step->savedText.empty());
    step->Undo();
    EXPECT_EQ(accessor->body, u"b");

    grid.RecordContentUndo(Box(4), u"no accessor", HIT_PART_BODY);
    grid.RecordContentUndo(nullptr, u"no box", HIT_PART_BODY);
    EXPECT_EQ(grid.GetUndoStack().steps.size(), 1u);

    LGridViewUndoStepContent orphan(nullptr, nullptr);
    orphan.part = HIT_PART_BODY;
    orphan.Undo(); // neither box nor grid: nothing happens
    orphan.Discard(true);
}

TEST_F(UndoFixture, RecordingAStepEmptiesTheRedoStack)
{
    int redoDeleted = 0;
    auto* undone = new LGridViewUndoStepInsertDelete(&grid, true);
    auto* box = new TestBox(&grid, BOX_KIND_ROW, 99);
    box->deleted = &redoDeleted;
    undone->boxes = {box}; // an undone insertion: its box is out of the tree
    grid.GetRedoStack().steps.push_back(undone);

    GiveAccessor(Box(1), u"", u"x");
    grid.RecordContentUndo(Box(1), u"y", HIT_PART_BODY);
    EXPECT_TRUE(grid.GetRedoStack().steps.empty());
    EXPECT_EQ(redoDeleted, 1);
    EXPECT_EQ(grid.GetUndoStack().Depth(), 1u);
}

TEST_F(UndoFixture, OpenCollectionTakesTheStepAndTheDepthCountsIt)
{
    GiveAccessor(Box(1), u"", u"x");
    grid.RecordContentUndo(Box(1), u"a", HIT_PART_BODY);
    grid.GetUndoStack().openCollection = new LGridViewUndoStepCollection(&grid);
    grid.RecordContentUndo(Box(1), u"b", HIT_PART_BODY);
    grid.RecordContentUndo(Box(1), u"c", HIT_PART_BODY);
    EXPECT_EQ(grid.GetUndoStack().steps.size(), 1u);
    EXPECT_EQ(grid.GetUndoStack().openCollection->steps.size(), 2u);
    EXPECT_EQ(grid.GetUndoStack().Depth(), 3u);
    EXPECT_EQ(manager.Count("OnUndoStateChanged 01"), 3);

    // Undoing the collection takes c back before b.
    grid.GetUndoStack().openCollection->Undo();
    EXPECT_EQ(static_cast<TestAccessor*>(Box(1)->accessor)->body, u"a");
    grid.GetUndoStack().openCollection->Redo();
    EXPECT_EQ(static_cast<TestAccessor*>(Box(1)->accessor)->body, u"c");
}

TEST_F(UndoFixture, MoveStepUndoesInReverseAndRedoesInOrder)
{
    // A hand-made move of rows 2..3 to the end of row 8's children, replacing nothing.
    LGridBoxList cut;
    auto first = std::next(root->children.begin(), 1);
    auto last = std::next(root->children.begin(), 2);
    LGridViewBase::SpliceBoxRange(root->children, first, last, cut);
    auto* move = new LGridViewUndoStepMove(&grid);
    move->sourceRemoval.parent = root;
    move->sourceRemoval.position = 1;
    move->sourceRemoval.boxes = cut;
    move->targetInsertion.parent = Box(8);
    move->targetInsertion.position = 0;
    move->targetInsertion.boxes = cut;
    LGridViewBase::InsertBoxList(Box(8), Box(8)->children.end(), cut);
    grid.AddUndoStep(move);
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 4, 5, 6, 7, 8, 9, 10}));

    move->Undo();
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(Box(8)->children.empty());
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{2, 3}}));
    move->Redo();
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Children(Box(8)), (std::vector<uint64_t>{2, 3}));

    // In the tree: discarding frees nothing.
    move->Discard(true);
    move->Discard(false);
    EXPECT_EQ(deleted, 0);
}

TEST_F(UndoFixture, MoveIntoFreesTheReplacedBoxExactlyOnce)
{
    // The drag move drops row 2 "into" row 6: row 6 leaves the tree in the extra removal.
    grid.GetSelection()[2] = 2;
    grid.SetDrop(Box(6), DROP_INTO);
    grid.SetDragging(true);
    grid.HandleLButtonUp(0, 10, static_cast<int>(Box(6)->y + 10), false);
    ASSERT_EQ(ChildWithRow(root, 6), nullptr) << "the target was replaced";
    EXPECT_EQ(deleted, 0);

    grid.ClearUndoList();
    EXPECT_EQ(deleted, 1) << "the replaced box is freed once";
    grid.ClearRedoList();
    EXPECT_EQ(deleted, 1);
}

TEST_F(UndoFixture, UndoneMoveIntoLeavesTheReplacedBoxToTheTree)
{
    grid.GetSelection()[2] = 2;
    grid.SetDrop(Box(6), DROP_INTO);
    grid.SetDragging(true);
    grid.HandleLButtonUp(0, 10, static_cast<int>(Box(6)->y + 10), false);
    ASSERT_EQ(grid.GetUndoStack().steps.size(), 1u);
    LGridViewUndoStep* collection = grid.GetUndoStack().steps.back();
    collection->Undo();
    EXPECT_EQ(Children(root), (std::vector<uint64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    // An undone step would sit on the redo stack: leaving it frees nothing in the tree.
    grid.GetUndoStack().steps.clear();
    grid.GetRedoStack().steps.push_back(collection);
    grid.ClearRedoList();
    EXPECT_EQ(deleted, 0);
}

TEST(UndoEnterInsert, CopiesTheBoxWithANewAccessorAndRecordsOneInsertion)
{
    KeepingManager manager;
    FakeGrid grid{&manager, 600, 400};
    int deleted = 0;
    TestBox* root = MakeRows(&grid, 1, 3, &deleted);
    grid.SetRootBox(root);
    TestAccessor old;
    old.attribute = 7;
    LGridBox* last = ChildWithRow(root, 3);
    last->SetDataAccessor(&old);
    last->ownsAccessor = true; // the old box's flag must not pass to the copy
    manager.log.clear();

    grid.InsertBoxAfterEdit(last);
    ASSERT_EQ(root->children.size(), 4u);
    LGridBox* copy = root->children.back();
    EXPECT_EQ(copy->rowNumber, 3u) << "the copy keeps the row number";
    EXPECT_EQ(copy->kind, BOX_KIND_ROW);
    EXPECT_EQ(copy->editorHeight, last->editorHeight);
    EXPECT_EQ(copy->parent, root);
    EXPECT_TRUE(copy->children.empty());
    ASSERT_EQ(manager.made.size(), 1u);
    EXPECT_EQ(copy->accessor, manager.made[0]);
    EXPECT_EQ(manager.made[0]->attaches, 1);
    EXPECT_EQ(manager.made[0]->attribute, 7u);
    EXPECT_TRUE(copy->ownsAccessor);
    EXPECT_EQ(Ranges(grid), (std::vector<Range>{{3, 3}}));

    ASSERT_EQ(grid.GetUndoStack().steps.size(), 1u);
    auto* step = dynamic_cast<LGridViewUndoStepInsertDelete*>(grid.GetUndoStack().steps.back());
    ASSERT_NE(step, nullptr);
    EXPECT_TRUE(step->insert);
    EXPECT_EQ(step->position, 3);
    EXPECT_EQ(step->parent, root);
    EXPECT_EQ(step->boxes, LGridBoxList{copy});
    // The factory first, then the undo report, then the edit of the copy.
    auto at = [&](const std::string& entry) {
        return std::find(manager.log.begin(), manager.log.end(), entry) - manager.log.begin();
    };
    ASSERT_LT(at("CanBeginEdit 3 3"), static_cast<long>(manager.log.size()));
    EXPECT_LT(at("CreateNode 2"), at("OnUndoStateChanged 01"));
    EXPECT_LT(at("OnUndoStateChanged 01"), at("CanBeginEdit 3 3"));
    EXPECT_EQ(manager.Count("OnUndoStateChanged"), 1);

    // Undoing the insertion takes the copy out; discarding the undone step frees it and
    // releases its accessor once.
    step->Undo();
    EXPECT_EQ(root->children.size(), 3u);
    grid.GetUndoStack().steps.clear();
    grid.GetRedoStack().steps.push_back(step);
    grid.ClearRedoList();
    EXPECT_EQ(manager.made[0]->detaches, 1);
    EXPECT_EQ(manager.made[0]->releases, 1);
    last->ownsAccessor = false;
    last->accessor = nullptr;
    grid.SetRootBox(nullptr);
}

TEST(UndoEnterInsert, RefusedOrMissingNodesGiveACopyWithoutAccessor)
{
    for (const bool returnNull : {false, true})
    {
        SCOPED_TRACE(returnNull ? "null node" : "non-text node");
        KeepingManager manager;
        manager.refuseNodes = true;
        manager.returnNull = returnNull;
        FakeGrid grid{&manager, 600, 400};
        TestBox* root = MakeRows(&grid, 1, 3);
        grid.SetRootBox(root);
        TestAccessor old;
        LGridBox* middle = ChildWithRow(root, 2);
        middle->SetDataAccessor(&old);

        grid.InsertBoxAfterEdit(middle);
        ASSERT_EQ(root->children.size(), 4u);
        LGridBox* copy = ChildAt(root, 2);
        EXPECT_NE(copy, middle);
        EXPECT_EQ(copy->accessor, nullptr) << "no share of the old accessor";
        EXPECT_FALSE(copy->ownsAccessor);
        if (!returnNull)
        {
            ASSERT_EQ(manager.made.size(), 1u);
            EXPECT_EQ(manager.made[0]->releases, 1) << "the refused object is released";
            EXPECT_EQ(manager.made[0]->attaches, 0);
        }
        middle->accessor = nullptr;
        grid.SetRootBox(nullptr);
        EXPECT_EQ(old.detaches, 0);
    }
}

TEST(UndoEnterInsert, NothingWithoutParentFactoryOrAccessor)
{
    KeepingManager manager;
    FakeGrid grid{&manager, 600, 400};
    TestBox* root = MakeRows(&grid, 1, 2);
    grid.SetRootBox(root);
    grid.InsertBoxAfterEdit(ChildWithRow(root, 1)); // no accessor
    grid.InsertBoxAfterEdit(root);                  // no parent
    grid.InsertBoxAfterEdit(nullptr);
    TestAccessor detached;
    LGridBox stray(&grid);
    stray.parent = root; // claims a parent that does not hold it
    stray.SetDataAccessor(&detached);
    grid.InsertBoxAfterEdit(&stray);
    EXPECT_EQ(root->children.size(), 2u);
    EXPECT_TRUE(grid.GetUndoStack().steps.empty());
    EXPECT_EQ(manager.Count("CreateNode"), 0);
    stray.accessor = nullptr;
}

TEST(UndoEnterInsert, EnterOnTheBodyTextOfTheLastChildAppends)
{
    KeepingManager manager;
    manager.canBeginEdit = true;
    FakeGrid grid{&manager, 600, 400};
    TestBox* root = MakeRows(&grid, 1, 3);
    grid.SetRootBox(root);
    TestAccessor old;
    LGridBox* last = ChildWithRow(root, 3);
    last->SetDataAccessor(&old);
    grid.SetEditing(last, HIT_PART_BODY);

    grid.OnEnterKey();
    EXPECT_EQ(grid.endEdits, 1);
    ASSERT_EQ(root->children.size(), 4u);
    EXPECT_NE(root->children.back(), last);
    EXPECT_EQ(grid.GetUndoStack().steps.size(), 1u);
    EXPECT_EQ(manager.Count("CanBeginEdit 3 3"), 1);
    EXPECT_EQ(manager.Count("OnBeginEdit 3 3"), 1);
    last->accessor = nullptr;
    grid.SetRootBox(nullptr);
}
