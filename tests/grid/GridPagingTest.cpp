// Page steps on a real grid window: the owner keeps boxes around the top row as the viewer does,
// with boxes taller than the grid's row height (the viewer's row boxes are row height + 2) or of
// mixed heights. Paging down through thousands of rows paints every row passed whole, and paging
// up paints them again on the way back to row 1, whatever the total.
#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <thread>

#include <wx/app.h>
#include <wx/dc.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/utils.h>

#include "GridTestSupport.h"
#include "GuiTestPump.h"
#include "LGridView.h"

namespace {

// Keeps boxes for the rows around the top row and records the rows each paint showed whole.
class PagingOwner : public TestManager
{
public:
    static constexpr uint64_t kAbove = 150;
    static constexpr uint64_t kBelow = 300;

    void OnScroll(unsigned, int64_t, int, LGridScrollExtent) override { Cover(grid->GetTopRow()); }
    void OnBeforePaint() override
    {
        ++paints;
        lastPaint.clear();
        topReported = false;
    }
    // The first box a paint reports is the one at the top edge (a taller box further down also
    // starts less than its height below the edge).
    void OnTopBoxDrawn(LGridBox* box) override
    {
        if (!topReported)
            TestManager::OnTopBoxDrawn(box);
        topReported = true;
    }

    // The root holds boxes for rows top - 150 .. top + 300 (within 1 .. total); it is rebuilt
    // when the rows from a little above the top row to a page below it are not all there.
    void Cover(uint64_t top)
    {
        top = std::max<uint64_t>(top, 1);
        LGridBox* root = grid->GetRootBox();
        const uint64_t wantFirst = top > 50 ? top - 50 : 1;
        const uint64_t wantLast = std::min(total, top + 120);
        if (root && !root->children.empty() && root->children.front()->rowNumber <= wantFirst &&
            root->children.back()->rowNumber >= wantLast)
            return;
        const uint64_t first = top > kAbove ? top - kAbove : 1;
        const uint64_t last = std::min(total, top + kBelow);
        auto* fresh = new TestBox(grid, BOX_KIND_ROOT, 0);
        for (uint64_t row = first; row <= last; ++row)
        {
            auto* box = new TestBox(grid, BOX_KIND_ROW, row);
            box->fixedHeight = heightOf ? heightOf(row) : -1;
            box->parent = fresh;
            box->paint = [this](TestBox& b, const LGridDrawArgs& args, int64_t sy) {
                args.dc->SetPen(*wxTRANSPARENT_PEN);
                args.dc->SetBrush(
                    wxBrush(wxColour(static_cast<unsigned char>(40 + b.rowNumber % 200), 200, 120)));
                args.dc->DrawRectangle(0, static_cast<int>(sy), args.clientWidth, static_cast<int>(b.height));
                if (sy >= 0 && sy + b.height <= args.clientHeight)
                {
                    paintedWhole.insert(b.rowNumber);
                    lastPaint.insert(b.rowNumber);
                }
            };
            fresh->children.push_back(box);
        }
        fresh->totalRows = total;
        // SetRootBox releases the old root with its boxes; the top row stays.
        grid->SetRootBox(fresh);
        grid->SetVerticalUnitsPerRow(static_cast<float>(100000.0 / static_cast<double>(total)));
    }

    uint64_t total = 0;
    std::function<int64_t(uint64_t)> heightOf; // a box's height; null: row height + 2
    std::set<uint64_t> paintedWhole;           // over all paints since the last clear
    std::set<uint64_t> lastPaint;              // rows the latest paint showed whole
    int paints = 0;
    bool topReported = false;
};

struct Heights
{
    const char* name;
    int fontHeight; // 0: the grid's default row height of 18 px
    std::function<int64_t(uint64_t)> heightOf;
};

class GridPagingTest : public ::testing::TestWithParam<uint64_t>
{
protected:
    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "paging", wxPoint(0, 0), wxSize(900, 980));
        // A panel between them, so that the frame does not size the grid to its client.
        auto* panel = new wxPanel(frame);
        grid = new LGridView(&owner, &owner);
        ASSERT_TRUE(grid->Create(panel, IDC_GRID_VIEW, wxPoint(0, 0), wxSize(820, 920)));
        grid->SetClientSize(794, 894);
        owner.grid = grid;
        frame->Show();
        ASSERT_TRUE(PumpUntilShown(frame));
    }
    void TearDown() override
    {
        grid->Destroy();
        delete frame;
    }

    // A redraw of the window, waited for.
    void Repaint()
    {
        const int before = owner.paints;
        grid->Refresh();
        grid->Update();
        ASSERT_TRUE(PumpUntil([&] { return owner.paints > before; })) << "no paint arrived";
    }

    // A page step as the scroll bar gives it, and the paint after it.
    void Page(wxEventType type)
    {
        const int before = owner.paints;
        wxScrollWinEvent event(type, 0, wxVERTICAL);
        event.SetEventObject(grid);
        grid->GetEventHandler()->ProcessEvent(event);
        ASSERT_TRUE(PumpUntil([&] { return owner.paints > before; })) << "no paint after the step";
    }

    void Start(uint64_t total, const Heights& heights)
    {
        if (heights.fontHeight != 0)
        {
            LGridFontSpec font{"", -heights.fontHeight, 400, false};
            grid->SetFont(&font, true, false);
        }
        owner.total = total;
        owner.heightOf = heights.heightOf;
        grid->SetRootBox(nullptr); // boxes of the new heights
        grid->SetTopRow(1);
        owner.Cover(1);
        grid->RecalcLayout();
        Repaint();
    }

    // The rows of first .. last that no paint since the last clear showed whole.
    std::vector<uint64_t> Missed(uint64_t first, uint64_t last) const
    {
        std::vector<uint64_t> missed;
        for (uint64_t row = first; row <= last; ++row)
        {
            if (!owner.paintedWhole.count(row))
                missed.push_back(row);
        }
        return missed;
    }

    PagingOwner owner;
    wxFrame* frame = nullptr;
    LGridView* grid = nullptr;
};

