// In-place editing in the grid window (needs a display): opening the editor with the owner's
// consent, closing it with or without storing the text, the Enter insert, the editor's keys,
// its place over the box, the text limit and the suggestions popup under it.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/frame.h>

#include "GridTestSupport.h"
#include "LGridEdit.h"
#include "LGridView.h"
#include "LSuggestionsBox.h"

namespace {

using Range = std::pair<uint64_t, uint64_t>;

struct EditFixture : ::testing::Test
{
    TestManager manager;
    wxFrame* frame = nullptr;
    LGridView* grid = nullptr;
    LGridEdit* editor = nullptr;
    TestBox* root = nullptr;
    std::vector<TestAccessor*> accessors;

    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "edit", wxPoint(0, 0), wxSize(800, 600));
        grid = new LGridView(&manager, &manager);
        ASSERT_TRUE(grid->Create(frame, IDC_GRID_VIEW, wxPoint(0, 0), wxSize(600, 400)));
        manager.grid = grid;
        manager.canBeginEdit = true;
        editor = grid->GetEditor();
        ASSERT_NE(editor, nullptr);
        frame->Show();
    }
    void TearDown() override
    {
        grid->Destroy();
        delete frame;
        for (TestAccessor* accessor : accessors)
            delete accessor;
    }
    // Rows first..last (20 px each), each with a text accessor "body <row>".
    void Rows(uint64_t first, uint64_t last)
    {
        root = MakeRows(grid, first, last);
        for (LGridBox* child : root->children)
        {
            auto* accessor = new TestAccessor();
            accessor->body = u"body " + std::u16string(1, char16_t(u'0' + child->rowNumber % 10));
            accessor->attribute = 5;
            accessors.push_back(accessor);
            child->SetDataAccessor(accessor);
        }
        grid->SetVerticalUnitsPerRow(static_cast<float>(100000.0 / static_cast<double>(last)));
        grid->SetRootBox(root);
        grid->SetTopRow(1);
        manager.log.clear();
    }
    TestBox* Box(uint64_t row) { return static_cast<TestBox*>(ChildWithRow(root, row)); }
    TestAccessor* AccessorOf(LGridBox* box) { return static_cast<TestAccessor*>(box->accessor); }
    bool GridKey(int code, bool ctrl = false) { return Key(grid, code, ctrl); }
    bool EditorKey(int code, bool ctrl = false) { return Key(editor, code, ctrl); }
    bool Key(wxWindow* window, int code, bool ctrl)
    {
        wxKeyEvent event(wxEVT_KEY_DOWN);
        event.m_keyCode = code;
        event.SetControlDown(ctrl);
        event.SetEventObject(window);
        return window->GetEventHandler()->ProcessEvent(event);
    }
    void Click(int x, int y)
    {
        wxMouseEvent event(wxEVT_LEFT_UP);
        event.m_x = x;
        event.m_y = y;
        event.SetEventObject(grid);
        grid->GetEventHandler()->ProcessEvent(event);
    }
    // Selects row and opens the editor on it with Tab.
    void EditRow(uint64_t row)
    {
        grid->SelectBox(Box(row), false);
        GridKey(WXK_TAB);
        ASSERT_TRUE(grid->IsEditing());
        ASSERT_EQ(grid->GetEditBox(), Box(row));
        manager.log.clear();
    }
    std::vector<std::string> LogWithout(const std::string& prefix) const
    {
        std::vector<std::string> kept;
        for (const std::string& entry : manager.log)
        {
            if (entry.rfind(prefix, 0) != 0 && entry.rfind("OnSetFocus", 0) != 0)
                kept.push_back(entry);
        }
        return kept;
    }
};

} // namespace

