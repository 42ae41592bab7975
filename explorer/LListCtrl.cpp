#include "LListCtrl.h"

bool LListCtrl::keepSelectionVisible = false;
wxColour LListCtrl::selectionTextBkColor = wxNullColour;

LListCtrl::LListCtrl(LListCtrlCallbacks* callbacks)
    : m_callbacks(callbacks)
{
    Bind(wxEVT_RIGHT_DOWN, &LListCtrl::OnRightDown, this);
    Bind(wxEVT_RIGHT_UP, &LListCtrl::OnRightUp, this);
    Bind(wxEVT_LEFT_DCLICK, &LListCtrl::OnLeftDClick, this);
    Bind(wxEVT_LEFT_UP, &LListCtrl::OnLeftUp, this);
}

LListCtrl::~LListCtrl() = default;

void LListCtrl::SetCallbacks(LListCtrlCallbacks* callbacks)
{
    if (callbacks != m_callbacks.get())
        m_callbacks.reset(callbacks);
}

void LListCtrl::SetItemSelectedQuiet(long item, bool selected)
{
    SetItemState(item, selected ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
}

unsigned LListCtrl::MouseFlags(const wxMouseEvent& event)
{
    unsigned flags = 0;
    if (event.LeftIsDown())
        flags |= 0x0001;
    if (event.RightIsDown())
        flags |= 0x0002;
    if (event.ShiftDown())
        flags |= 0x0004;
    if (event.ControlDown())
        flags |= 0x0008;
    if (event.MiddleIsDown())
        flags |= 0x0010;
    return flags;
}

wxWindow* LListCtrl::GetListArea()
{
    // The list is made of the header (on top) and the rows' window below it: the tallest child.
    wxWindow* area = this;
    int height = -1;
    for (wxWindow* child : GetChildren())
        if (child->GetSize().y > height)
        {
            area = child;
            height = child->GetSize().y;
        }
    return area;
}

long LListCtrl::RowAt(const wxPoint& point)
{
    int hitFlags = 0;
    const long row = HitTest(point, hitFlags);
    return (row >= 0 && (hitFlags & wxLIST_HITTEST_ONITEM)) ? row : -1;
}

void LListCtrl::OnRightDown(wxMouseEvent& event)
{
    if (m_callbacks)
        m_callbacks->OnRButtonDown(MouseFlags(event), event.GetPosition());
    else
        event.Skip();
}

void LListCtrl::OnRightUp(wxMouseEvent& event)
{
    if (m_callbacks)
        m_callbacks->OnRButtonUp(MouseFlags(event), event.GetPosition());
    else
        event.Skip();
}

void LListCtrl::OnLeftDClick(wxMouseEvent& event)
{
    if (m_callbacks)
        m_callbacks->OnLButtonDblClk(MouseFlags(event), event.GetPosition());
    else
        event.Skip();
}

void LListCtrl::OnLeftUp(wxMouseEvent& event)
{
    if (m_callbacks)
        m_callbacks->OnItemClick(static_cast<int>(RowAt(event.GetPosition())));
    event.Skip();
}
