// The balloon tip and its mark-up renderer: line breaks and paragraphs, styles, literal tags,
// word breaking, font colours, the window's shape, placement on the point and hiding once the
// cursor moves; the check box's tip relay.
#include <gtest/gtest.h>
#include <memory>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include "CButtonWithTT.h"
#include "CXInfoTip.h"
#include "ExplorerTestSupport.h"
#include "MarkupText.h"
#include "TipGeometry.h"

namespace {

// A memory dc over a white bitmap, in a font of known size.
struct Canvas
{
    wxBitmap bitmap{400, 200, 24};
    wxMemoryDC dc{bitmap};
    wxFont font{wxFontInfo(12).Family(wxFONTFAMILY_SWISS)};

    Canvas()
    {
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetFont(font);
        dc.SetTextForeground(*wxBLACK);
    }
    int LineHeight()
    {
        wxCoord w = 0, h = 0;
        dc.GetTextExtent(wxString::FromUTF8("\xC3\x85y"), &w, &h);
        return h;
    }
    int Width(const wxString& text, bool bold = false)
    {
        wxFont f(font);
        if (bold)
            f.MakeBold();
        wxCoord w = 0, h = 0;
        dc.GetTextExtent(text, &w, &h, nullptr, nullptr, &f);
        return w;
    }
    struct Measured
    {
        int width;
        int height;
        int y; // what the call returned: the top of the last line
    };
    Measured Measure(const wxString& text, int format = 0, int width = 1000)
    {
        wxRect rect(0, 0, width, 0);
        const int y = DrawMarkupText(&dc, &text, -1, &rect, format | MARKUP_CALCRECT);
        return {rect.width, rect.height, y};
    }
};

TEST(MarkupText, LineBreaksAndParagraphs)
{
    Canvas c;
    const int line = c.LineHeight();
    struct Case
    {
        const char* text;
        int format;
        int expectedY;
    } cases[] = {
        {"one line", 0, 0},           {"a<br/>b", 0, line},
        {"a<br>b<br>c", 0, 2 * line}, {"a<br/>b", MARKUP_SINGLELINE, 0},
        {"<p>first", 0, 0},         // a paragraph tag as the very first character adds no space
        {"a<p>b", 0, line * 3 / 2}, // anywhere else one and a half lines
        {"a</br>b</p>c", 0, 0},     // end tags of block tags do nothing
    };
    for (const Case& k : cases)
    {
        const Canvas::Measured m = c.Measure(wxString::FromUTF8(k.text), k.format);
        EXPECT_EQ(m.y, k.expectedY) << k.text;
        EXPECT_EQ(m.height, k.expectedY + line) << k.text;
    }
}

TEST(MarkupText, StylesAndLiteralTags)
{
    Canvas c;
    // A tag whose name starts with a table name means that tag.
    EXPECT_EQ(c.Measure("<bold>Wide</bold>").width, c.Width("Wide", true));
    EXPECT_EQ(c.Measure("<strong>Wide</strong>").width, c.Width("Wide", true));
    EXPECT_NE(c.Width("Wide", true), c.Width("Wide")) << "the test font must show bold wider";
    // A b tag with an attribute, and a tag that is not in the table, are drawn as text.
    EXPECT_EQ(c.Measure("<b x>y").width, c.Width("<b") + c.Width(" ") + c.Width("x>y"));
    EXPECT_EQ(c.Measure("<q>y").width, c.Width("<q>y"));
    // An end tag that is not in the table vanishes.
    EXPECT_EQ(c.Measure("y</q>z").width, c.Width("y") + c.Width("z"));
}

TEST(MarkupText, LongLinesWidenWithoutWordBreakAndBreakWithIt)
{
    Canvas c;
    const int line = c.LineHeight();
    const wxString text = "alpha beta gamma";
    const Canvas::Measured widened = c.Measure(text, 0, 10);
    EXPECT_EQ(widened.y, 0);
    EXPECT_EQ(widened.width,
              c.Width("alpha") + c.Width(" ") + c.Width("beta") + c.Width(" ") + c.Width("gamma"));
    const Canvas::Measured broken = c.Measure(text, MARKUP_WORDBREAK, 10);
    EXPECT_EQ(broken.y, 2 * line);
    EXPECT_EQ(broken.width, c.Width("gamma"));
}

// Counts pixels that are clearly red.
int RedPixels(const wxBitmap& bitmap)
{
    const wxImage image = bitmap.ConvertToImage();
    int red = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetRed(x, y) > 180 && image.GetGreen(x, y) < 90 && image.GetBlue(x, y) < 90)
                ++red;
    return red;
}

