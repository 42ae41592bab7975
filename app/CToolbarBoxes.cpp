#include "CToolbarBoxes.h"

#include <wx/app.h>
#include <wx/docview.h>
#include <wx/valtext.h>

#include "AppIds.h"

CToolbarComboBox::CToolbarComboBox(wxWindow* parent, wxWindowID id, int width)
    : wxComboBox(parent, id, wxEmptyString, wxDefaultPosition, wxSize(width, -1), 0, nullptr,
                 wxCB_DROPDOWN | wxTE_PROCESS_ENTER)
{
    Bind(wxEVT_TEXT_ENTER, &CToolbarComboBox::OnEnter, this);
}

void CToolbarComboBox::OnEnter(wxCommandEvent& event)
{
    // The command goes to the main window, whose routing brings it to the active document.
    if (wxWindow* top = wxTheApp->GetTopWindow())
    {
        wxCommandEvent command(wxEVT_MENU, GetId());
        command.SetEventObject(this);
        top->GetEventHandler()->AddPendingEvent(command);
    }
    event.Skip();
}

CGotoLineComboBox::CGotoLineComboBox(wxWindow* parent)
    : CToolbarComboBox(parent, ID_GOTO_LINE_COMBO, 190)
{
    // Applied at every start: the box is built by code, never restored from a saved state.
    SetMaxLength(kMaxLength);
    SetValidator(wxTextValidator(wxFILTER_DIGITS));
    SetHint("Go to line (ENTER)");
}

CSearchComboBox::CSearchComboBox(wxWindow* parent)
    : CToolbarComboBox(parent, ID_SEARCH_COMBO, 150)
{
    SetMaxLength(kMaxLength);
    SetHint("Search");
}

bool CFileDropTarget::OnDropFiles(wxCoord, wxCoord, const wxArrayString& filenames)
{
    wxDocManager* manager = wxDocManager::GetDocumentManager();
    if (!manager)
        return false;
    // Opening shows boxes on failure; leave the drag-and-drop handler first.
    wxArrayString paths = filenames;
    wxTheApp->CallAfter([manager, paths]() {
        for (const wxString& path : paths)
            manager->CreateDocument(path, wxDOC_SILENT);
    });
    return true;
}

void InstallFileDropTargets(wxWindow* window)
{
    if (!window)
        return;
    window->SetDropTarget(new CFileDropTarget);
    for (wxWindow* child : window->GetChildren())
        if (!child->IsTopLevel())
            InstallFileDropTargets(child);
}
