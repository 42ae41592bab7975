// The auto-complete popup under the grid's in-place editor: a borderless popup window that the
// owner feeds with entries and the typed text, places, shows and hides. It takes no focus.
#pragma once

#include <vector>

#include <wx/font.h>
#include <wx/popupwin.h>

#include "LSuggestionsBoxCallback.h"

class LSuggestionsBox : public wxPopupWindow
{
public:
    LSuggestionsBox() = default;

    // Creates the hidden popup over parent's top-level window; font: the owner font.
    bool Create(wxWindow* parent, const wxFont& font);

    void SetMaxRows(int rows) { m_maxRows = rows; }
    int GetMaxRows() const { return m_maxRows; }
    void SetMaxWidth(int width) { m_maxWidth = width; }
    void SetCallback(LSuggestionsBoxCallback* callback) { m_callback = callback; }
    const wxFont& GetOwnerFont() const { return m_ownerFont; }

    // The rows on show; empty until the owner feeds and refilters the popup.
    bool HasVisibleItems() const { return !m_visible.empty(); }
    bool SelectNext();
    bool SelectPrevious();
    bool CommitSelection();
    void ClearSelection();

protected:
    bool StepSelection(bool down);

    wxFont m_ownerFont;
    std::vector<SuggestionEntry> m_entries;
    std::vector<size_t> m_visible; // indices into m_entries
    int m_maxRows = 5;
    int m_maxWidth = -1;
    LSuggestionsBoxCallback* m_callback = nullptr;
};