const Heights kHeights[] = {
    {"row height + 2 (18 px rows)", 0, nullptr},
    {"row height + 2 with a 16 px font", 16, nullptr},
    {"mixed heights", 0, [](uint64_t row) -> int64_t { return row % 7 == 3   ? 61
                                                              : row % 3 == 0 ? 33
                                                                             : 20; }},
};

} // namespace

TEST_P(GridPagingTest, PageStepsShowEveryRowPassedDownAndUp)
{
    const uint64_t total = GetParam();
    for (const Heights& heights : kHeights)
    {
        SCOPED_TRACE(heights.name);
        Start(total, heights);
        ASSERT_EQ(grid->GetTopRow(), 1u);
        // About 894 px high: the scroll bars take their part.
        ASSERT_GT(grid->GetClientSize().y, 850);
        ASSERT_GT(owner.lastPaint.size(), 10u);
        if (!heights.heightOf)
        {
            EXPECT_LT(owner.lastPaint.size(),
                      static_cast<size_t>(grid->GetClientSize().y / grid->GetRowHeight()))
                << "the boxes are taller than the row height: fewer of them fit";
        }

        // Down through a few thousand rows (all of them at 1,000): each step goes to the row after
        // the last one shown whole.
        const uint64_t target = std::min<uint64_t>(total, 3500);
        owner.paintedWhole.clear();
        Repaint();
        int steps = 0;
        while (grid->GetTopRow() < target && steps++ < 1000)
        {
            const uint64_t before = grid->GetTopRow();
            ASSERT_FALSE(owner.lastPaint.empty());
            const uint64_t lastWhole = *owner.lastPaint.rbegin();
            ASSERT_NO_FATAL_FAILURE(Page(wxEVT_SCROLLWIN_PAGEDOWN));
            const uint64_t after = grid->GetTopRow();
            ASSERT_EQ(after, std::min(total, lastWhole + 1)) << "page down from row " << before;
        }
        const uint64_t bottom = grid->GetTopRow();
        ASSERT_GE(bottom, target);
        std::vector<uint64_t> missed = Missed(1, bottom);
        EXPECT_TRUE(missed.empty()) << missed.size() << " rows never shown whole paging down, the first "
                                    << (missed.empty() ? 0 : missed.front());

        // Up again to row 1: every row on the way is shown whole once more.
        owner.paintedWhole.clear();
        Repaint();
        steps = 0;
        while (grid->GetTopRow() > 1 && steps++ < 1000)
        {
            const uint64_t before = grid->GetTopRow();
            ASSERT_NO_FATAL_FAILURE(Page(wxEVT_SCROLLWIN_PAGEUP));
            ASSERT_LT(grid->GetTopRow(), before) << "page up from row " << before;
        }
        EXPECT_EQ(grid->GetTopRow(), 1u);
        missed = Missed(1, bottom);
        EXPECT_TRUE(missed.empty()) << missed.size() << " rows never shown whole paging up, the first "
                                    << (missed.empty() ? 0 : missed.front());

        // The thumb near the end, then down to the last row: every row on the way shown whole
        // (at 5 x 10^9 rows the thumb's last unit stands for 50,000 rows: once is enough).
        if (total > target && &heights == &kHeights[0])
        {
            wxScrollWinEvent thumb(wxEVT_SCROLLWIN_THUMBRELEASE, grid->GetScrollModel().VerticalMaxPosition(),
                                   wxVERTICAL);
            thumb.SetEventObject(grid);
            grid->GetEventHandler()->ProcessEvent(thumb);
            Repaint();
            const uint64_t from = grid->GetTopRow();
            ASSERT_LT(from, total);
            owner.paintedWhole.clear();
            Repaint();
            steps = 0;
            while (grid->GetTopRow() < total && steps++ < 10000)
                ASSERT_NO_FATAL_FAILURE(Page(wxEVT_SCROLLWIN_PAGEDOWN));
            EXPECT_EQ(grid->GetTopRow(), total);
            missed = Missed(from, total);
            EXPECT_TRUE(missed.empty()) << missed.size() << " rows never shown whole from " << from
                                        << " to the end, the first " << (missed.empty() ? 0 : missed.front());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Totals, GridPagingTest,
                         ::testing::Values(uint64_t{1000}, uint64_t{14321906}, uint64_t{5000000000}),
                         [](const ::testing::TestParamInfo<uint64_t>& info) {
                             return "Rows" + std::to_string(info.param);
                         });
