// The grid control's window: an owner-drawn, double-buffered wxWindow over a tree of boxes,
// with its own scroll model over a fixed 100000-unit vertical bar, mouse and keyboard
// selection, a hidden in-place editor and a suggestions popup.
//
// How an owner wires a grid:
//   1. Implement LGridViewManager (paint, scroll, selection and edit hooks) and
//      LGridViewNodeFactory; construct the grid with them, then Create() it as a child window
//      (id 312 in the viewer), passing the suggestions popup font.
//   2. SetFont(&spec, true, false) with the grid font as LGridFontSpec: this measures the row
//      height (text height + text height / 10).
//   3. Build a root box (kind BOX_KIND_ROOT, a box type of your own derived from LGridBox whose
//      Draw stacks its children) and its row boxes (kind BOX_KIND_ROW, 1-based rowNumber,
//      parent = root, pushed onto root->children), set root->totalRows to the estimated row
//      count, and give the root with SetRootBox (the grid owns it from then on).
//   4. SetVerticalUnitsPerRow(100000.0f / totalRows) whenever totalRows changes, and SetTopRow(0)
//      when filling the grid anew.
//   5. In OnTopBoxDrawn (called from your box's Draw for the box crossing the client's top edge)
//      write that box's rowNumber back with SetTopRow; in OnScroll make sure a box with the row
//      GetTopRow() exists; in OnBeforePaint trim or re-create boxes as you like.
//   6. Redraw() repaints; RecalcLayout() lays out again after changing boxes.
// The grid never deletes boxes it has handed to an undo step until the undo lists are cleared
// (SetRootBox, ClearUndoList/ClearRedoList, the destructor).
#pragma once

#include <optional>

#include <wx/font.h>
#include <wx/timer.h>
#include <wx/weakref.h>
#include <wx/window.h>

#include "LGridBoxPool.h"
#include "LGridViewBase.h"
#include "LGridViewManager.h"
#include "LSuggestionsBox.h"
#include "LSuggestionsBoxCallback.h"

class LGridEdit;
class wxDC;

// Window ids of the grid and its editor.
enum : int
{
    IDC_GRID_VIEW = 312,
    IDC_GRID_EDIT = 311,
};

// A wxFont from font data: a negative height is the character height in pixels; a positive one
// is the cell height, for which the largest font whose ascent + descent fits is taken.
wxFont GridMakeFont(const LGridFontSpec& spec);
// The height of a line of text in the font: measured on the window once it exists, else on a
// memory bitmap.
int GridTextHeight(const wxFont& font, wxWindow* window);

class LGridView : public wxWindow, public LGridViewBase, public LSuggestionsBoxCallback
{
public:
    static constexpr size_t POOL_SIZE = 2000;
    static constexpr int EDITOR_TEXT_LIMIT = 50000;
    static constexpr int POPUP_MAX_ROWS = 10;
    static constexpr int EXPAND_TIMER_ID = 1;
    static constexpr int EXPAND_DELAY_MS = 500;
    static constexpr unsigned long DROP_MARK_COLOUR = 0x80FF; // 0x00BBGGRR

    // Builds the box pool; the window comes with Create.
    LGridView(LGridViewNodeFactory* factory, LGridViewManager* manager);
    ~LGridView() override;

    // Creates the window, the hidden editor (id 311) and the hidden popup (10 rows, popupFont).
    bool Create(wxWindow* parent, wxWindowID id = IDC_GRID_VIEW, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, const LGridFontSpec* popupFont = nullptr);

    // ---- LGridViewBase
    void SetRootBox(LGridBox* root) override;
    LGridBox* AllocBox(int unused, bool bypassPool) override;
    bool ExtraQuery() override { return false; }
    void SetFont(const LGridFontSpec* font, bool measure, bool redraw) override;
    using wxWindow::SetFont;
    void RecalcLayout() override;
    // Repaints now (Refresh and Update).
    void Redraw() override;
    void EndEdit(bool redraw) override;

