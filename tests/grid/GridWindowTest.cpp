// The grid window under a display: painting into a memory DC (fills and lines only), the wx
// event mapping of scroll bars, wheel, mouse, keys and the context menu, fonts and the pool.
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/settings.h>

#include "GridTestSupport.h"
#include "GridWxText.h"
#include "LGridEdit.h"
#include "LGridView.h"
#include "LSuggestionsBox.h"

namespace {

using Range = std::pair<uint64_t, uint64_t>;

wxColour RowColour(uint64_t row)
{
    return wxColour(static_cast<unsigned char>(20 + row % 200), 200, 120);
}

bool Near(const wxImage& image, int x, int y, const wxColour& colour, int tolerance = 12)
{
    if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight())
        return false;
    return std::abs(image.GetRed(x, y) - colour.Red()) <= tolerance &&
           std::abs(image.GetGreen(x, y) - colour.Green()) <= tolerance &&
           std::abs(image.GetBlue(x, y) - colour.Blue()) <= tolerance;
}

// True when a pixel of the colour lies in column x between y0 and y1 inclusive.
bool ColumnHas(const wxImage& image, int x, int y0, int y1, const wxColour& colour)
{
    for (int y = y0; y <= y1; ++y)
    {
        if (Near(image, x, y, colour))
            return true;
    }
    return false;
}

struct WindowFixture : ::testing::Test
{
    TestManager manager;
    wxFrame* frame = nullptr;
    LGridView* grid = nullptr;
    TestBox* root = nullptr;
    const wxColour frameColour{80, 80, 220}; // 0xDC5050
    const wxColour dropColour{255, 128, 0};  // 0x80FF

    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "grid", wxDefaultPosition, wxSize(800, 600));
        grid = new LGridView(&manager, &manager);
        ASSERT_TRUE(grid->Create(frame, IDC_GRID_VIEW, wxPoint(0, 0), wxSize(600, 400)));
        manager.grid = grid;
        frame->Show();
    }
    void TearDown() override
    {
        grid->Destroy();
        delete frame;
    }
    // Rows first..last, 20 px each (row height 18 + 2), each filled with its own colour.
    void Rows(uint64_t first, uint64_t last, uint64_t total = 0)
    {
        root = MakeRows(grid, first, last);
        root->totalRows = total ? total : last;
        for (LGridBox* child : root->children)
        {
            static_cast<TestBox*>(child)->paint = [](TestBox& box, const LGridDrawArgs& args, int64_t sy) {
                args.dc->SetPen(*wxTRANSPARENT_PEN);
                args.dc->SetBrush(wxBrush(RowColour(box.rowNumber)));
                args.dc->DrawRectangle(0, static_cast<int>(sy), args.clientWidth, args.rowHeight);
            };
        }
        grid->SetVerticalUnitsPerRow(static_cast<float>(100000.0 / static_cast<double>(root->totalRows)));
        grid->SetRootBox(root);
        manager.log.clear();
    }
    wxImage Paint(int width = 600, int height = 300)
    {
        wxBitmap bitmap(width, height, 24);
        {
            wxMemoryDC dc(bitmap);
            grid->PaintTo(dc, wxSize(width, height));
        }
        return bitmap.ConvertToImage();
    }
    TestBox* Box(uint64_t row) { return static_cast<TestBox*>(ChildWithRow(root, row)); }
    bool Send(wxEvent& event) { return grid->GetEventHandler()->ProcessEvent(event); }
    bool Key(wxEventType type, int code, bool ctrl = false)
    {
        wxKeyEvent event(type);
        event.m_keyCode = code;
        event.SetControlDown(ctrl);
        event.SetEventObject(grid);
        return Send(event);
    }
    bool Mouse(wxEventType type, int x, int y, unsigned modifiers = 0)
    {
        wxMouseEvent event(type);
        event.m_x = x;
        event.m_y = y;
        event.SetShiftDown(modifiers & GRID_MK_SHIFT);
        event.SetControlDown(modifiers & GRID_MK_CONTROL);
        event.m_leftDown = (modifiers & GRID_MK_LBUTTON) != 0;
        event.SetEventObject(grid);
        return Send(event);
    }
    bool Scroll(wxEventType type, int position, int orientation = wxVERTICAL)
    {
        wxScrollWinEvent event(type, position, orientation);
        event.SetEventObject(grid);
        return Send(event);
    }
    bool Wheel(int rotation, int lines = 3, wxMouseWheelAxis axis = wxMOUSE_WHEEL_VERTICAL)
    {
        wxMouseEvent event(wxEVT_MOUSEWHEEL);
        event.m_wheelRotation = rotation;
        event.m_wheelDelta = 120;
        event.m_linesPerAction = lines;
        event.m_wheelAxis = axis;
        event.SetEventObject(grid);
        return Send(event);
    }
};

} // namespace

