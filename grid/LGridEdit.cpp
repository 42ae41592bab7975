#include "LGridEdit.h"

#include "GridWxText.h"
#include "LGridEditText.h"
#include "LGridView.h"

LGridEdit::LGridEdit(LGridView* owner)
    : m_owner(owner)
{}

bool LGridEdit::Create(wxWindow* parent, wxWindowID id)
{
    if (!wxTextCtrl::Create(parent, id, wxEmptyString, wxPoint(0, 0), wxSize(0, 0),
                            wxTE_MULTILINE | wxTE_PROCESS_TAB | wxTE_PROCESS_ENTER | wxTE_NO_VSCROLL |
                                wxBORDER_NONE))
        return false;
    Hide();
    SetBackgroundColour(*wxWHITE);
    Bind(wxEVT_KEY_DOWN, &LGridEdit::OnKeyDown, this);
    Bind(wxEVT_CHAR, &LGridEdit::OnChar, this);
    Bind(wxEVT_MOUSEWHEEL, &LGridEdit::OnMouseWheel, this);
    Bind(wxEVT_TEXT, &LGridEdit::OnText, this, GetId());
    return true;
}

namespace {

// The editor's limit counts every line break as CR LF, as the stored text holds it.
bool CutToLimit(std::u16string& crlfText)
{
    const size_t limit = static_cast<size_t>(LGridView::EDITOR_TEXT_LIMIT);
    if (crlfText.size() <= limit)
        return false;
    crlfText.resize(limit);
    // Never split a CR LF pair or a surrogate pair.
    if (!crlfText.empty() &&
        (crlfText.back() == u'\r' || (crlfText.back() >= 0xD800 && crlfText.back() <= 0xDBFF)))
        crlfText.pop_back();
    return true;
}

} // namespace

void LGridEdit::SetEditorText(const std::u16string& text)
{
    std::u16string crlf = GridUnifyLineBreaks(text);
    CutToLimit(crlf);
    ChangeValue(GridToWxString(GridToEditorLineBreaks(crlf)));
    SetModified(false);
}

std::u16string LGridEdit::GetEditorText() const
{
    std::u16string text = GridUnifyLineBreaks(GridFromWxString(GetValue()));
    CutToLimit(text);
    return text;
}

bool LGridEdit::EnforceLimit()
{
    std::u16string text = GridUnifyLineBreaks(GridFromWxString(GetValue()));
    if (!CutToLimit(text))
        return false;
    const long insertion = GetInsertionPoint();
    m_limiting = true;
    ChangeValue(GridToWxString(GridToEditorLineBreaks(text)));
    m_limiting = false;
    m_modified = true;
    SetInsertionPoint(std::min(insertion, GetLastPosition()));
    return true;
}

void LGridEdit::OnText(wxCommandEvent&)
{
    if (m_limiting)
        return;
    m_modified = true;
    if (!m_limitQueued && GridUnifyLineBreaks(GridFromWxString(GetValue())).size() >
                              static_cast<size_t>(LGridView::EDITOR_TEXT_LIMIT))
    {
        // GTK is inside its insertion: cut the text once it has finished.
        m_limitQueued = true;
        CallAfter([this] {
            m_limitQueued = false;
            EnforceLimit();
        });
    }
    if (m_owner)
        m_owner->OnEditChange();
}

void LGridEdit::OnKeyDown(wxKeyEvent& event)
{
    if (!m_owner)
    {
        event.Skip();
        return;
    }
    const int code = event.GetKeyCode();
    // The grid's key routing comes first (the suggestions popup takes its keys there).
    if (m_owner->PreTranslateKey(code, event.ControlDown(), true))
        return;
    switch (code)
    {
    case WXK_TAB:
        m_owner->OnTabKey();
        return;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        if (event.ControlDown())
            WriteText("\n"); // a line break in the text
        else
            m_owner->OnEnterKey();
        return;
    case WXK_ESCAPE:
        m_owner->OnEditorEscape();
        return;
    case WXK_PAGEUP:
    case WXK_PAGEDOWN:
    case WXK_NUMPAD_PAGEUP:
    case WXK_NUMPAD_PAGEDOWN:
        m_owner->OnEditorPageKey(code);
        event.Skip();
        return;
    case WXK_LEFT:
    case WXK_UP:
    case WXK_RIGHT:
    case WXK_DOWN:
    case WXK_NUMPAD_LEFT:
    case WXK_NUMPAD_UP:
    case WXK_NUMPAD_RIGHT:
    case WXK_NUMPAD_DOWN:
        if (m_owner->IsEditing() && m_owner->GetEditBox())
            m_owner->EnsureVisible(m_owner->GetEditBox(), 0, false);
        event.Skip();
        return;
    default:
        event.Skip();
        return;
    }
}

void LGridEdit::OnChar(wxKeyEvent& event)
{
    // Tab, Enter and Esc were acted on at key down; their characters go nowhere.
    const int code = event.GetKeyCode();
    if (code == WXK_TAB || code == WXK_RETURN || code == WXK_NUMPAD_ENTER || code == WXK_ESCAPE ||
        code == '\n')
        return;
    event.Skip();
}

void LGridEdit::OnMouseWheel(wxMouseEvent& event)
{
    // Not skipped: the grid scrolls, the control does not.
    if (m_owner)
        m_owner->ForwardEditorWheel(event);
}
