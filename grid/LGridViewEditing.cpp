// In-place editing of the grid window: opening the editor over a box, closing it with or
// without storing the text, the editor's page keys, the text handler and the suggestions popup
// under the editor.
#include <algorithm>

#include <wx/toplevel.h>

#include "GridWxText.h"
#include "LGridEdit.h"
#include "LGridEditText.h"
#include "LGridView.h"
#include "LSuggestionsBox.h"

namespace {

int ClampToInt(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, -1000000, 1000000));
}

} // namespace

bool LGridView::OpenEditor(LGridBox* box, int colour)
{
    if (!box || !GetEditor())
        return false;
    m_editor->SetTextColourRef(colour);
    m_editor->SetForegroundColour(wxColour(static_cast<unsigned long>(colour)));
    m_editor->SetBackgroundColour(*wxWHITE);
    PlaceEditor(box);
    m_editor->Show();
    // The focus moves before the editing flag is set: the grid's focus loss finds nothing to close.
    m_editor->SetFocus();
    std::u16string text;
    if (LGridBoxDataAccessorInterface* accessor = box->GetDataAccessor())
        accessor->GetBodyText(text);
    m_editor->SetEditorText(text);
    m_editing = true;
    m_editBox = box;
    m_editPart = HIT_PART_BODY;
    if (m_manager)
        m_manager->OnSelectionChanged();
    return true;
}

void LGridView::PlaceEditor(LGridBox* box)
{
    if (!m_editor || !box)
        return;
    int clientWidth = 0;
    int clientHeight = 0;
    GetClientSize(&clientWidth, &clientHeight);
    // The box's position on screen: its layout y less the layout y of the box at the top.
    const int64_t y = box->y - static_cast<int64_t>(GetTopBoxOffset());
    // Right of the column, moved with the contents when they are scrolled sideways.
    const int x =
        ClampToInt(static_cast<int64_t>(m_columnWidth) + 2 - static_cast<int64_t>(GetHorizontalOffset()));
    m_editor->SetSize(x, ClampToInt(y), std::max(0, clientWidth - m_columnWidth - 2),
                      std::max(0, box->editorHeight));
}

void LGridView::PlaceEditorAfterLayout()
{
    if (m_editing && m_editBox && m_editor && m_editor->IsShown())
        PlaceEditor(m_editBox);
}

void LGridView::EndEdit(bool redraw)
{
    if (!m_editing)
        return;
    const int part = m_editPart;
    m_editing = false;
    m_editPart = 0;
    if (m_popup && m_popup->IsShown())
        m_popup->Hide();
    LGridBox* box = m_editBox;
    if (m_editor && m_editor->IsShown())
    {
        if (box && m_editor->IsModified() && box->GetDataAccessor())
        {
            const std::u16string text = m_editor->GetEditorText();
            RecordContentUndo(box, text, part);
            if (part == HIT_PART_ROW && m_popup)
                m_popup->AddSuggestion(text, true, -1);
        }
        m_editor->Hide();
        m_editor->ChangeValue(wxString());
        if (box)
            SelectSingle(box);
        RecalcLayout();
        if (redraw)
            Redraw();
        SetFocus();
        if (m_manager)
            m_manager->OnEndEdit(box, part);
    }
    m_editBox = nullptr;
}

void LGridView::CancelEdit()
{
    if (m_popup && m_popup->IsShown())
        m_popup->Hide();
    if (m_editor && m_editor->IsShown())
    {
        m_editor->Hide();
        m_editor->ChangeValue(wxString());
    }
    m_editing = false;
    m_editPart = 0;
    m_editBox = nullptr;
}

void LGridView::OnEditorEscape()
{
    if (!m_editing)
        return;
    LGridBox* box = m_editBox;
    CancelEdit();
    // Nothing is stored and the owner hears no OnEndEdit; the box edited is selected again.
    if (box)
        SelectSingle(box);
    RecalcLayout();
    Redraw();
    SetFocus();
}

void LGridView::OnEditorPageKey(int wxKeyCode)
{
    if (!m_editing || !m_editBox || !m_editor)
        return;
    int clientWidth = 0;
    int clientHeight = 0;
    GetClientSize(&clientWidth, &clientHeight);
    const int editorHeight = m_editor->GetSize().y;
    if (editorHeight <= clientHeight)
        return; // the control scrolls by itself
    const int lineCount = m_editor->GetNumberOfLines();
    if (lineCount <= 0)
        return;
    const int lineHeight = editorHeight / lineCount;
    if (lineHeight <= 0)
        return;
    const int page = clientHeight / lineHeight;
    long from = 0;
    long to = 0;
    m_editor->GetSelection(&from, &to);
    if (from < 0)
        return;
    long column = 0;
    long line = 0;
    if (!m_editor->PositionToXY(from, &column, &line))
        return;
    long target = 0;
    if (wxKeyCode == WXK_PAGEUP || wxKeyCode == WXK_NUMPAD_PAGEUP)
        target = line <= page ? 0 : line - page;
    else
        target = std::min<long>(line + page, lineCount - 1);
    const long position = m_editor->XYToPosition(0, target);
    if (position >= 0)
    {
        m_editor->SetSelection(position, position);
        m_editor->ShowPosition(position);
    }
    EnsureVisible(m_editBox, 0, false);
}

void LGridView::OnEditChange()
{
    RecalcLayout();
    if (m_editBox)
        EnsureVisible(m_editBox, 0, false);
    Redraw();
    if (!m_popup || !m_editor)
        return;
    const std::u16string text = m_editor->GetEditorText();
    const bool wasShown = m_popup->IsShown();
    m_popup->Hide();
    m_popup->SetFilterText(text);
    if (wasShown)
        ShowSuggestions();
}

void LGridView::ForwardEditorWheel(wxMouseEvent& event)
{
    OnMouseWheel(event);
}

void LGridView::ShowSuggestions()
{
    if (m_manager && !m_manager->AllowSuggestions())
        return;
    if (!m_popup)
        return;
    m_popup->Refilter();
    if (!m_popup->HasVisibleItems() || !m_editing)
        return;
    if (m_editor && m_editor->IsShown() && (m_editPart == HIT_PART_ROW || m_editPart == HIT_PART_BODY) &&
        wxGetTopLevelParent(this))
    {
        // The popup floats in screen coordinates, 2 pixels below the editor and as wide.
        const wxRect editor = m_editor->GetScreenRect();
        m_popup->SetCallback(this);
        m_popup->ClearSelection();
        m_popup->SetSize(editor.x, editor.y + editor.height + 2, editor.width, 20);
        m_popup->SetMaxWidth(editor.width);
        m_popup->ShowSized();
    }
    m_popup->Raise();
}

void LGridView::OnSuggestionSelected(SuggestionEntry entry)
{
    if (m_popup)
        m_popup->Hide();
    if (!m_editor)
        return;
    m_editor->ChangeValue(GridToWxString(GridToEditorLineBreaks(entry.text)));
    m_editor->MarkDirty();
    m_editor->SetSelection(-1, -1);
    m_editor->ShowPosition(m_editor->GetLastPosition());
}