TEST_F(WindowFixture, PaintsRowsSelectionFrameAndWindowColourBelow)
{
    Rows(1, 5);
    grid->SelectBox(Box(2), false); // frame from y 21 to 40
    const wxImage image = Paint();
    EXPECT_TRUE(Near(image, 300, 10, RowColour(1)));
    EXPECT_TRUE(Near(image, 300, 30, RowColour(2)));
    EXPECT_TRUE(ColumnHas(image, 300, 19, 23, frameColour)) << "top edge of the frame";
    EXPECT_TRUE(ColumnHas(image, 300, 38, 42, frameColour)) << "bottom edge";
    EXPECT_TRUE(ColumnHas(image, 0, 25, 35, frameColour)) << "left edge";
    EXPECT_FALSE(ColumnHas(image, 300, 50, 95, frameColour));
    const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    EXPECT_TRUE(Near(image, 300, 150, window, 2)) << "below the root's 100 px";
    EXPECT_EQ(manager.Count("OnBeforePaint"), 1);
    EXPECT_GE(manager.topBoxReports, 1);
}

TEST_F(WindowFixture, SingleBoxCaretLines)
{
    Rows(1, 5); // row 3 spans y 40..59
    struct Case
    {
        int mode;
        int lineY;
        int tickY;  // a pixel on the tick at x 0
        int clearY; // the other side of the line
    } cases[] = {{CARET_GAP_ABOVE, 41, 43, 37}, {CARET_GAP_BELOW, 60, 58, 63}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mode);
        grid->SelectBox(Box(3), false);
        grid->SetCaretMode(c.mode);
        const wxImage image = Paint();
        EXPECT_TRUE(ColumnHas(image, 300, c.lineY - 1, c.lineY + 1, frameColour));
        EXPECT_TRUE(Near(image, 0, c.tickY, frameColour)) << "tick";
        EXPECT_FALSE(Near(image, 0, c.clearY, frameColour));
        EXPECT_FALSE(ColumnHas(image, 300, c.mode == CARET_GAP_ABOVE ? 58 : 39,
                               c.mode == CARET_GAP_ABOVE ? 61 : 42, frameColour))
            << "no second edge";
    }
}

TEST_F(WindowFixture, NoFrameWithoutRowsOrWithAnUnmaterialisedEnd)
{
    Rows(1, 5);
    grid->GetSelection()[3] = 50; // row 50 has no box
    wxImage image = Paint();
    for (int y = 0; y < 120; ++y)
        ASSERT_FALSE(Near(image, 300, y, frameColour)) << y;

    grid->SetRootBox(new TestBox(grid, BOX_KIND_ROOT, 0));
    grid->GetSelection()[1] = 1;
    image = Paint();
    const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    EXPECT_TRUE(Near(image, 300, 5, window, 2)) << "an empty root: all window colour";
    for (int y = 0; y < 60; ++y)
        ASSERT_FALSE(Near(image, 300, y, frameColour)) << y;
}

