#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "GridTestSupport.h"

namespace {

// A model as RecalcLayout leaves it: client 600 px tall with 20 px rows (30 rows per page).
LGridScrollModel Model(uint64_t totalRows, uint64_t topRow, int barPosition = 0)
{
    LGridScrollModel m;
    m.unitsPerRow = totalRows ? static_cast<float>(100000.0 / static_cast<double>(totalRows))
                              : std::numeric_limits<float>::infinity();
    m.SetVerticalBar(600, 20);
    m.topRow = topRow;
    m.SetVerticalPosition(barPosition);
    return m;
}

} // namespace

TEST(GridScroll, VerticalSteps)
{
    struct Case
    {
        const char* name;
        uint64_t total, top;
        int bar;
        int code, position, track;
        uint64_t expectedTop;
        int expectedBar;
    } cases[] = {
        {"line down, 40 rows: the bar moves 2500", 40, 3, 5000, GRID_SB_LINEDOWN, 0, -1, 4, 7500},
        {"line down, 200000 rows: the bar follows the row", 200000, 3, 1, GRID_SB_LINEDOWN, 0, -1, 4, 2},
        {"line down at the last row", 40, 40, 25000, GRID_SB_LINEDOWN, 0, -1, 40, 25000},
        {"line up at row 1", 40, 1, 0, GRID_SB_LINEUP, 0, -1, 1, 0},
        {"line up", 40, 5, 10000, GRID_SB_LINEUP, 0, -1, 4, 7500},
        {"line down with a position only sets the bar", 1000, 7, 0, GRID_SB_LINEDOWN, 4321, -1, 7, 4321},
        {"page up from 5 with 30 rows a page", 1000, 5, 500, GRID_SB_PAGEUP, 0, -1, 1, 0},
        {"page down reaches the total", 1000, 990, 90000, GRID_SB_PAGEDOWN, 0, -1, 1000, 93000},
        {"page down moves a full page", 1000, 10, 1000, GRID_SB_PAGEDOWN, 0, -1, 40, 4000},
        {"thumb gives at most total - 1", 1000, 10, 0, GRID_SB_THUMBTRACK, 0, 97000, 970, 97000},
        {"thumb at the end", 40, 10, 0, GRID_SB_THUMBPOSITION, 0, 100000, 39, 25000},
        {"thumb at 0 gives row 1", 1000, 10, 5000, GRID_SB_THUMBTRACK, 0, 0, 1, 0},
        {"top and bottom do nothing", 1000, 10, 700, GRID_SB_TOP, 0, -1, 10, 700},
        {"no rows: line down", 0, 0, 0, GRID_SB_LINEDOWN, 0, -1, 0, 0},
        {"no rows: page down", 0, 0, 0, GRID_SB_PAGEDOWN, 0, -1, 0, 0},
        {"no rows: thumb", 0, 0, 0, GRID_SB_THUMBTRACK, 0, 50, 1, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        LGridScrollModel m = Model(c.total, c.top, c.bar);
        ASSERT_EQ(m.verticalPosition, c.bar);
        m.ScrollVertical(c.code, c.position, c.track, c.total);
        EXPECT_EQ(m.topRow, c.expectedTop);
        EXPECT_EQ(m.verticalPosition, c.expectedBar);
        EXPECT_GE(m.verticalPosition, 0);
        EXPECT_LE(m.verticalPosition, m.VerticalMaxPosition());
    }
}

TEST(GridScroll, LargeTotalsPageByTheVisibleRowsAndTheBarFollowsTheTopRow)
{
    // 40 rows fit in the client. Whatever the total, a page moves 40 rows and a line one, so
    // paging down shows every row; after every step the bar stands where the thumb would show
    // the top row (within the rows one unit stands for), and a thumb move followed by steps
    // keeps that.
    for (uint64_t total : {uint64_t(100000), uint64_t(14321906), uint64_t(100000000), uint64_t(5000000000)})
    {
        SCOPED_TRACE(total);
        LGridScrollModel m;
        m.unitsPerRow = static_cast<float>(100000.0 / static_cast<double>(total));
        m.SetVerticalBar(800, 20);
        ASSERT_EQ(m.RowsPerPage(), 40);
        const double rowsPerUnit = static_cast<double>(total) / 100000.0;
        const auto expectConsistent = [&](const char* step) {
            const double thumbRow =
                static_cast<double>(m.verticalPosition) / static_cast<double>(m.unitsPerRow);
            EXPECT_LE(std::abs(thumbRow - static_cast<double>(m.topRow)), std::max(1.0, rowsPerUnit) + 1.0)
                << step << ": top row " << m.topRow << ", bar " << m.verticalPosition;
            EXPECT_LE(m.verticalPosition, m.VerticalMaxPosition()) << step;
        };
        m.topRow = 1;
        for (int page = 1; page <= 300; ++page)
        {
            const uint64_t before = m.topRow;
            m.ScrollVertical(GRID_SB_PAGEDOWN, 0, -1, total);
            ASSERT_EQ(m.topRow, before + 40) << "page " << page;
            expectConsistent("page down");
        }
        m.ScrollVertical(GRID_SB_LINEDOWN, 0, -1, total);
        EXPECT_EQ(m.topRow, 12002u);
        expectConsistent("line down");
        m.ScrollVertical(GRID_SB_PAGEUP, 0, -1, total);
        EXPECT_EQ(m.topRow, 11962u);
        expectConsistent("page up");
        m.ScrollVertical(GRID_SB_LINEUP, 0, -1, total);
        EXPECT_EQ(m.topRow, 11961u);
        expectConsistent("line up");

        // The thumb in the middle, then paging on from there.
        m.ScrollVertical(GRID_SB_THUMBTRACK, 0, 50000, total);
        const uint64_t middle = m.topRow;
        EXPECT_NEAR(static_cast<double>(middle), static_cast<double>(total) / 2, rowsPerUnit + 1);
        expectConsistent("thumb");
        m.ScrollVertical(GRID_SB_PAGEDOWN, 0, -1, total);
        EXPECT_EQ(m.topRow, middle + 40);
        expectConsistent("page down after the thumb");
        m.ScrollVertical(GRID_SB_PAGEUP, 0, -1, total);
        m.ScrollVertical(GRID_SB_PAGEUP, 0, -1, total);
        EXPECT_EQ(m.topRow, middle - 40);
        expectConsistent("page up after the thumb");

        // The end: the last page reaches the total, the bar its end.
        m.ScrollVertical(GRID_SB_THUMBTRACK, 0, m.VerticalMaxPosition(), total);
        for (int page = 0; page < 100000 && m.topRow < total; ++page)
            m.ScrollVertical(GRID_SB_PAGEDOWN, 0, -1, total);
        EXPECT_EQ(m.topRow, total);
        EXPECT_EQ(m.verticalPosition, m.VerticalMaxPosition());
    }
}

TEST(GridScroll, PageArithmetic)
{
    LGridScrollModel m = Model(1000, 1);
    EXPECT_EQ(m.verticalPage, 3000);
    EXPECT_EQ(m.RowsPerPage(), 30);
    EXPECT_EQ(m.VerticalMaxPosition(), 97000);
    EXPECT_EQ(m.UnitStep(), 100);

    LGridScrollModel tall = Model(1000, 1);
    tall.SetVerticalBar(100000, 20);
    EXPECT_EQ(tall.verticalPage, 0) << "a client as tall as the range has no bar";
    EXPECT_EQ(tall.verticalBarRange, 0);
}

TEST(GridScroll, UnusableUnitsCountAsOne)
{
    for (float units : {0.0f, -3.0f, std::nanf("")})
    {
        SCOPED_TRACE(units);
        LGridScrollModel m;
        m.unitsPerRow = units;
        m.SetVerticalBar(600, 20);
        EXPECT_EQ(m.verticalPage, 30);
        EXPECT_EQ(m.UnitStep(), 1);
        m.topRow = 5;
        m.ScrollVertical(GRID_SB_THUMBTRACK, 0, 70, 1000);
        EXPECT_EQ(m.topRow, 70u);
    }
    LGridScrollModel m; // no rows: 100000 / 0 units per row
    m.unitsPerRow = std::numeric_limits<float>::infinity();
    m.SetVerticalBar(600, 20);
    EXPECT_EQ(m.verticalPage, std::numeric_limits<int>::max());
    EXPECT_EQ(m.RowsPerPage(), 0);
    EXPECT_EQ(m.VerticalMaxPosition(), 0);
    EXPECT_EQ(m.VerticalValue(), 0u);
}

TEST(GridScroll, SaturatingConversions)
{
    EXPECT_EQ(GridSaturateToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(GridSaturateToInt(-1e300), std::numeric_limits<int>::min());
    EXPECT_EQ(GridSaturateToInt(std::nan("")), 0);
    EXPECT_EQ(GridSaturateToInt(12.9), 12);
    EXPECT_EQ(GridSaturateToUint64(1e30), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(GridSaturateToUint64(-5.0), 0u);
}

TEST(GridScroll, HorizontalSteps)
{
    LGridScrollModel m;
    m.SetLayoutWidth(1298, 500); // layout 1300, page 500: positions 0..800
    ASSERT_EQ(m.layoutWidth, 1300);
    ASSERT_EQ(m.horizontalPage, 500);
    struct Case
    {
        const char* name;
        int start, code, position, track;
        int expectedPosition, expectedMove;
    } cases[] = {
        {"line right", 0, GRID_SB_LINEDOWN, 0, -1, 10, 10},
        {"line right at the right end", 800, GRID_SB_LINEDOWN, 0, -1, 800, 0},
        {"line left at 0", 0, GRID_SB_LINEUP, 0, -1, 0, 0},
        {"line left with a position sets the bar", 0, GRID_SB_LINEUP, 300, -1, 300, 0},
        {"page right near the end", 600, GRID_SB_PAGEDOWN, 0, -1, 800, 200},
        {"page left", 600, GRID_SB_PAGEUP, 0, -1, 100, -500},
        {"thumb", 0, GRID_SB_THUMBTRACK, 0, 450, 450, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m.horizontalPosition = c.start;
        EXPECT_EQ(m.ScrollHorizontal(c.code, c.position, c.track), c.expectedMove);
        EXPECT_EQ(m.horizontalPosition, c.expectedPosition);
    }
    m.SetLayoutWidth(500, 500); // the widest width starts at the client width
    EXPECT_EQ(m.horizontalPage, 500) << "the layout is 2 px wider than the client: the bar stays";
    EXPECT_EQ(m.HorizontalMaxPosition(), 2);
}

TEST(GridScroll, WheelSteps)
{
    struct Case
    {
        int rotation, lines, steps;
    } cases[] = {{120, 3, 1}, {-120, 3, 1}, {240, 3, 2}, {120, 6, 2}, {60, 3, 1}, {0, 3, 0}, {1200, 3, 10}};
    for (const Case& c : cases)
        EXPECT_EQ(LGridScrollModel::WheelLineSteps(c.rotation, c.lines), c.steps)
            << c.rotation << " " << c.lines;
}

namespace {

struct ScrollFixture : ::testing::Test
{
    TestManager manager;
    FakeGrid grid{&manager, 600, 600};
    TestBox* root = nullptr;

    void SetUp() override
    {
        root = MakeRows(&grid, 1, 100);
        root->totalRows = 1000;
        grid.SetVerticalUnitsPerRow(100.0f);
        grid.SetRootBox(root); // rows 20 px: row r at y 20 (r - 1)
        grid.SetTopRow(1);
        manager.log.clear();
    }
};

} // namespace

TEST_F(ScrollFixture, TopBoxOffsetIsTheTopRowsY)
{
    grid.SetTopRow(11);
    EXPECT_EQ(grid.GetTopBoxOffset(), 200u);
    grid.SetTopRow(5000); // no box carries it
    EXPECT_EQ(grid.GetTopBoxOffset(), 0u);
    grid.SetTopRow(0);
    EXPECT_EQ(grid.GetTopBoxOffset(), 0u);
}

TEST_F(ScrollFixture, ScrollStepReportsRelayoutsAndRedraws)
{
    const int layouts = grid.layouts;
    const int redraws = grid.redraws;
    grid.VerticalScrollStep(GRID_SB_LINEDOWN, 0);
    EXPECT_EQ(grid.GetTopRow(), 2u);
    EXPECT_EQ(grid.GetScrollModel().verticalPosition, 100);
    EXPECT_EQ(manager.log, (std::vector<std::string>{"OnScroll 1"}));
    EXPECT_EQ(grid.layouts, layouts + 1);
    EXPECT_EQ(grid.redraws, redraws + 1);
}

TEST_F(ScrollFixture, WheelModes)
{
    grid.SetTopRow(50);
    grid.MouseWheelStep(120, 3, true);
    EXPECT_EQ(grid.GetTopRow(), 20u) << "one page up: the 30 boxes of 20 px above row 50 fill the client";
    EXPECT_EQ(manager.log, (std::vector<std::string>{"OnScroll 2"}));

    manager.log.clear();
    grid.MouseWheelStep(-240, 3, false);
    EXPECT_EQ(grid.GetTopRow(), 22u);
    EXPECT_EQ(manager.log, (std::vector<std::string>{"OnScroll 1", "OnScroll 1"})) << "each step reported";

    manager.log.clear();
    grid.MouseWheelStep(0, 3, false);
    EXPECT_EQ(grid.GetTopRow(), 22u) << "a zero rotation has no direction";
    EXPECT_TRUE(manager.log.empty());
}

// A page step counts the rows on the boxes as they are laid out, not in rows of the row height:
// down to the row after the last box shown whole, up to the highest box from which the boxes
// down to the top row fit in the client.
TEST(GridScroll, PageStepRowsCountTheBoxes)
{
    struct Case
    {
        const char* name;
        std::vector<int64_t> heights; // rows 1.. (-1: row height + 2, as painted)
        uint64_t top;
        int64_t placeholderAbove; // > 0: the first child stands for the rows before, this tall
        uint64_t down, up;
    } cases[] = {
        {"boxes 2 px taller than the row height", std::vector<int64_t>(100, -1), 50, 0, 30, 30},
        {"no box above row 1: up moves as down would", std::vector<int64_t>(100, -1), 1, 0, 30, 30},
        {"a few rows above", std::vector<int64_t>(100, -1), 5, 0, 30, 4},
        {"mixed heights",
         {20, 20, 61, 20, 33, 20, 20, 61, 33, 20, 20, 61, 20, 20, 33, 20, 20, 20, 20,
          20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20},
         12,
         0,
         27,
         11},
        {"mixed heights above",
         {20, 20, 61, 20, 33, 20, 20, 61, 33, 20, 20, 61, 20, 20, 33, 20, 20, 20, 20,
          20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20},
         30,
         0,
         9,
         24},
        {"the top box is taller than the client", {20, 700, 20, 20}, 2, 0, 1, 1},
        {"the last rows: down stops at the last box", std::vector<int64_t>(100, -1), 90, 0, 11, 30},
        {"a placeholder above the first box", std::vector<int64_t>(100, -1), 1, 5000, 30, 30},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestManager manager;
        FakeGrid grid(&manager, 600, 600);
        const uint64_t first = c.placeholderAbove > 0 ? 1001 : 1;
        auto* root = MakeRows(&grid, first, first + c.heights.size() - 1);
        size_t i = 0;
        for (LGridBox* child : root->children)
            static_cast<TestBox*>(child)->fixedHeight = c.heights[i++];
        if (c.placeholderAbove > 0)
        {
            auto* placeholder = new TestBox(&grid, BOX_KIND_ROW, 1);
            placeholder->fixedHeight = c.placeholderAbove;
            placeholder->parent = root;
            root->children.push_front(placeholder);
        }
        grid.SetVerticalUnitsPerRow(100.0f);
        grid.SetRootBox(root);
        const uint64_t top = c.top + first - 1;
        grid.SetTopRow(top);
        EXPECT_EQ(grid.PageStepRows(true, 600), c.down);
        EXPECT_EQ(grid.PageStepRows(false, 600), c.up);
        grid.SetTopRow(100000);
        EXPECT_EQ(grid.PageStepRows(true, 600), 0u) << "no box carries the top row";
    }
}

TEST(GridScroll, CountedPageRowsMoveTheRowAndTheBarTogether)
{
    LGridScrollModel m = Model(2941, 100, 3400); // 34.002 units per row
    m.ScrollVertical(GRID_SB_PAGEDOWN, 0, -1, 2941, 44);
    EXPECT_EQ(m.topRow, 144u) << "not (int)(page / units per row), which truncates to 43";
    EXPECT_EQ(m.verticalPosition, 3400 + 1496) << "44 rows of 34.002 units";
    m.ScrollVertical(GRID_SB_PAGEUP, 0, -1, 2941, 44);
    EXPECT_EQ(m.topRow, 100u);
    EXPECT_EQ(m.verticalPosition, 3400);

    LGridScrollModel noBar = Model(1000, 10);
    noBar.SetVerticalBar(100000, 20);
    noBar.ScrollVertical(GRID_SB_PAGEDOWN, 0, -1, 1000, 44);
    EXPECT_EQ(noBar.topRow, 10u) << "a client as tall as the range has no bar and no page";
}

TEST_F(ScrollFixture, HorizontalStepScrollsContentsWithoutReport)
{
    root->width = 2000; // layout 2002 over a 600 px client
    grid.RecalcLayout();
    EXPECT_EQ(grid.HorizontalScrollStep(GRID_SB_LINEDOWN, 0), 10);
    EXPECT_EQ(grid.contentScrolls, (std::vector<int>{-10}));
    EXPECT_EQ(grid.GetHorizontalOffset(), 10u);
    EXPECT_TRUE(manager.log.empty());
}

TEST_F(ScrollFixture, EnsureVisibleBringsTheBoxToTheTop)
{
    LGridBox* box = ChildWithRow(root, 40);
    grid.EnsureVisible(box, 0, true);
    EXPECT_EQ(grid.GetTopRow(), 40u);
    EXPECT_EQ(grid.GetScrollModel().verticalPosition, 4000);
    EXPECT_EQ(manager.log, (std::vector<std::string>{"OnScroll 1"}));
}

TEST_F(ScrollFixture, EnsureVisibleAtBarPositionZeroKeepsTheRow)
{
    // More than 100000 rows: row 5 sits at bar position (int)(5 x 0.1) = 0. The row must stay 5
    // and not be stepped down to 6.
    root->totalRows = 1000000;
    grid.SetVerticalUnitsPerRow(0.1f);
    grid.RecalcLayout();
    grid.GetSelection().clear();
    grid.SetTopRow(30);
    grid.EnsureVisible(ChildWithRow(root, 5), 0, true);
    EXPECT_EQ(grid.GetTopRow(), 5u);
    EXPECT_EQ(grid.GetScrollModel().verticalPosition, 0);
}

TEST(GridScroll, PositionsPastTwoToTheThirtyOnePixels)
{
    // A placeholder standing for 200 million rows of 20 px lies between row 1 and the last row.
    TestManager manager;
    FakeGrid grid(&manager, 600, 400);
    auto* root = MakeRows(&grid, 1, 1);
    auto* placeholder = new TestBox(&grid, BOX_KIND_ROW, 2);
    placeholder->fixedHeight = int64_t{4000000000};
    placeholder->parent = root;
    root->children.push_back(placeholder);
    auto* last = new TestBox(&grid, BOX_KIND_ROW, 200000002);
    last->parent = root;
    root->children.push_back(last);
    root->totalRows = 200000002;
    grid.SetVerticalUnitsPerRow(static_cast<float>(100000.0 / 200000002.0));
    grid.SetRootBox(root);
    EXPECT_EQ(last->y, 20 + int64_t{4000000000});
    EXPECT_EQ(root->height, 40 + int64_t{4000000000});

    grid.SetTopRow(200000002);
    EXPECT_EQ(grid.GetTopBoxOffset(), 4000000020u);
    int part = 0;
    int subPart = 0;
    EXPECT_EQ(grid.HitTestClient(5, 5, &part, &subPart), last);
    grid.SetTopRow(1);
    EXPECT_EQ(grid.HitTestClient(5, 100, &part, &subPart), placeholder);

    grid.EnsureVisible(last, 0, true);
    EXPECT_EQ(grid.GetTopRow(), 200000002u);
    EXPECT_EQ(grid.GetScrollModel().verticalPosition, grid.GetScrollModel().VerticalMaxPosition())
        << "the bar stays within its int range";
}
