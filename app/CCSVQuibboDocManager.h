// The document manager: a recent-file list of 4, a message through the application's message
// boxes for a recent file that has gone, and print setup. GUI thread only.
#pragma once

#include <wx/docview.h>

class CCSVQuibboDocManager : public wxDocManager
{
public:
    // Built without initialising, so that the 4-entry history of OnCreateFileHistory is the one
    // used; call Initialize() afterwards.
    CCSVQuibboDocManager();

    wxFileHistory* OnCreateFileHistory() override;
    void OnMRUFileNotExist(unsigned n, const wxString& filename) override;
    void OnOpenFileFailure() override;

private:
    void OnPrintSetup(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};