TEST_F(WindowFixture, DropMarksWhileDragging)
{
    Rows(1, 5);
    grid->GetSelection()[1] = 1;
    Box(1)->forcedSubPart = HIT_SUBPART_DRAG_HANDLE;
    Mouse(wxEVT_LEFT_DOWN, 30, 5, GRID_MK_LBUTTON);
    ASSERT_TRUE(grid->IsDragging());
    Mouse(wxEVT_MOTION, 30, 85, GRID_MK_LBUTTON); // row 5 (80..99), 5 px in: above
    ASSERT_EQ(grid->GetDropBox(), Box(5));
    ASSERT_EQ(grid->GetDropPosition(), DROP_ABOVE);
    const wxImage image = Paint();
    EXPECT_TRUE(ColumnHas(image, 300, 79, 83, dropColour));
    EXPECT_EQ(manager.Count("OnMouseMove"), 1);
    Mouse(wxEVT_LEFT_UP, 30, 85);
    EXPECT_EQ(ChildAt(root, 3), Box(1)) << "moved above row 5";
}

TEST_F(WindowFixture, ColumnWidthOnlyShrinks)
{
    Rows(1, 3);
    EXPECT_EQ(grid->GetColumnWidth(), 400);
    Paint(300, 100);
    EXPECT_EQ(grid->GetColumnWidth(), 282) << "client width - row height";
    Paint(800, 100);
    EXPECT_EQ(grid->GetColumnWidth(), 282) << "widening does not restore it";
    Paint(10, 100);
    EXPECT_EQ(grid->GetColumnWidth(), 6);
}

TEST_F(WindowFixture, FontsAndRowHeight)
{
    LGridFontSpec spec{"", -20, 400, false};
    grid->SetFont(&spec, true, false);
    // Pango rounds pixel sizes through points: allow a pixel either way.
    EXPECT_NEAR(grid->GetGridFont().GetPixelSize().GetHeight(), 20, 1);
    EXPECT_NEAR(grid->GetItalicFont().GetPixelSize().GetHeight(), 13, 1);
    EXPECT_EQ(grid->GetItalicFont().GetStyle(), wxFONTSTYLE_ITALIC);
    EXPECT_NEAR(grid->GetSmallFont().GetPixelSize().GetHeight(), 15, 1);
    EXPECT_EQ(grid->GetBoldFont().GetNumericWeight(), 600);
    wxClientDC dc(grid);
    dc.SetFont(grid->GetGridFont());
    const int tm = dc.GetFontMetrics().height;
    EXPECT_EQ(grid->GetRowHeight(), tm + tm / 10);

    LGridFontSpec cell{"", 16, 400, false};
    wxFont font = GridMakeFont(cell);
    dc.SetFont(font);
    EXPECT_LE(dc.GetFontMetrics().height, 16) << "a positive height is the cell height";
}

TEST_F(WindowFixture, ScrollBarEventsUseTheGridsOwnModel)
{
    Rows(1, 200, 1000); // 100 units per row
    grid->SetTopRow(10);
    struct Case
    {
        const char* name;
        wxEventType type;
        int position;
        uint64_t top;
    } cases[] = {
        {"line down with the position wx gives", wxEVT_SCROLLWIN_LINEDOWN, 7, 11},
        {"line up", wxEVT_SCROLLWIN_LINEUP, 3, 10},
        {"thumb track", wxEVT_SCROLLWIN_THUMBTRACK, 5000, 50},
        {"thumb release", wxEVT_SCROLLWIN_THUMBRELEASE, 6000, 60},
        {"top does nothing", wxEVT_SCROLLWIN_TOP, 0, 60},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        manager.log.clear();
        EXPECT_TRUE(Scroll(c.type, c.position));
        EXPECT_EQ(grid->GetTopRow(), c.top);
        EXPECT_EQ(manager.Count("OnScroll"), 1);
        EXPECT_EQ(grid->GetScrollPos(wxVERTICAL), grid->GetScrollModel().verticalPosition)
            << "bar written back";
    }
    const int page = grid->GetScrollModel().RowsPerPage();
    ASSERT_GT(page, 0);
    Scroll(wxEVT_SCROLLWIN_PAGEDOWN, 0);
    EXPECT_EQ(grid->GetTopRow(), 60u + static_cast<uint64_t>(page));

    root->width = 3000;
    grid->RecalcLayout();
    const int before = grid->GetScrollModel().horizontalPosition;
    manager.log.clear();
    Scroll(wxEVT_SCROLLWIN_LINEDOWN, 1, wxHORIZONTAL);
    EXPECT_EQ(grid->GetScrollModel().horizontalPosition, before + 10);
    EXPECT_EQ(manager.Count("OnScroll"), 0) << "horizontal scrolling tells nobody";
}

