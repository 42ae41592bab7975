#include <gtest/gtest.h>

#include "GridTestSupport.h"

TEST(GridBoxTree, AttachesOnlyTextAccessors)
{
    TestAccessor refused(nullptr, 9);
    TestAccessor text; // outlives the box, which detaches it when destroyed
    LGridBox box;
    box.SetDataAccessor(&refused);
    EXPECT_EQ(box.GetDataAccessor(), nullptr);
    EXPECT_EQ(refused.attaches, 0);

    box.SetDataAccessor(&text);
    EXPECT_EQ(box.GetDataAccessor(), &text);
    EXPECT_EQ(text.attaches, 1);

    box.SetDataAccessor(&refused); // the old accessor stays
    box.SetDataAccessor(nullptr);
    EXPECT_EQ(box.GetDataAccessor(), &text);
    EXPECT_EQ(box.ForwardToAccessor(1, 7, 3), 7);
}

TEST(GridBoxTree, ForwardToAccessorWithoutAccessorReturnsSecondArgument)
{
    LGridBox box;
    EXPECT_EQ(box.ForwardToAccessor(5, 42, 9), 42);
}

TEST(GridBoxTree, DestroysChildrenBeforeDetachingOwnAccessor)
{
    std::vector<std::string> log;
    auto* root = new TestBox(nullptr, BOX_KIND_ROOT, 0);
    root->log = &log;
    for (uint64_t row = 1; row <= 2; ++row)
    {
        auto* child = new TestBox(nullptr, BOX_KIND_ROW, row);
        child->log = &log;
        child->parent = root;
        root->children.push_back(child);
    }
    TestAccessor accessor(&log);
    root->SetDataAccessor(&accessor);
    root->ownsAccessor = true;
    log.clear();
    delete root;
    // The derived destructor logs first; the base part then deletes the children in order and
    // detaches and releases the accessor last.
    const std::vector<std::string> expected = {"~TestBox 0", "~TestBox 1", "~TestBox 2", "DetachBox",
                                               "Release"};
    EXPECT_EQ(log, expected);
}

TEST(GridBoxTree, HitTestFindsRowBoxesOnly)
{
    auto* root = MakeRows(nullptr, 1, 3);
    int shared = 0;
    int widest = 100;
    LGridDrawArgs args;
    args.rowHeight = 18;
    args.measureOnly = true;
    args.recordPosition = true;
    args.sharedInt = &shared;
    args.widestWidth = &widest;
    root->Draw(args); // rows at y 0, 20, 40, each 20 tall

    auto* second = static_cast<TestBox*>(ChildAt(root, 1));
    auto* grandChild = new TestBox(nullptr, BOX_KIND_ROW, 99);
    grandChild->parent = second;
    grandChild->x = 0;
    grandChild->y = 500;
    grandChild->height = 20;
    second->children.push_back(grandChild);

    struct Case
    {
        const char* name;
        int64_t x, y;
        uint64_t expectedRow; // 0: nothing
    } cases[] = {
        {"first row top", 0, 0, 1},
        {"first row last pixel", 5, 19, 1},
        {"second row starts at 20", 5, 20, 2},
        {"far to the right", 1000000, 45, 3},
        {"below every row", 5, 60, 0},
        {"child of an expanded row", 5, 510, 99},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        int part = -5, subPart = 77, index = 5;
        LGridBox* hit = root->HitTest(c.x, c.y, 18, 400, 18, &part, &subPart, &index);
        EXPECT_EQ(hit ? hit->rowNumber : 0, c.expectedRow);
        EXPECT_EQ(part, hit ? HIT_PART_ROW : HIT_PART_NONE);
        EXPECT_EQ(subPart, 77); // the base leaves the sub-part alone
        EXPECT_EQ(index, -1);
    }

    second->collapsed = true;
    int part = 0, subPart = 0, index = 0;
    EXPECT_EQ(root->HitTest(5, 25, 18, 400, 18, &part, &subPart, &index), second)
        << "a collapsed row is still hit";
    EXPECT_EQ(root->HitTest(5, 510, 18, 400, 18, &part, &subPart, &index), nullptr) << "its children are not";

    second->kind = BOX_KIND_ROW1;
    second->collapsed = false;
    EXPECT_EQ(root->HitTest(5, 25, 18, 400, 18, &part, &subPart, &index), nullptr) << "kind 1 is never hit";
    delete root;
}

TEST(GridBoxTree, BaseDrawRecordsPositionOnlyOnMeasuringPass)
{
    struct Case
    {
        bool measureOnly, recordPosition, records;
    } cases[] = {{true, true, true}, {false, true, false}, {true, false, false}, {false, false, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.measureOnly) + std::to_string(c.recordPosition));
        LGridBox box;
        box.height = 33;
        LGridDrawArgs args;
        args.x = 7;
        args.y = 900;
        args.measureOnly = c.measureOnly;
        args.recordPosition = c.recordPosition;
        EXPECT_EQ(box.Draw(args), 33);
        EXPECT_EQ(box.y, c.records ? 900 : 0);
        EXPECT_EQ(box.x, c.records ? 7 : 0);
    }
}

TEST(GridBoxTree, ExpandParentsOpensEveryAncestor)
{
    LGridBox root;
    auto* a = new LGridBox;
    auto* b = new LGridBox;
    a->parent = &root;
    root.children.push_back(a);
    b->parent = a;
    a->children.push_back(b);
    root.collapsed = a->collapsed = b->collapsed = true;
    b->ExpandParents(true);
    EXPECT_FALSE(root.collapsed);
    EXPECT_FALSE(a->collapsed);
    EXPECT_TRUE(b->collapsed);
    b->ExpandParents(false);
    EXPECT_FALSE(b->collapsed);
}

TEST(GridBoxTree, DataChangeResetsEditorHeight)
{
    LGridBox box;
    box.editorHeight = 50;
    box.OnDataChanged();
    EXPECT_EQ(box.editorHeight, 0);
    EXPECT_TRUE(box.GetAuxText().empty());
    EXPECT_TRUE(box.GetAuxText2().empty());
}
