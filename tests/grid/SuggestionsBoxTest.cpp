// The suggestions popup as a window (needs a display): fonts and row height, sizing, the size
// and rows on screen at every showing, clicks, committing the keyboard selection, and the painted
// row and frame colours.
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>

#include "GuiTestPump.h"
#include "LGridView.h"
#include "LSuggestionsBox.h"
#include "ScreenTestSupport.h"

namespace {

struct RecordingCallback : LSuggestionsBoxCallback
{
    void OnSuggestionSelected(SuggestionEntry entry) override { chosen.push_back(entry.text); }
    std::vector<std::u16string> chosen;
};

class SuggestionsBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "popup test", wxPoint(0, 0), wxSize(400, 300));
        frame->Show();
        font.face = "DejaVu Sans";
        font.height = -12;
        font.weight = 400;
    }
    void TearDown() override
    {
        if (box)
            box->Destroy();
        frame->Destroy();
        wxTheApp->ProcessIdle();
    }

    LSuggestionsBox* Make(const wxSize& size = wxSize(0, 0))
    {
        box = new LSuggestionsBox();
        EXPECT_TRUE(box->Create(frame, &font, size));
        return box;
    }

    wxColour PixelAfterPaint(const wxSize& size, int x, int y)
    {
        wxBitmap bitmap(size);
        wxMemoryDC dc(bitmap);
        box->PaintTo(dc, size);
        dc.SelectObject(wxNullBitmap);
        const wxImage image = bitmap.ConvertToImage();
        return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
    }

    wxFrame* frame = nullptr;
    LSuggestionsBox* box = nullptr;
    LGridFontSpec font;
};

} // namespace

TEST_F(SuggestionsBoxTest, CreatedHiddenWithDerivedFontsAndRowHeight)
{
    Make(wxSize(120, 10));
    EXPECT_FALSE(box->IsShown());
    EXPECT_EQ(box->GetMinimumWidth(), 120);
    EXPECT_EQ(box->GetMaxRows(), 5);
    EXPECT_EQ(box->GetRegularFont().GetNumericWeight(), 500);
    EXPECT_EQ(box->GetBoldFont().GetNumericWeight(), 600);
    EXPECT_EQ(box->GetRegularFont().GetPixelSize().y, 10); // height -12 + 2
    EXPECT_GT(box->GetTextHeight(), 0);
    EXPECT_EQ(box->GetRowHeight(), box->GetTextHeight() + 8);
}

TEST_F(SuggestionsBoxTest, ShowSizedFitsTheRowsWithinTheMaximumWidth)
{
    Make();
    box->AddSuggestion(u"one", true, -1);
    box->AddSuggestion(u"a much longer suggestion text", true, -1);
    box->Refilter();
    wxMemoryDC measure;
    wxBitmap one(1, 1);
    measure.SelectObject(one);
    const int widest = box->GetItemWidth(measure, box->GetModel().GetVisible(1));

    box->ShowSized();
    EXPECT_TRUE(box->IsShown());
    EXPECT_EQ(box->GetSize().x, widest + 8);
    EXPECT_EQ(box->GetSize().y, 2 * box->GetRowHeight() + 6);

    box->SetMaxWidth(60);
    box->ShowSized();
    EXPECT_EQ(box->GetSize().x, 60);
}

TEST_F(SuggestionsBoxTest, EveryShowingHasItsOwnSizeOnScreenAndDrawsItsLastRow)
{
    Make();
    box->Move(40, 40);
    for (int i = 0; i < 8; ++i) // each longer than the one before
        box->AddSuggestion(u"suggestion " + std::u16string(static_cast<size_t>(4 * i + 1), u'x'), true, -1);
    const int rh = box->GetRowHeight();
    // One showing after the other, hidden in between: one short row, then more and longer rows,
    // then fewer rows after the owner gave the box their size while it was hidden.
    struct Showing
    {
        int rows;
        bool sizedWhileHidden;
    };
    const Showing showings[] = {{1, false}, {8, false}, {3, true}, {5, false}};
    for (const Showing& showing : showings)
    {
        SCOPED_TRACE(showing.rows);
        box->Hide();
        PumpUntilIdle();
        box->SetMaxRows(showing.rows);
        box->Refilter();
        ASSERT_EQ(box->GetModel().GetVisibleCount(), static_cast<size_t>(showing.rows));
        if (showing.sizedWhileHidden)
            box->SetSize(wxSize(box->GetSize().x, showing.rows * rh + 6));
        box->ClearSelection();
        for (int i = 0; i < showing.rows; ++i)
            box->SelectNext(); // the last row is selected
        box->ShowSized();
        // Shown, at its size on screen, and painted.
        const auto lastRowOf = [&](const wxRect& rect) {
            return wxPoint(rect.x + rect.width - 10, rect.y + 2 + (showing.rows - 1) * rh + rh / 2);
        };
        PumpUntil([&] {
            wxRect rect;
            return box->IsShownOnScreen() && OnScreenRect(box, rect) && rect.GetSize() == box->GetSize() &&
                   ScreenPixel(lastRowOf(rect)).GetRGB() ==
                       wxColour(LSuggestionsBox::SELECTED_COLOUR).GetRGB();
        });
        PumpUntilIdle();
        ASSERT_TRUE(box->IsShown());
        EXPECT_EQ(box->GetSize().y, showing.rows * rh + 6);
        wxRect shown;
        ASSERT_TRUE(OnScreenRect(box, shown));
        EXPECT_EQ(shown.GetSize(), box->GetSize()) << "the X window keeps the size of an earlier showing";
        // The selected last row is drawn where it belongs on the screen.
        EXPECT_EQ(ScreenPixel(lastRowOf(shown)).GetRGB(),
                  wxColour(LSuggestionsBox::SELECTED_COLOUR).GetRGB());
    }
}