TEST_F(WindowFixture, WheelEvents)
{
    Rows(1, 200, 1000);
    grid->SetTopRow(50);
    EXPECT_TRUE(Wheel(-120));
    EXPECT_EQ(grid->GetTopRow(), 51u);
    Wheel(0);
    EXPECT_EQ(grid->GetTopRow(), 51u) << "no rotation, no move";
    Wheel(120, 3, wxMOUSE_WHEEL_HORIZONTAL);
    EXPECT_EQ(grid->GetTopRow(), 51u) << "horizontal wheel ignored";
    Wheel(-240, 3);
    EXPECT_EQ(grid->GetTopRow(), 53u);
    Wheel(120, static_cast<int>(UINT_MAX)); // one page per notch
    EXPECT_EQ(grid->GetTopRow(), 53u - static_cast<uint64_t>(grid->GetScrollModel().RowsPerPage()));
}

TEST_F(WindowFixture, MouseSelectionAndContextMenu)
{
    Rows(1, 10);
    EXPECT_TRUE(Mouse(wxEVT_LEFT_UP, 30, 45));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 3}}));
    ASSERT_GE(manager.log.size(), 2u);
    EXPECT_EQ(manager.log[0].rfind("OnLButtonUp", 0), 0u) << "the owner hears the release first";
    EXPECT_EQ(manager.Count("OnSelectionChanged"), 1);

    Mouse(wxEVT_LEFT_UP, 30, 105, GRID_MK_SHIFT);
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 6}}));

    manager.lButtonUpHandled = true;
    Mouse(wxEVT_LEFT_UP, 30, 5);
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 6}})) << "handled by the owner";

    manager.log.clear();
    EXPECT_TRUE(Mouse(wxEVT_RIGHT_DOWN, 30, 85));
    EXPECT_TRUE(Mouse(wxEVT_RIGHT_UP, 30, 85));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 6}})) << "a selected row keeps the range";
    EXPECT_EQ(manager.log, (std::vector<std::string>{"OnContextMenu 5 1"}));

    manager.log.clear();
    Mouse(wxEVT_RIGHT_UP, 30, 165);
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{9, 9}}));
    EXPECT_EQ(manager.log, (std::vector<std::string>{"OnSelectionChanged", "OnContextMenu 9 1"}));

    manager.log.clear();
    wxContextMenuEvent menu(wxEVT_CONTEXT_MENU, grid->GetId(), wxPoint(-1, -1));
    menu.SetEventObject(grid);
    EXPECT_TRUE(Send(menu)) << "not passed on to the parent";
    EXPECT_EQ(manager.Count("OnContextMenu"), 1);
}

TEST_F(WindowFixture, KeysAreConsumedOrPassedOn)
{
    Rows(1, 10);
    EXPECT_TRUE(Key(wxEVT_KEY_DOWN, WXK_DOWN));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{1, 1}}));
    EXPECT_TRUE(Key(wxEVT_KEY_DOWN, WXK_END, true));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{10, 10}}));
    EXPECT_TRUE(Key(wxEVT_KEY_DOWN, WXK_HOME, true));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{1, 1}}));
    EXPECT_TRUE(Key(wxEVT_KEY_DOWN, WXK_PAGEDOWN)) << "consumed: GTK would move its bar";
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{1, 1}}));
    EXPECT_TRUE(Key(wxEVT_KEY_DOWN, WXK_TAB));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{2, 2}}));
    EXPECT_TRUE(Key(wxEVT_KEY_DOWN, WXK_DELETE));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 3}}));
    EXPECT_EQ(root->children.size(), 9u);
    EXPECT_EQ(grid->GetUndoStack().steps.size(), 1u);

    EXPECT_FALSE(Key(wxEVT_KEY_DOWN, 'A')) << "other keys go on";
    for (int code : {WXK_TAB, WXK_RETURN, WXK_ESCAPE})
        EXPECT_TRUE(Key(wxEVT_CHAR, code)) << "character " << code << " swallowed";
    EXPECT_FALSE(Key(wxEVT_CHAR, 'a'));
}