int BluePixels(const wxBitmap& bitmap)
{
    const wxImage image = bitmap.ConvertToImage();
    int blue = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetBlue(x, y) > 180 && image.GetRed(x, y) < 90 && image.GetGreen(x, y) < 90)
                ++blue;
    return blue;
}

int DarkPixels(const wxBitmap& bitmap)
{
    const wxImage image = bitmap.ConvertToImage();
    int dark = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetBlue(x, y) < 90 && image.GetRed(x, y) < 90 && image.GetGreen(x, y) < 90)
                ++dark;
    return dark;
}

TEST(MarkupText, FontColoursInEverySpellingAndTheStackRestores)
{
    for (const char* tag : {"<font color=\"#FF0000\">", "<font color='FF0000'>", "<font color=#ff0000>"})
    {
        Canvas c;
        wxString text = wxString::FromUTF8(tag) + "MMMM</font>";
        wxRect rect(0, 0, 400, 200);
        DrawMarkupText(&c.dc, &text, -1, &rect, 0);
        EXPECT_EQ(c.dc.GetTextForeground(), *wxBLACK) << "the dc's colour is restored";
        c.dc.SelectObject(wxNullBitmap);
        EXPECT_GT(RedPixels(c.bitmap), 10) << tag;
    }
    // An unmatched end tag gives the stack's first entry: the colour the first push saved (black),
    // not the dc's own colour (blue here, so that the two cannot be taken for each other).
    Canvas c;
    c.dc.SetTextForeground(*wxBLUE);
    wxString text = "</font>MMMM";
    wxRect rect(0, 0, 400, 200);
    DrawMarkupText(&c.dc, &text, -1, &rect, 0);
    EXPECT_EQ(MarkupColourStackBase(), 0ul);
    c.dc.SelectObject(wxNullBitmap);
    EXPECT_GT(DarkPixels(c.bitmap), 10);
    EXPECT_EQ(BluePixels(c.bitmap), 0);
    EXPECT_EQ(RedPixels(c.bitmap), 0);
}

TEST(MarkupText, NullArgumentsDrawNothing)
{
    Canvas c;
    wxString text = "x";
    EXPECT_EQ(DrawMarkupText(nullptr, &text, -1, nullptr, 0), 0);
    EXPECT_EQ(DrawMarkupText(&c.dc, nullptr, -1, nullptr, 0), 0);
    // A count shorter than the text draws its start only.
    wxRect rect(0, 0, 400, 0);
    wxString two = "a<br>b";
    EXPECT_EQ(DrawMarkupText(&c.dc, &two, 1, &rect, MARKUP_CALCRECT), 0);
}

class TipTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "tips", wxPoint(50, 50), wxSize(300, 200));
        frame->Show();
        tip = std::make_unique<CXInfoTip>();
        ASSERT_TRUE(tip->Create(frame));
        ASSERT_TRUE(PumpUntilShown(frame));
    }
    void TearDown() override
    {
        tip->Destroy();
        tip.release();
        DestroyAndPump(frame);
    }
    wxFrame* frame = nullptr;
    std::unique_ptr<CXInfoTip> tip;
};

