#include "LGridEdit.h"

LGridEdit::LGridEdit(LGridView* owner)
    : m_owner(owner)
{
}

bool LGridEdit::Create(wxWindow* parent, wxWindowID id)
{
    if (!wxTextCtrl::Create(parent, id, wxEmptyString, wxPoint(0, 0), wxSize(0, 0),
                            wxTE_MULTILINE | wxTE_PROCESS_TAB | wxTE_PROCESS_ENTER | wxTE_NO_VSCROLL |
                                wxBORDER_NONE))
        return false;
    Hide();
    SetBackgroundColour(*wxWHITE);
    return true;
}