TEST_F(WindowFixture, EditorAndPopupAreCreatedHidden)
{
    ASSERT_NE(grid->GetEditor(), nullptr);
    EXPECT_EQ(grid->GetEditor()->GetId(), IDC_GRID_EDIT);
    EXPECT_FALSE(grid->GetEditor()->IsShown());
    EXPECT_EQ(grid->GetEditor()->GetParent(), grid);
    ASSERT_NE(grid->GetSuggestionsBox(), nullptr);
    EXPECT_FALSE(grid->GetSuggestionsBox()->IsShown());
    EXPECT_FALSE(grid->IsEditing());
}

TEST_F(WindowFixture, TheEditorAndPopupAreMadeOnFirstUseWithTheGridsFont)
{
    const auto count = [](wxWindow* parent, auto* kind) {
        int n = 0;
        for (wxWindow* child : parent->GetChildren())
            n += dynamic_cast<decltype(kind)>(child) ? 1 : 0;
        return n;
    };
    const auto editors = [&] { return count(grid, static_cast<LGridEdit*>(nullptr)); };
    const auto popups = [&] { return count(frame, static_cast<LSuggestionsBox*>(nullptr)); };
    EXPECT_EQ(editors(), 0) << "a grid that is never edited makes no text control";
    EXPECT_EQ(popups(), 0) << "nor a popup on the top-level window";
    LGridFontSpec spec{"", -20, 400, false};
    grid->SetFont(&spec, true, false);
    EXPECT_EQ(editors(), 0);

    LGridEdit* editor = grid->GetEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetFont(), grid->GetGridFont());
    EXPECT_EQ(grid->GetEditor(), editor);
    EXPECT_EQ(editors(), 1);
    EXPECT_EQ(popups(), 1) << "the editor's text changes filter the popup";
    EXPECT_NE(grid->GetSuggestionsBox(), nullptr);
    EXPECT_EQ(popups(), 1);
}

TEST_F(WindowFixture, PoolRefillIsDeliveredToTheWindow)
{
    std::vector<LGridBox*> taken;
    for (int i = 0; i < 1001; ++i)
        taken.push_back(grid->AllocBox(0, false));
    EXPECT_EQ(grid->GetBoxPool().Size(), 999u);
    EXPECT_EQ(grid->GetBoxPool().RunningRefills(), 1u);
    grid->GetBoxPool().JoinWorkers();
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(grid->GetBoxPool().Size(), 2999u);
    EXPECT_EQ(grid->GetBoxPool().RunningRefills(), 0u);
    for (LGridBox* box : taken)
    {
        EXPECT_EQ(box->owner, grid);
        delete box;
    }
    LGridBox* own = grid->AllocBox(0, true);
    EXPECT_EQ(grid->GetBoxPool().Size(), 2999u) << "bypassing the pool";
    delete own;
}

TEST(GridWindow, DestroyingAGridWithARunningRefill)
{
    TestManager manager;
    auto* frame = new wxFrame(nullptr, wxID_ANY, "grid");
    auto* grid = new LGridView(&manager, &manager);
    ASSERT_TRUE(grid->Create(frame));
    std::vector<LGridBox*> taken;
    for (int i = 0; i < 1500; ++i)
        taken.push_back(grid->AllocBox(0, false));
    ASSERT_GE(grid->GetBoxPool().RunningRefills(), 1u);
    // The window goes at once, while its refill may still run: the refill's delivery, posted to
    // the window, must not reach the freed window (the sanitizer build reports a use after free
    // or a leaked block otherwise), and the boxes taken before stay usable.
    grid->Destroy();
    wxTheApp->ProcessPendingEvents();
    for (LGridBox* box : taken)
    {
        EXPECT_EQ(box->owner, grid) << "a taken box is the caller's";
        delete box;
    }
    EXPECT_TRUE(frame->GetChildren().IsEmpty()) << "the grid left its frame";
    delete frame;
}