TEST_F(EditFixture, TabOpensTheEditorOverTheBodyTextWithTheOwnersConsent)
{
    Rows(1, 10);
    manager.editAttribute = true;
    manager.editColour = 0x0000FF; // red as 0x00BBGGRR
    AccessorOf(Box(3))->body = u"one\ntwo\r\nthree\rfour";
    grid->SelectBox(Box(3), false);
    manager.log.clear();

    GridKey(WXK_TAB);
    EXPECT_EQ(LogWithout("OnBeforePaint"),
              (std::vector<std::string>{"CanBeginEdit 3 3", "OnBeginEdit 3 3", "GetEditAttribute 5",
                                        "OnSelectionChanged"}));
    ASSERT_TRUE(grid->IsEditing());
    EXPECT_EQ(grid->GetEditBox(), Box(3));
    EXPECT_TRUE(grid->IsSelectionEmpty());
    EXPECT_TRUE(editor->IsShown());
    EXPECT_EQ(editor->GetTextColourRef(), 0x0000FF);
    EXPECT_EQ(editor->GetForegroundColour(), wxColour(255, 0, 0));

    // Over the box as it shows: right of the column, its y, the editor height of the box.
    const wxRect rect = editor->GetRect();
    EXPECT_EQ(rect.x, grid->GetColumnWidth() + 2);
    EXPECT_EQ(rect.y, static_cast<int>(Box(3)->y - static_cast<int64_t>(grid->GetTopBoxOffset())));
    EXPECT_EQ(rect.width, grid->GetClientSize().x - grid->GetColumnWidth() - 2);
    EXPECT_EQ(rect.height, 40);

    // Every line break is one break of the control and CR LF as the box keeps it.
    EXPECT_EQ(editor->GetNumberOfLines(), 4);
    EXPECT_EQ(editor->GetEditorText(), u"one\r\ntwo\r\nthree\r\nfour");
    EXPECT_FALSE(editor->IsModified());
}

TEST_F(EditFixture, RefusalKeepsTheEditorClosed)
{
    Rows(1, 10);
    manager.canBeginEdit = false;
    grid->SelectBox(Box(3), false);
    manager.log.clear();

    GridKey(WXK_RETURN);
    EXPECT_EQ(LogWithout("OnBeforePaint"), (std::vector<std::string>{"CanBeginEdit 3 1"}));
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 3}})) << "Enter changes nothing visible";
    GridKey(WXK_TAB);
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{4, 4}})) << "Tab selects the next box";
    EXPECT_FALSE(editor->IsShown());
    EXPECT_FALSE(grid->IsEditing());

    grid->ClearSelection();
    GridKey(WXK_TAB);
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{1, 1}})) << "with nothing selected, the first box";

    // A cleared proceed refuses as well, with the colour asked all the same.
    manager.canBeginEdit = true;
    manager.clearProceed = true;
    manager.log.clear();
    EXPECT_FALSE(grid->BeginEdit(Box(5), HIT_PART_BODY));
    EXPECT_EQ(manager.log,
              (std::vector<std::string>{"CanBeginEdit 5 3", "OnBeginEdit 5 3", "GetEditAttribute 5"}));
    EXPECT_FALSE(editor->IsShown());
}

TEST_F(EditFixture, EnterWithoutAnOpenEditorOnlyClearsTheSelection)
{
    Rows(1, 10);
    grid->SelectBox(Box(2), false);
    manager.log.clear();
    GridKey(WXK_RETURN);
    EXPECT_EQ(manager.Count("CanBeginEdit 2 1"), 1);
    EXPECT_TRUE(grid->IsSelectionEmpty());
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_FALSE(editor->IsShown());
}

TEST_F(EditFixture, ClosingUnchangedStoresNothing)
{
    Rows(1, 10);
    EditRow(3);
    grid->EndEdit(true);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_FALSE(editor->IsShown());
    EXPECT_TRUE(grid->GetUndoStack().steps.empty());
    EXPECT_EQ(AccessorOf(Box(3))->body, u"body 3");
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 3}}));
    EXPECT_EQ(grid->GetCaretMode(), CARET_FRAME);
    EXPECT_EQ(LogWithout("OnBeforePaint"), (std::vector<std::string>{"OnSelectionChanged", "OnEndEdit 3 3"}));
    EXPECT_EQ(grid->GetEditBox(), nullptr);
}