    int GetColumnWidth() override { return m_columnWidth; }
    void SetCompactRows(bool compact, bool apply);

    // Paints the grid as the paint handler does, into any DC of the given size.
    void PaintTo(wxDC& dc, const wxSize& size);

    // The context-menu step: hit-tests a screen point and hands it to the owner.
    void ShowContextMenuAt(const wxPoint& screenPoint);
    // Key routing for the grid and its editor; true when the key was consumed.
    bool PreTranslateKey(int wxKeyCode, bool ctrl, bool fromEditor);
    // Shows the suggestions popup under the editor when the owner allows it and it has entries.
    virtual void ShowSuggestions();

    // The colour of the selection frame (0x00BBGGRR), shared by every grid.
    static void SetSelectionFrameColour(unsigned long colorref);
    static unsigned long GetSelectionFrameColour();

    // ---- in-place editing (LGridViewEditing.cpp); the editor's handlers call these
    // The editor's text changed: relayout, keep the box in view, refilter the popup.
    void OnEditChange();
    // PgUp/PgDn inside an editor taller than the client area: moves the caret by a page.
    void OnEditorPageKey(int wxKeyCode);
    // Esc in the editor: closes it without storing and selects the edited box again.
    void OnEditorEscape();
    void ForwardEditorWheel(wxMouseEvent& event);
    // Lays the editor over the box as it shows on screen.
    void PlaceEditor(LGridBox* box);

    // ---- LSuggestionsBoxCallback
    void OnSuggestionSelected(SuggestionEntry entry) override;

    // The in-place editor, created hidden on first use (most grids are never edited, and each
    // text control costs GTK widgets to make and to tear down); null before Create or when it
    // cannot be made.
    LGridEdit* GetEditor();
    // The suggestions popup, made hidden with the editor or when first asked for (one popup per
    // grid floating over the top-level window would make that window's child list grow with
    // every grid).
    LSuggestionsBox* GetSuggestionsBox();
    LGridBoxPool& GetBoxPool() { return m_pool; }
    const wxFont& GetGridFont() const { return m_gridFont; }
    const wxFont& GetItalicFont() const { return m_italicFont; }
    const wxFont& GetSmallFont() const { return m_smallFont; }
    const wxFont& GetBoldFont() const { return m_boldFont; }

protected:
    void QueryClientSize(int& width, int& height) const override;
    void SyncScrollBars() override;
    void FocusGrid() override;
    void StartExpandTimer() override;
    void StopExpandTimer() override;
    void ScrollContents(int dx) override;
    void AfterHorizontalScroll() override;
    bool OpenEditor(LGridBox* box, int colour) override;
    void CancelEdit() override;

    void DrawBoxFrame(wxDC& dc, const LGridBoxFrame& frame, unsigned long colorref, int clientRight);
    // Every layout moves an open editor along with its box.
    void PlaceEditorAfterLayout();

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnScrollWin(wxScrollWinEvent& event);
    void OnMouseWheel(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnRightUp(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnChar(wxKeyEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnSetFocus(wxFocusEvent& event);
    void OnKillFocus(wxFocusEvent& event);
    void OnBoxPoolRefilled();

    static unsigned MouseFlags(const wxMouseEvent& event);

    LGridBoxPool m_pool;
    LGridEdit* m_editor = nullptr;      // child window, destroyed with the grid
    bool m_editorTried = false;         // GetEditor has tried to make it
    bool m_editorTakesGridFont = false; // the grid's font was set once the window existed
    // Floats over the top-level window, which may destroy it first.
    wxWeakRef<LSuggestionsBox> m_popup;
    bool m_popupTried = false;                    // GetSuggestionsBox has tried to make it
    std::optional<LGridFontSpec> m_popupFontSpec; // the font data Create was given for the popup
    wxFont m_popupFont;                           // else the grid's font when Create ran
    wxTimer m_expandTimer;
    wxFont m_gridFont;
    wxFont m_italicFont;
    wxFont m_smallFont;
    wxFont m_boldFont;
    bool m_inLayout = false;
    bool m_destroying = false;
};
