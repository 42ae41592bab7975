#include "CButtonWithTT.h"

#include <wx/tooltip.h>

void ExplorerToolTipCtrl::RelayEvent(wxWindow* window)
{
    auto found = m_tools.find(window);
    if (found == m_tools.end())
        return;
    const wxToolTip* current = window->GetToolTip();
    if (!current || current->GetTip() != found->second)
        window->SetToolTip(found->second);
}

CButtonWithTT::CButtonWithTT()
{
    Bind(wxEVT_MOTION, &CButtonWithTT::OnMouseMove, this);
}

void CButtonWithTT::OnMouseMove(wxMouseEvent& event)
{
    if (m_toolTipCtrl)
        m_toolTipCtrl->RelayEvent(this);
    event.Skip();
}
