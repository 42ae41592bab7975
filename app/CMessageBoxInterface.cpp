#include "CMessageBoxInterface.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace {

class WxMessageBoxes : public CMessageBoxInterface
{
public:
    int ShowMessageBox(const wxString& text, long style) override
    {
        wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
        return wxMessageBox(text, wxTheApp ? wxTheApp->GetAppDisplayName() : wxString("CSV Quibbo"), style,
                            parent);
    }
};

WxMessageBoxes g_defaultBoxes;
CMessageBoxInterface* g_boxes = nullptr;

} // namespace

CMessageBoxInterface& GetMessageBoxes()
{
    return g_boxes ? *g_boxes : g_defaultBoxes;
}

void SetMessageBoxes(CMessageBoxInterface* boxes)
{
    g_boxes = boxes;
}