TEST_F(SuggestionsBoxTest, ClicksHideAndReportTheRowUnderTheMouse)
{
    Make();
    RecordingCallback callback;
    box->SetCallback(&callback);
    for (const char16_t* text : {u"first", u"second"})
        box->AddSuggestion(text, true, -1);
    box->Refilter();
    box->ShowSized();

    box->HandleClick(2);
    EXPECT_FALSE(box->IsShown());
    box->Show();
    box->HandleClick(2 + box->GetRowHeight());
    box->Show();
    box->HandleClick(2 + 5 * box->GetRowHeight()); // below the last row: hides, reports nothing
    EXPECT_FALSE(box->IsShown());
    EXPECT_EQ(callback.chosen, (std::vector<std::u16string>{u"first", u"second"}));

    // Without a callback a click only hides.
    box->SetCallback(nullptr);
    box->Show();
    box->HandleClick(2);
    EXPECT_FALSE(box->IsShown());
    EXPECT_EQ(callback.chosen.size(), 2u);
}

TEST_F(SuggestionsBoxTest, CommitNeedsACallbackAndASelectedRow)
{
    Make();
    RecordingCallback callback;
    box->AddSuggestion(u"alpha", true, -1);
    box->AddSuggestion(u"beta", true, -1);
    box->Refilter();
    box->SelectNext();
    EXPECT_FALSE(box->CommitSelection()); // no callback
    box->SetCallback(&callback);
    box->ClearSelection();
    EXPECT_FALSE(box->CommitSelection()); // nothing selected
    box->SelectNext();
    box->SelectNext();
    EXPECT_TRUE(box->CommitSelection());
    EXPECT_EQ(callback.chosen, (std::vector<std::u16string>{u"beta"}));
}

TEST_F(SuggestionsBoxTest, PaintsTheFrameAndTheSelectedAndHotRows)
{
    Make();
    for (const char16_t* text : {u"aa", u"bb", u"cc"})
        box->AddSuggestion(text, true, -1);
    box->Refilter();
    box->SelectNext();                             // row 0 selected
    box->HandleMouseMove(2 + box->GetRowHeight()); // row 1 hot
    const int rh = box->GetRowHeight();
    const wxSize size(200, 3 * rh + 6);

    EXPECT_EQ(PixelAfterPaint(size, 150, 2 + rh / 2), wxColour(210, 210, 210));
    EXPECT_EQ(PixelAfterPaint(size, 150, 2 + rh + rh / 2), wxColour(230, 240, 250));
    EXPECT_EQ(PixelAfterPaint(size, 150, 2 + 2 * rh + rh / 2), *wxWHITE);
    EXPECT_EQ(PixelAfterPaint(size, 100, 0), wxColour(180, 180, 180));

    box->HandleMouseLeave();
    EXPECT_EQ(PixelAfterPaint(size, 150, 2 + rh + rh / 2), *wxWHITE);
}

TEST_F(SuggestionsBoxTest, FolderVariantOrdersByNormalisedMatch)
{
    auto* folders = new LSuggestionsBoxFolderPaths();
    box = folders;
    ASSERT_TRUE(folders->Create(frame, &font));
    folders->AddPathSuggestion(u"/tmp/Other", true);
    folders->AddPathSuggestion(u"/Home/R&D/", true);
    folders->SetFilterText(u"r&d");
    folders->Refilter();
    EXPECT_EQ(folders->GetModel().GetVisibleTexts(),
              (std::vector<std::u16string>{u"/Home/R&D", u"/tmp/Other"}));
    EXPECT_EQ(folders->GetMatchPosition(u"/Home/R&D"), 6);
}

TEST_F(SuggestionsBoxTest, PaintingANarrowRowLeavesTheEntryWhole)
{
    Make();
    const std::u16string text = u"R&D / Research & Development / a long folder name";
    box->AddSuggestion(text, true, -1);
    box->SetFilterText(u"Research");
    box->Refilter();
    box->SelectNext();
    PixelAfterPaint(wxSize(60, box->GetRowHeight() + 6), 30, 5);
    box->SetFilterText(u"absent");
    PixelAfterPaint(wxSize(60, box->GetRowHeight() + 6), 30, 5);
    EXPECT_EQ(box->GetModel().GetEntry(0).text, text);
    EXPECT_EQ(box->GetModel().GetVisible(0).text, text);
}
