#include "LSuggestionsBox.h"

bool LSuggestionsBox::Create(wxWindow* parent, const wxFont& font)
{
    m_ownerFont = font;
    wxWindow* top = wxGetTopLevelParent(parent);
    if (!wxPopupWindow::Create(top ? top : parent, wxBORDER_NONE))
        return false;
    Hide();
    return true;
}

bool LSuggestionsBox::StepSelection(bool down)
{
    const size_t n = m_visible.size();
    for (size_t i = 0; i < n; ++i)
    {
        SuggestionEntry& entry = m_entries[m_visible[i]];
        if (!entry.selected)
            continue;
        entry.selected = false;
        const size_t next = down ? (i + 1) % n : (i + n - 1) % n;
        m_entries[m_visible[next]].selected = true;
        Refresh();
        return next != i;
    }
    return false;
}

bool LSuggestionsBox::SelectNext()
{
    if (StepSelection(true))
        return true;
    if (m_visible.empty())
        return false;
    ClearSelection();
    m_entries[m_visible.front()].selected = true;
    Refresh();
    return true;
}

bool LSuggestionsBox::SelectPrevious()
{
    return StepSelection(false);
}

bool LSuggestionsBox::CommitSelection()
{
    if (!m_callback)
        return false;
    for (size_t index : m_visible)
    {
        if (m_entries[index].selected)
        {
            m_callback->OnSuggestionSelected(m_entries[index]);
            return true;
        }
    }
    return false;
}

void LSuggestionsBox::ClearSelection()
{
    for (size_t index : m_visible)
        m_entries[index].selected = false;
}
