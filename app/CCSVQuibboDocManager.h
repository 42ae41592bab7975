// The document manager: a recent-file list of 4 kept in the configuration's "Recent File List"
// group, untitled documents named "CSVQuibboApp1", "CSVQuibboApp2", ..., a message through the
// application's message boxes for a recent file that has gone, and print setup. GUI thread only.
#pragma once

#include <wx/docview.h>

class CCSVQuibboDocManager : public wxDocManager
{
public:
    // Built without initialising, so that the 4-entry history of OnCreateFileHistory is the one
    // used; call Initialize() afterwards.
    CCSVQuibboDocManager();

    wxFileHistory* OnCreateFileHistory() override;
    wxString MakeNewDocumentName() override;
    void FileHistoryLoad(const wxConfigBase& config) override;
    void FileHistorySave(wxConfigBase& config) override;

    // The list as "File1"... "File<n>" in the group "Recent File List", newest first, without
    // empty entries. Loading falls back once on the "file<n>" entries at the root that earlier
    // versions wrote; saving removes those.
    static void LoadRecentFiles(wxFileHistory& history, const wxConfigBase& config);
    static void SaveRecentFiles(const wxFileHistory& history, wxConfigBase& config);
    void OnMRUFileNotExist(unsigned n, const wxString& filename) override;
    void OnOpenFileFailure() override;

private:
    void OnPrintSetup(wxCommandEvent& event);

    int m_untitledCount = 0;

    wxDECLARE_EVENT_TABLE();
};