TEST_F(EditFixture, AClickElsewhereStoresTheTextAsOneContentStep)
{
    Rows(1, 10);
    EditRow(3);
    // A step on the redo stack is emptied by the new step.
    grid->GetRedoStack().steps.push_back(new LGridViewUndoStepContent(grid, Box(1)));
    editor->SetValue("new\ntext");
    ASSERT_TRUE(editor->IsModified());

    Click(20, static_cast<int>(Box(6)->y - static_cast<int64_t>(grid->GetTopBoxOffset())) + 5);
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(AccessorOf(Box(3))->body, u"new\r\ntext");
    ASSERT_EQ(grid->GetUndoStack().steps.size(), 1u);
    auto* step = dynamic_cast<LGridViewUndoStepContent*>(grid->GetUndoStack().steps.front());
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->savedText, u"body 3");
    EXPECT_TRUE(grid->GetRedoStack().steps.empty());
    EXPECT_EQ(manager.Count("OnUndoStateChanged 01"), 1);
    EXPECT_EQ(manager.Count("OnEndEdit 3 3"), 1);
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{6, 6}})) << "the click selects the box clicked";

    step->Undo();
    EXPECT_EQ(AccessorOf(Box(3))->body, u"body 3");
}

TEST_F(EditFixture, EscapeInTheEditorCancelsWithoutStoring)
{
    Rows(1, 10);
    EditRow(4);
    editor->SetValue("typed");
    manager.log.clear();
    EXPECT_TRUE(EditorKey(WXK_ESCAPE));
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_FALSE(editor->IsShown());
    EXPECT_TRUE(editor->GetValue().empty());
    EXPECT_EQ(AccessorOf(Box(4))->body, u"body 4");
    EXPECT_TRUE(grid->GetUndoStack().steps.empty());
    EXPECT_EQ(manager.Count("OnEndEdit"), 0);
    EXPECT_EQ(manager.Count("OnSelectionChanged"), 1);
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{4, 4}}));
    EXPECT_EQ(grid->GetEditBox(), nullptr);

    // Not editing: Esc in the editor is swallowed and does nothing.
    manager.log.clear();
    EXPECT_TRUE(EditorKey(WXK_ESCAPE));
    EXPECT_EQ(LogWithout("OnBeforePaint"), std::vector<std::string>{});
}

TEST_F(EditFixture, EnterOnTheLastChildAppendsABoxAndEditsIt)
{
    Rows(1, 5);
    EditRow(5);
    editor->SetValue("changed");
    EXPECT_TRUE(EditorKey(WXK_RETURN));

    ASSERT_EQ(root->children.size(), 6u);
    LGridBox* added = root->children.back();
    EXPECT_NE(added, Box(5));
    EXPECT_EQ(AccessorOf(Box(5))->body, u"changed");
    // One content step for the text, one insertion step for the new box.
    ASSERT_EQ(grid->GetUndoStack().steps.size(), 2u);
    auto* insert = dynamic_cast<LGridViewUndoStepInsertDelete*>(grid->GetUndoStack().steps.back());
    ASSERT_NE(insert, nullptr);
    EXPECT_TRUE(insert->insert);
    EXPECT_EQ(insert->position, 5);
    EXPECT_EQ(manager.Count("CreateNode 2"), 1);
    EXPECT_EQ(manager.Count("OnEndEdit 5 3"), 1);
    ASSERT_TRUE(grid->IsEditing());
    EXPECT_EQ(grid->GetEditBox(), added);
    EXPECT_TRUE(editor->IsShown());
    EXPECT_TRUE(editor->GetValue().empty()) << "the new accessor has no text";
    ASSERT_NE(added->accessor, nullptr);
    EXPECT_EQ(added->accessor->GetAttributeCode(), 5u);
    EXPECT_TRUE(added->ownsAccessor);
    // The copy's accessor is the factory's object; the box releases it.
    accessors.push_back(static_cast<TestAccessor*>(added->accessor));

    // Ctrl+Enter writes a line break instead.
    EXPECT_TRUE(EditorKey(WXK_RETURN, true));
    EXPECT_EQ(editor->GetValue(), "\n");
    EXPECT_TRUE(editor->IsModified());
    EXPECT_EQ(root->children.size(), 6u);
}

