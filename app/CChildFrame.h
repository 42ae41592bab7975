// The MDI child frame of a CSV document window: a tab of the main frame holding one view's grid.
#pragma once

#include <wx/aui/aui.h>
#include <wx/docview.h>

using CChildFrameBase = wxDocChildFrameAny<wxAuiMDIChildFrame, wxAuiMDIParentFrame>;

class CChildFrame : public CChildFrameBase
{
public:
    CChildFrame(wxDocument* doc, wxView* view, wxAuiMDIParentFrame* parent, const wxString& title);

    // Gives the window that fills the frame (the view's grid).
    void SetContent(wxWindow* content);
};
