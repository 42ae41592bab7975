#include "CCSVQuibboDocManager.h"

#include <wx/filehistory.h>

#include "CMessageBoxInterface.h"

wxBEGIN_EVENT_TABLE(CCSVQuibboDocManager, wxDocManager)
    EVT_MENU(wxID_PRINT_SETUP, CCSVQuibboDocManager::OnPrintSetup)
wxEND_EVENT_TABLE()

CCSVQuibboDocManager::CCSVQuibboDocManager()
    : wxDocManager(0, false)
{
}

wxFileHistory* CCSVQuibboDocManager::OnCreateFileHistory()
{
    return new wxFileHistory(4);
}

void CCSVQuibboDocManager::OnMRUFileNotExist(unsigned n, const wxString& filename)
{
    RemoveFileFromHistory(n);
    AppMessageBox(wxString::Format("The file \"%s\" no longer exists and was removed from the recent files.",
                                   filename),
                  wxOK | wxICON_ERROR);
}

void CCSVQuibboDocManager::OnOpenFileFailure()
{
    // The document has already said why the file could not be read.
}

void CCSVQuibboDocManager::OnPrintSetup(wxCommandEvent& event)
{
    OnPageSetup(event);
}