TEST_F(EditFixture, TabInTheEditorStoresAndMovesOn)
{
    Rows(1, 10);
    EditRow(2);
    editor->SetValue("x");
    EXPECT_TRUE(EditorKey(WXK_TAB));
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_EQ(AccessorOf(Box(2))->body, u"x");
    EXPECT_EQ(Ranges(*grid), (std::vector<Range>{{3, 3}}));
    for (int code : {WXK_TAB, WXK_RETURN, WXK_ESCAPE})
    {
        wxKeyEvent ch(wxEVT_CHAR);
        ch.m_keyCode = code;
        ch.SetEventObject(editor);
        EXPECT_TRUE(editor->GetEventHandler()->ProcessEvent(ch)) << code;
    }
}

TEST_F(EditFixture, FocusMovingToTheEditorKeepsTheEditAndElsewhereEndsIt)
{
    Rows(1, 5);
    EditRow(3);
    struct Move
    {
        wxWindow* to;
        bool stillEditing;
    } moves[] = {{editor, true}, {grid->GetSuggestionsBox(), true}, {frame, false}};
    for (const Move& move : moves)
    {
        SCOPED_TRACE(move.to == editor ? "editor" : move.to == frame ? "frame" : "popup");
        wxFocusEvent kill(wxEVT_KILL_FOCUS, grid->GetId());
        kill.SetWindow(move.to);
        kill.SetEventObject(grid);
        grid->GetEventHandler()->ProcessEvent(kill);
        EXPECT_EQ(grid->IsEditing(), move.stillEditing);
    }
    EXPECT_EQ(manager.Count("OnEndEdit"), 1);
}

TEST_F(EditFixture, TheEditorFollowsItsBoxAfterEveryLayout)
{
    Rows(1, 40);
    EditRow(6);
    const int before = editor->GetPosition().y;
    // One line down: the top row moves by one box.
    wxScrollWinEvent line(wxEVT_SCROLLWIN_LINEDOWN, 0, wxVERTICAL);
    line.SetEventObject(grid);
    grid->GetEventHandler()->ProcessEvent(line);
    ASSERT_EQ(grid->GetTopRow(), 2u);
    EXPECT_EQ(editor->GetPosition().y, before - 20);
    EXPECT_EQ(editor->GetPosition().y,
              static_cast<int>(Box(6)->y - static_cast<int64_t>(grid->GetTopBoxOffset())));

    // A wheel turn over the editor scrolls the grid.
    wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
    wheel.m_wheelRotation = -120;
    wheel.m_wheelDelta = 120;
    wheel.m_linesPerAction = 3;
    wheel.SetEventObject(editor);
    manager.log.clear();
    editor->GetEventHandler()->ProcessEvent(wheel);
    EXPECT_GE(manager.Count("OnScroll"), 1);
    EXPECT_EQ(editor->GetPosition().y,
              static_cast<int>(Box(6)->y - static_cast<int64_t>(grid->GetTopBoxOffset())));
}

TEST_F(EditFixture, TheEditorMovesWithContentsScrolledSideways)
{
    Rows(1, 10);
    Box(3)->width = 900; // wider than the client: room to scroll
    grid->RecalcLayout();
    EditRow(3);
    // Every kind of horizontal step, the thumb's included (its codes move the bar without a
    // line or page move): the editor stays over its box.
    struct Step
    {
        wxEventType type;
        int position;
        uint64_t offset;
    } steps[] = {
        {wxEVT_SCROLLWIN_LINEDOWN, 0, 10},      {wxEVT_SCROLLWIN_THUMBTRACK, 80, 80},
        {wxEVT_SCROLLWIN_THUMBRELEASE, 50, 50}, {wxEVT_SCROLLWIN_LINEUP, 0, 40},
        {wxEVT_SCROLLWIN_THUMBTRACK, 0, 0},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.position);
        wxScrollWinEvent event(step.type, step.position, wxHORIZONTAL);
        event.SetEventObject(grid);
        grid->GetEventHandler()->ProcessEvent(event);
        ASSERT_EQ(grid->GetHorizontalOffset(), step.offset);
        const int expected = grid->GetColumnWidth() + 2 - static_cast<int>(grid->GetHorizontalOffset());
        EXPECT_EQ(editor->GetPosition().x, expected);
        grid->RecalcLayout();
        EXPECT_EQ(editor->GetPosition().x, expected);
    }
}