// The one pair of converters between UTF-16 and wx text: pairs joined, a lone half of a pair
// U+FFFD wherever it stands, nothing lost around it.
TEST(GridWindow, TextConversionTable)
{
    struct Case
    {
        const char* name;
        std::u16string utf16;
        std::u32string characters; // what the wx text holds
        std::u16string back;       // the wx text converted back
    };
    const Case cases[] = {
        {"empty", u"", U"", u""},
        {"basic plane", u"a\u00e9\u20ac\uFFFF", U"a\u00e9\u20ac\uFFFF", u"a\u00e9\u20ac\uFFFF"},
        {"pair inside", u"x\U0001F600y", U"x\U0001F600y", u"x\U0001F600y"},
        {"pairs at the start and end", u"\U0001F600z\U0010FFFD", U"\U0001F600z\U0010FFFD",
         u"\U0001F600z\U0010FFFD"},
        {"lone high inside",
         u"ab\xD800"
         u"cd",
         U"ab\uFFFDcd", u"ab\uFFFDcd"},
        {"lone high at the start",
         u"\xDBFF"
         u"ab",
         U"\uFFFDab", u"\uFFFDab"},
        {"lone high at the end", u"ab\xD800", U"ab\uFFFD", u"ab\uFFFD"},
        {"lone low inside",
         u"ab\xDC00"
         u"cd",
         U"ab\uFFFDcd", u"ab\uFFFDcd"},
        {"lone low at the start",
         u"\xDFFF"
         u"ab",
         U"\uFFFDab", u"\uFFFDab"},
        {"lone low at the end", u"ab\xDC00", U"ab\uFFFD", u"ab\uFFFD"},
        {"only a lone half", u"\xD800", U"\uFFFD", u"\uFFFD"},
        {"halves in the wrong order", u"\xDC00\xD800", U"\uFFFD\uFFFD", u"\uFFFD\uFFFD"},
        {"high before a pair", u"\xD800\xD800\xDC00", U"\uFFFD\U00010000", u"\uFFFD\U00010000"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const wxString wide = GridToWxString(c.utf16);
        std::u32string held;
        for (wxString::const_iterator it = wide.begin(); it != wide.end(); ++it)
            held.push_back(static_cast<char32_t>((*it).GetValue()));
        EXPECT_EQ(held, c.characters);
        EXPECT_EQ(GridToWxString(c.utf16.data(), c.utf16.size()), wide);
        EXPECT_EQ(GridFromWxString(wide), c.back);
    }
    // A wide character that has no UTF-16 form of its own comes back as U+FFFD.
    const std::wstring strays = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), L'b'};
    EXPECT_EQ(GridFromWxString(wxString(strays)), u"a\uFFFD\uFFFDb");
}

TEST(GridWindow, TextConversionRoundTrips)
{
    const std::u16string texts[] = {u"", u"plain", u"\u00e4\u00f6\u00fc \u20ac", u"pair \U0001F600 end",
                                    u"a\r\nb"};
    for (const std::u16string& text : texts)
        EXPECT_EQ(GridFromWxString(GridToWxString(text)), text);
    EXPECT_EQ(GridToWxString(u"\u20ac"), wxString::FromUTF8("\xE2\x82\xAC"));
}

TEST_F(WindowFixture, CompactRowsHalveTheEffectiveRowHeight)
{
    Rows(1, 3);
    grid->SetCompactRows(true, true);
    EXPECT_EQ(grid->GetEffectiveRowHeight(), 9);
    EXPECT_EQ(grid->GetRowHeight(), 18);
    grid->SetCompactRows(false, false);
    EXPECT_EQ(grid->GetEffectiveRowHeight(), 18);
}

TEST_F(WindowFixture, DeletingTheTopRowDoesNotJumpToTheFirstRow)
{
    Rows(1, 100);
    grid->SelectBox(Box(50), true); // row 50 at the top
    Paint();
    ASSERT_EQ(grid->GetTopRow(), 50u);
    EXPECT_TRUE(Key(wxEVT_KEY_DOWN, WXK_DELETE));
    EXPECT_EQ(grid->GetTopRow(), 51u);
    const wxImage image = Paint(); // the owner writes back the row drawn at the top
    EXPECT_EQ(grid->GetTopRow(), 51u);
    EXPECT_TRUE(Near(image, 300, 10, RowColour(51)));
}
