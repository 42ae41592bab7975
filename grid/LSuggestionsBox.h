// An owner-fed auto-complete popup: a borderless popup window with a rounded frame that lists
// text entries, puts the entries containing the typed text first, marks the matching part in
// bold, follows the mouse and reports the entry the user picks to an LSuggestionsBoxCallback.
// It reads no keys and never decides when to appear: its owner feeds it entries and the typed
// text, places it (screen coordinates), shows it, routes Up, Down, Enter, Tab and Esc to it,
// and hides it. It takes no focus.
//
// LSuggestionsBoxFolderPaths is the variant for folder paths: it matches on trimmed,
// lower-case paths and fills up to 11 rows.
//
// The entries, filter, selection and sizing rules live in LSuggestionsModel (no window).
//
// How an owner uses one (the grid does this under its editor, the explorer under its path box):
//   1. new LSuggestionsBox (or LSuggestionsBoxFolderPaths); Create(field, &ownerFontData);
//      SetMaxRows(n); AddIcon(bitmap) for entries with an image index.
//   2. Feed it: AddSuggestion / AddPathSuggestion. Each add empties the rows on show.
//   3. As the user types: Hide(); SetFilterText(typed); Refilter(); when HasVisibleItems():
//      SetCallback(this); ClearSelection(); SetSize(screen rect under the field);
//      SetMaxWidth(field width); ShowSized().
//   4. Route the field's keys while it shows: Down SelectNext, Up SelectPrevious, Enter/Tab
//      CommitSelection, Esc Hide. A click on a row hides it and reports the row by itself.
#pragma once

#include <memory>
#include <vector>

#include <wx/bitmap.h>
#include <wx/font.h>
#include <wx/popupwin.h>

#include "LGridFontSpec.h"
#include "LSuggestionsBoxCallback.h"
#include "LSuggestionsModel.h"

class wxDC;

class LSuggestionsBox : public wxPopupWindow
{
public:
    static constexpr unsigned long FRAME_COLOUR = 0xB4B4B4; // 0x00BBGGRR
    static constexpr unsigned long SELECTED_COLOUR = 0xD2D2D2;
    static constexpr unsigned long HOT_COLOUR = 0xFAF0E6;
    static constexpr unsigned long PLAIN_BACK_COLOUR = 0xFAFAFA;
    static constexpr unsigned long TEXT_COLOUR = 0x141414;
    static constexpr unsigned long MATCH_COLOUR = 0x142814;
    static constexpr unsigned long REST_COLOUR = 0x8C8C8C;
    static constexpr unsigned long REST_SELECTED_COLOUR = 0xFFFFFF;

    LSuggestionsBox();
    ~LSuggestionsBox() override;

    // Creates the hidden popup over parent's top-level window. The owner font (null: the
    // parent's font) gives the row font (weight 500, height + 2), the match font (weight 600,
    // height + 2) and the row height (its text height + 8). The width given here is the
    // popup's minimum width.
    bool Create(wxWindow* parent, const LGridFontSpec* ownerFont, const wxSize& size = wxSize(0, 0));
    // The same with the owner font as a wxFont (its pixel height is taken as character height).
    bool Create(wxWindow* parent, const wxFont& ownerFont);

    // ---- feeding and configuring

    bool AddSuggestion(const std::u16string& text, bool unique, int image);
    bool AddPathSuggestion(const std::u16string& path, bool unique);
    // Stores the typed text and repaints.
    virtual void SetFilterText(const std::u16string& text);
    // Rebuilds the rows on show.
    virtual void Refilter();
    virtual int GetMatchPosition(const std::u16string& text) const;
    void SetMaxRows(int rows) { m_model->SetMaxRows(rows); }
    int GetMaxRows() const { return m_model->GetMaxRows(); }
    void SetMaxWidth(int width) { m_maxWidth = width; }
    int GetMaxWidth() const { return m_maxWidth; }
    void SetCallback(LSuggestionsBoxCallback* callback) { m_callback = callback; }
    // Icons for the entries' image indices; the popup does not own what they show.
    void AddIcon(const wxBitmap& icon);
    bool HasVisibleItems() const { return m_model->HasVisibleItems(); }
    // Sizes the popup to its rows (keeping its position) and shows it.
    void ShowSized();
    // Clears the selection flag of every row; no repaint.
    void ClearSelection() { m_model->ClearSelection(); }

    // ---- keyboard, routed by the owner

    bool SelectNext();
    bool SelectPrevious();
    // Hands a copy of the selected row's entry to the callback; false without a callback or a
    // selected row.
    bool CommitSelection();

    // ---- mouse (client y), as the window's handlers call them

    void HandleMouseMove(int y);
    void HandleMouseLeave();
    // Hides the popup, then reports the row at y (nothing below the last row).
    void HandleClick(int y);

    // ---- painting

    // Paints the popup as its paint handler does, into any DC of the given size.
    void PaintTo(wxDC& dc, const wxSize& size);
    // The client rectangle, its left edge 16 pixels further right when there are icons.
    virtual wxRect GetListRect(const wxSize& size) const;
    virtual void PaintList(wxDC& dc, const wxRect& rect);
    virtual void PaintItem(wxDC& dc, const SuggestionEntry& entry, const wxRect& rect);
    // The entry's width in the match font, plus room for the icon (22) or a margin (4).
    virtual int GetItemWidth(wxDC& dc, const SuggestionEntry& entry);

    LSuggestionsModel& GetModel() { return *m_model; }
    const LSuggestionsModel& GetModel() const { return *m_model; }
    int GetRowHeight() const { return m_rowHeight; }
    int GetTextHeight() const { return m_textHeight; }
    int GetMinimumWidth() const { return m_minimumWidth; }
    const wxFont& GetRegularFont() const { return m_regularFont; }
    const wxFont& GetBoldFont() const { return m_boldFont; }

protected:
    // For variants with a model of their own.
    explicit LSuggestionsBox(std::unique_ptr<LSuggestionsModel> model);

private:
    bool CreateWindow(wxWindow* parent, const wxSize& size);
    void OnPaint(wxPaintEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    // Draws a run of text from x, ellipsized (on a copy) to what is left of the rectangle;
    // returns the x after it.
    int DrawRun(wxDC& dc, const std::u16string& text, int x, int y, int right);

    std::unique_ptr<LSuggestionsModel> m_model;
    std::vector<wxBitmap> m_icons;
    bool m_hasOwnerFont = false;
    wxFont m_ownerFont;
    wxFont m_regularFont;
    wxFont m_boldFont;
    int m_textHeight = 0;
    int m_rowHeight = 8;
    int m_minimumWidth = 0;
    int m_maxWidth = -1;
    bool m_tracking = false;
    LSuggestionsBoxCallback* m_callback = nullptr;
};

class LSuggestionsBoxFolderPaths : public LSuggestionsBox
{
public:
    LSuggestionsBoxFolderPaths();
};