TEST_F(EditFixture, ThePopupTakesItsFontsFromTheGivenFontData)
{
    auto* other = new LGridView(&manager, &manager);
    LGridFontSpec popupFont;
    popupFont.face = "DejaVu Sans";
    popupFont.height = -14;
    popupFont.weight = 500;
    ASSERT_TRUE(other->Create(frame, wxID_ANY, wxPoint(0, 0), wxSize(300, 200), &popupFont));
    ASSERT_NE(other->GetSuggestionsBox(), nullptr);
    EXPECT_EQ(other->GetSuggestionsBox()->GetMaxRows(), 10);
    EXPECT_EQ(other->GetSuggestionsBox()->GetRegularFont().GetPixelSize().y, 12);
    EXPECT_EQ(other->GetSuggestionsBox()->GetBoldFont().GetNumericWeight(), 600);
    other->Destroy();
}

TEST_F(EditFixture, TypingKeepsTheBoxInViewAndTheTextWithinTheLimit)
{
    Rows(1, 40);
    EditRow(12);
    editor->WriteText("abc");
    EXPECT_EQ(grid->GetTopRow(), 12u) << "each change scrolls the edited box to the top";
    EXPECT_TRUE(editor->IsModified());

    // Short lines: GTK lays out one very long line slowly.
    wxString lines;
    for (int i = 0; i < (LGridView::EDITOR_TEXT_LIMIT + 100) / 100; ++i)
        lines += wxString(99, 'x') + "\n";
    editor->WriteText(lines);
    wxTheApp->ProcessPendingEvents(); // the cut waits until GTK has finished inserting
    // The limit counts each line break as CR LF, as the box keeps the text.
    EXPECT_EQ(editor->GetEditorText().size(), static_cast<size_t>(LGridView::EDITOR_TEXT_LIMIT));
    EXPECT_LT(editor->GetLastPosition(), LGridView::EDITOR_TEXT_LIMIT);
    EXPECT_TRUE(editor->IsModified());
    grid->EndEdit(false);
    EXPECT_EQ(AccessorOf(Box(12))->body.size(), static_cast<size_t>(LGridView::EDITOR_TEXT_LIMIT));
}

TEST_F(EditFixture, PageKeysMoveTheCaretOnlyInATallEditor)
{
    Rows(1, 10);
    std::u16string lines;
    for (int i = 0; i < 100; ++i)
        lines += u"line\n";
    lines += u"end";
    AccessorOf(Box(2))->body = lines;

    // Short editor: the control scrolls by itself; the caret stays.
    EditRow(2);
    editor->SetInsertionPoint(0);
    EditorKey(WXK_PAGEDOWN);
    EXPECT_EQ(editor->GetInsertionPoint(), 0);
    grid->EndEdit(false);

    // 1010 px over 101 lines: 10 px a line, a page is the client height over that.
    Box(3)->editorHeight = 1010;
    const long page = grid->GetClientSize().y / 10;
    ASSERT_GT(page, 10);
    AccessorOf(Box(3))->body = lines;
    EditRow(3);
    ASSERT_EQ(editor->GetSize().y, 1010);
    editor->SetInsertionPoint(0);
    long x = 0;
    long y = 0;
    EditorKey(WXK_PAGEDOWN);
    ASSERT_TRUE(editor->PositionToXY(editor->GetInsertionPoint(), &x, &y));
    EXPECT_EQ(y, page);
    for (int i = 0; i < 4; ++i)
        EditorKey(WXK_PAGEDOWN);
    ASSERT_TRUE(editor->PositionToXY(editor->GetInsertionPoint(), &x, &y));
    EXPECT_EQ(y, 100) << "at most the last line";
    EditorKey(WXK_PAGEUP);
    ASSERT_TRUE(editor->PositionToXY(editor->GetInsertionPoint(), &x, &y));
    EXPECT_EQ(y, 100 - page);
    for (int i = 0; i < 4; ++i)
        EditorKey(WXK_PAGEUP);
    ASSERT_TRUE(editor->PositionToXY(editor->GetInsertionPoint(), &x, &y));
    EXPECT_EQ(y, 0);
}

