#include "CChildFrame.h"

#include <wx/sizer.h>

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxAuiMDIParentFrame* parent, const wxString& title)
    : CChildFrameBase(doc, view, parent, wxID_ANY, title)
{
    SetSizer(new wxBoxSizer(wxVERTICAL));
}

void CChildFrame::SetContent(wxWindow* content)
{
    GetSizer()->Add(content, 1, wxEXPAND);
    Layout();
}
