// The explorer window's layout numbers, its Tab ring and the file list's sort state machine.
#include "ExplorerLayout.h"

#include <gtest/gtest.h>
#include <set>

#include "ExplorerSortState.h"
#include "ExplorerTabRing.h"

namespace {

ExplorerSizeInput FirstSizeInput(int textHeight, int width, int height)
{
    const ExplorerCreationLayout created = ComputeExplorerCreationLayout(textHeight);
    ExplorerSizeInput input;
    input.clientWidth = width;
    input.clientHeight = height;
    input.pathBox = created.pathBox;
    input.fromDocumentButtonWidth = created.fromDocumentButton.width;
    input.flatListCheck = created.flatListCheck;
    input.searchBoxHeight = created.searchBox.height;
    return input;
}

TEST(ExplorerLayout, CreationRectanglesFollowTheTextHeight)
{
    const ExplorerCreationLayout h16 = ComputeExplorerCreationLayout(16);
    EXPECT_EQ(h16.rowHeight, 24);
    EXPECT_EQ(h16.pathBox, (ExplorerRect{52, 2, 448, 22}));
    EXPECT_EQ(h16.flatListCheck, (ExplorerRect{4, 26, 176, 14}));
    EXPECT_EQ(h16.searchBox, (ExplorerRect{4, 44, 606, 20}));
    EXPECT_EQ(h16.list, (ExplorerRect{4, 66, 396, 134}));
    EXPECT_EQ(h16.fromDocumentButton, (ExplorerRect{524, 3, 23, 23}));

    // A taller font: the first row grows past its minimum of 24.
    const ExplorerCreationLayout h22 = ComputeExplorerCreationLayout(22);
    EXPECT_EQ(h22.rowHeight, 28);
    EXPECT_EQ(h22.pathBox.Bottom(), 28);
    EXPECT_EQ(h22.flatListCheck, (ExplorerRect{4, 30, 176, 20}));
    EXPECT_EQ(h22.searchBox, (ExplorerRect{4, 54, 606, 26}));
}

TEST(ExplorerLayout, FirstSizeOf600By400)
{
    const ExplorerSizeLayout out = ComputeExplorerSizeLayout(FirstSizeInput(16, 600, 400));
    EXPECT_EQ(out.fromDocumentButton, (ExplorerRect{575, 2, 22, 22}));
    EXPECT_EQ(out.upButton, (ExplorerRect{551, 2, 22, 22}));
    EXPECT_EQ(out.pathBox, (ExplorerRect{52, 2, 497, 22}));
    EXPECT_EQ(out.searchBox, (ExplorerRect{4, 46, 576, 20}));
    EXPECT_EQ(out.resetButton, (ExplorerRect{581, 46, 20, 20}));
    ASSERT_TRUE(out.hasList);
    EXPECT_EQ(out.list, (ExplorerRect{1, 70, 598, 329}));
}

TEST(ExplorerLayout, LaterSizeUsesTheButtonsCurrentWidth)
{
    ExplorerSizeInput input = FirstSizeInput(16, 600, 400);
    const ExplorerSizeLayout first = ComputeExplorerSizeLayout(input);
    input.pathBox = first.pathBox;
    input.fromDocumentButtonWidth = first.fromDocumentButton.width;
    const ExplorerSizeLayout second = ComputeExplorerSizeLayout(input);
    EXPECT_EQ(second.fromDocumentButton.x, 576);
    EXPECT_EQ(second.upButton.x, 552);
    EXPECT_EQ(second.pathBox.width, 498);
}

TEST(ExplorerLayout, NarrowClientNeverGivesNegativeSizes)
{
    for (int width : {0, 10, 60, 100})
    {
        const ExplorerSizeLayout out = ComputeExplorerSizeLayout(FirstSizeInput(16, width, 30));
        EXPECT_EQ(out.pathBox.width, 0) << width;
        EXPECT_GE(out.searchBox.width, 0) << width;
        EXPECT_GE(out.list.width, 0) << width;
        EXPECT_GE(out.list.height, 0) << width;
    }
    EXPECT_EQ(ComputeExplorerSizeLayout(FirstSizeInput(16, 10, 30)).searchBox.width, 0);
    ExplorerSizeInput noList = FirstSizeInput(16, 600, 400);
    noList.hasList = false;
    EXPECT_FALSE(ComputeExplorerSizeLayout(noList).hasList);
}

TEST(ExplorerTabRing, ShiftTabVisitsEveryStopOnceAndUndoesTab)
{
    using C = ExplorerControl;
    const C stops[] = {C::Back,          C::Forward,   C::PathBox,     C::Up,  C::FromDocument,
                       C::FlatListCheck, C::SearchBox, C::ResetButton, C::List};
    // Shift+Tab goes round all nine stops, each once, and comes back where it started.
    for (const C start : stops)
    {
        std::set<C> seen;
        C at = start;
        for (int i = 0; i < 9; ++i)
        {
            EXPECT_TRUE(seen.insert(at).second) << "stop visited twice from " << static_cast<int>(start);
            at = NextTabStop(at, true).target;
        }
        EXPECT_EQ(at, start);
        EXPECT_EQ(seen.size(), 9u);
    }
    // Tab goes one stop forward along the same ring: Shift+Tab takes it back. The one exception
    // is the list, whose Tab skips the history buttons and lands on the path box.
    for (const C from : stops)
    {
        const C to = NextTabStop(from, false).target;
        ASSERT_NE(to, C::Other) << static_cast<int>(from);
        if (from != C::List)
        {
            EXPECT_EQ(NextTabStop(to, true).target, from) << static_cast<int>(from);
        }
    }
    EXPECT_EQ(NextTabStop(C::List, false), (ExplorerTabStep{C::PathBox, true}))
        << "the path box's text is selected";
    // Tab never reaches the history buttons: from the path box it goes round without them.
    std::set<C> tabbed;
    C at = C::PathBox;
    do
    {
        EXPECT_TRUE(tabbed.insert(at).second);
        at = NextTabStop(at, false).target;
    } while (at != C::PathBox && tabbed.size() < 10);
    EXPECT_EQ(tabbed.size(), 7u);
    EXPECT_EQ(tabbed.count(C::Back) + tabbed.count(C::Forward), 0u);
    // Outside the ring the focus stays.
    EXPECT_EQ(NextTabStop(C::Other, false).target, C::Other);
    EXPECT_EQ(NextTabStop(C::Other, true).target, C::Other);
}

const std::vector<int> KEYS{2, 4, 6, 8};
using M = ExplorerSortMode;

TEST(ExplorerSortState, ClicksOnTheCurrentColumnToggle)
{
    int state = 2;
    ExplorerSortPlan plan = PlanSortByColumn(KEYS, state, 0, false);
    EXPECT_EQ(plan, (ExplorerSortPlan{true, 0, true, M::FilesFirstPathDescending, 3}));
    state = plan.newState;
    plan = PlanSortByColumn(KEYS, state, 0, false);
    EXPECT_EQ(plan, (ExplorerSortPlan{true, 0, false, M::FoldersFirstPathAscending, 2}));
}

TEST(ExplorerSortState, OtherColumnsResortsAndForcedCallsSortAscending)
{
    struct Case
    {
        int state;
        int column;
        bool force;
        ExplorerSortPlan expected;
    };
    const Case cases[] = {
        {2, 2, false, {true, 2, false, M::SizeSmallestFirst, 6}},   // "Size" ascending
        {7, 3, false, {true, 3, false, M::ModifiedOldestFirst, 8}}, // "Size" descending, "Modified" clicked
        {8, 3, false, {true, 3, true, M::ModifiedNewestFirst, 9}},  // "Modified" ascending: descending
        {9, 3, false, {true, 3, false, M::ModifiedOldestFirst, 8}}, // and back
        {5, 1, false, {true, 1, false, M::CheckState, 4}},          // "Valid" descending, clicked: ascending
        {4, 1, false, {true, 1, true, M::CheckStateReversed, 5}},
        {3, -1, false, {true, 0, false, M::FoldersFirstPathAscending, 2}}, // a re-sort is ascending
        {2, 0, true, {true, 0, false, M::FoldersFirstPathAscending, 2}},   // forced: ascending
        {9, -1, true, {true, 3, false, M::ModifiedOldestFirst, 8}},
        {12, 0, false, {false, -1, false, std::nullopt, 12}}, // no column has the state's key
        {2, 7, false, {false, -1, false, std::nullopt, 2}},   // no such column
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlanSortByColumn(KEYS, c.state, c.column, c.force), c.expected)
            << c.state << " " << c.column << " " << c.force;
    EXPECT_FALSE(PlanSortByColumn({}, 2, 0, false).sort);
}

TEST(ExplorerSortState, KeysWithoutAModeSortByText)
{
    const std::vector<int> keys{2, 12};
    const ExplorerSortPlan plan = PlanSortByColumn(keys, 2, 1, false);
    EXPECT_TRUE(plan.sort);
    EXPECT_EQ(plan.compareMode, std::nullopt);
    EXPECT_EQ(plan.newState, 12);
    const ExplorerSortPlan again = PlanSortByColumn(keys, plan.newState, 1, false);
    EXPECT_TRUE(again.descending);
    EXPECT_EQ(again.newState, 13);
}

} // namespace
