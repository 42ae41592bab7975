#include "CCSVQuibboDocManager.h"

#include <wx/config.h>
#include <wx/filehistory.h>

#include "CMessageBoxInterface.h"

#include <vector>

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

wxString CCSVQuibboDocManager::MakeNewDocumentName()
{
    // The template's new-file name, numbered from 1 for each new document of the session.
    return wxString::Format("CSVQuibboApp%d", ++m_untitledCount);
}

namespace {

const char* const kRecentGroup = "/Recent File List";

} // namespace

void CCSVQuibboDocManager::LoadRecentFiles(wxFileHistory& history, const wxConfigBase& config)
{
    const bool grouped = config.HasGroup(kRecentGroup);
    std::vector<wxString> files;
    for (int i = 1; i <= history.GetMaxFiles(); ++i)
    {
        wxString key = grouped ? wxString::Format("%s/File%d", kRecentGroup, i) : wxString::Format("/file%d", i);
        wxString file;
        if (config.Read(key, &file) && !file.empty())
            files.push_back(file);
    }
    // Oldest first, so that the newest ends on top.
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        history.AddFileToHistory(*it);
}

void CCSVQuibboDocManager::SaveRecentFiles(const wxFileHistory& history, wxConfigBase& config)
{
    config.DeleteGroup(kRecentGroup);
    for (size_t i = 0; i < history.GetCount(); ++i)
        config.Write(wxString::Format("%s/File%zu", kRecentGroup, i + 1), history.GetHistoryFile(i));
    // After the writes: wx's file configuration mishandles a group added right after root
    // entries were deleted.
    for (int i = 1; i <= 9; ++i)
        config.DeleteEntry(wxString::Format("/file%d", i), false);
}

void CCSVQuibboDocManager::FileHistoryLoad(const wxConfigBase& config)
{
    if (wxFileHistory* history = GetFileHistory())
        LoadRecentFiles(*history, config);
}

void CCSVQuibboDocManager::FileHistorySave(wxConfigBase& config)
{
    if (wxFileHistory* history = GetFileHistory())
        SaveRecentFiles(*history, config);
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