TEST_F(EditFixture, SuggestionsShowUnderTheEditorAndFillIt)
{
    Rows(1, 10);
    manager.allowSuggestions = true;
    LSuggestionsBox* popup = grid->GetSuggestionsBox();
    ASSERT_NE(popup, nullptr);
    popup->AddSuggestion(u"alpha", true, -1);
    popup->AddSuggestion(u"beta", true, -1);
    EditRow(3);

    // Any key but Enter shows the popup below the editor.
    EditorKey('q');
    ASSERT_TRUE(popup->IsShown());
    const wxRect editorRect = editor->GetScreenRect();
    EXPECT_EQ(popup->GetScreenPosition(), wxPoint(editorRect.x, editorRect.y + editorRect.height + 2));
    EXPECT_LE(popup->GetSize().x, editorRect.width);
    EXPECT_EQ(popup->GetSize().y, 2 * popup->GetRowHeight() + 6);

    // Esc hides only the popup.
    EXPECT_TRUE(EditorKey(WXK_ESCAPE));
    EXPECT_FALSE(popup->IsShown());
    EXPECT_TRUE(grid->IsEditing());

    // Down, Down selects the second row; Enter commits it and then acts in the editor.
    EditorKey('q');
    EXPECT_TRUE(EditorKey(WXK_DOWN));
    EXPECT_TRUE(EditorKey(WXK_DOWN));
    EditorKey(WXK_RETURN);
    EXPECT_FALSE(popup->IsShown());
    EXPECT_EQ(AccessorOf(Box(3))->body, u"beta");
    EXPECT_EQ(root->children.size(), 11u) << "Enter went on to insert a box";
    accessors.push_back(static_cast<TestAccessor*>(grid->GetEditBox()->accessor));
}

TEST_F(EditFixture, SuggestionsNeedTheOwnersConsent)
{
    Rows(1, 10);
    LSuggestionsBox* popup = grid->GetSuggestionsBox();
    popup->AddSuggestion(u"alpha", true, -1);
    EditRow(3);
    EditorKey('q');
    EXPECT_FALSE(popup->IsShown());
    EXPECT_GE(manager.Count("AllowSuggestions"), 1);

    // A chosen entry replaces the editor's text, marked changed and all selected.
    grid->OnSuggestionSelected(SuggestionEntry{u"two\r\nlines", false, false, -1});
    EXPECT_EQ(editor->GetValue(), "two\nlines");
    EXPECT_TRUE(editor->IsModified());
    long from = 0;
    long to = 0;
    editor->GetSelection(&from, &to);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, editor->GetLastPosition());
}

TEST_F(EditFixture, TypingRefiltersTheShownPopup)
{
    Rows(1, 10);
    manager.allowSuggestions = true;
    LSuggestionsBox* popup = grid->GetSuggestionsBox();
    for (const char16_t* text : {u"red", u"green", u"blue"})
        popup->AddSuggestion(text, true, -1);
    EditRow(3);
    editor->ChangeValue("");
    EditorKey('e');
    ASSERT_TRUE(popup->IsShown());
    editor->WriteText("bl");
    EXPECT_TRUE(popup->IsShown());
    EXPECT_EQ(popup->GetModel().GetFilterText(), u"bl");
    EXPECT_EQ(popup->GetModel().GetVisibleTexts(), (std::vector<std::u16string>{u"blue", u"red", u"green"}));
}