TEST_F(TipTest, RegionIsMeasuredFromTheRawText)
{
    wxFont font(wxFontInfo(12).Family(wxFONTFAMILY_SWISS));
    tip->SetFont(&font);
    wxMemoryDC dc;
    wxBitmap bitmap(10, 10);
    dc.SelectObject(bitmap);
    dc.SetFont(font);
    wxCoord w = 0, h1 = 0, h2 = 0;
    dc.GetTextExtent("x", &w, &h1);
    dc.GetMultiLineTextExtent("x\ny", &w, &h2);

    wxSize oneLine, twoLines, tagged;
    tip->SetTipText("x");
    tip->GetWindowRegion(dc, nullptr, &oneLine);
    tip->SetTipText("x\ny");
    wxRegion region;
    tip->GetWindowRegion(dc, &region, &twoLines);
    EXPECT_EQ(twoLines.y - oneLine.y, h2 - h1) << "a line feed makes the body one line higher";
    // The body is sized for the tags as text, although they draw nothing: exactly the shape of
    // the raw text's extent.
    tip->SetTipText("<b>x</b>");
    tip->GetWindowRegion(dc, nullptr, &tagged);
    EXPECT_GT(tagged.x, oneLine.x);
    wxCoord rawWidth = 0, rawHeight = 0;
    dc.GetMultiLineTextExtent("<b>x</b>", &rawWidth, &rawHeight);
    const TipShape raw = ComputeTipShape(rawWidth, rawHeight, 0, 0);
    EXPECT_EQ(tagged, wxSize(raw.windowWidth, raw.windowHeight));
    // The region holds the pointer's tip and not the corners.
    EXPECT_TRUE(region.Contains(twoLines.x - 13, twoLines.y - 12) == wxInRegion);
    EXPECT_TRUE(region.Contains(1, 0) == wxOutRegion);
    EXPECT_TRUE(region.Contains(3, twoLines.y - 2) == wxOutRegion) << "below the body, left of the pointer";
    // An icon widens the body by its width and 5.
    wxSize withIcon;
    tip->SetTipIcon(wxBitmap(16, 16), wxSize(16, 16));
    tip->SetTipText("x\ny");
    tip->GetWindowRegion(dc, nullptr, &withIcon);
    EXPECT_EQ(withIcon.x, twoLines.x + 21);
}

TEST_F(TipTest, PointerLandsOnThePointAndTheTipHidesWhenTheCursorMoves)
{
    const wxPoint target(400, 300);
    wxUIActionSimulator sim;
    sim.MouseMove(target);
    ASSERT_TRUE(PumpUntil([&] { return wxGetMousePosition() == target; }, 2000));

    tip->SetTipText("Size <b>12</b>\nModified today");
    tip->SetTipPosition(target);
    tip->StartShowTimer(20);
    EXPECT_EQ(tip->GetTimerId(), CXInfoTip::SHOW_TIMER);
    ASSERT_TRUE(PumpUntil([&] { return tip->IsShown(); }, 2000));
    EXPECT_EQ(tip->GetTimerId(), CXInfoTip::CHECK_TIMER);
    const wxRect placed = tip->GetScreenRect();
    EXPECT_EQ(placed.x + placed.width - 12, target.x);
    EXPECT_EQ(placed.y + placed.height - 10, target.y);

    // The cursor on the point keeps the tip.
    tip->OnCheckTimer();
    EXPECT_TRUE(tip->IsShown());
    // One pixel away: the check timer hides it within its 500 ms.
    sim.MouseMove(target + wxPoint(1, 0));
    ASSERT_TRUE(PumpUntil([&] { return !tip->IsShown(); }, 1500));
    EXPECT_EQ(tip->GetTimerId(), 0);
}

TEST_F(TipTest, CheckBoxRelaysItsMouseMovesToTheToolTip)
{
    ExplorerToolTipCtrl toolTip;
    auto* check = new CButtonWithTT();
    ASSERT_TRUE(check->Create(frame, wxID_ANY, "Search in subfolders", wxPoint(5, 5)));
    toolTip.AddTool(check, "Display content of folder and subfolders as flat list");
    wxMouseEvent move(wxEVT_MOTION);
    move.SetEventObject(check);
    check->GetEventHandler()->ProcessEvent(move);
    EXPECT_EQ(check->GetToolTip(), nullptr) << "nothing relays without a tool-tip control";
    check->SetToolTip(&toolTip);
    check->GetEventHandler()->ProcessEvent(move);
    ASSERT_NE(check->GetToolTip(), nullptr);
    EXPECT_EQ(check->GetToolTip()->GetTip(), "Display content of folder and subfolders as flat list");
}

} // namespace
