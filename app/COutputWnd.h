// The "Output" pane: a log of what the documents read and search, newest 500 lines.
// GUI thread only.
#pragma once

#include <cstddef>
#include <vector>

#include <wx/listbox.h>
#include <wx/panel.h>

class wxAuiManager;

// The list of the Output pane, with its own context menu. Its Copy and Clear only say what
// they would do; Hide hides the pane.
class COutputList : public wxListBox
{
public:
    COutputList(wxWindow* parent, wxWindowID id);

private:
    void OnContextMenu(wxContextMenuEvent& event);
    void OnEditCopy(wxCommandEvent& event);
    void OnEditClear(wxCommandEvent& event);
    void OnHideOutput(wxCommandEvent& event);
    void OnUpdateOwnCommand(wxUpdateUIEvent& event);

    wxDECLARE_EVENT_TABLE();
};

class COutputWnd : public wxPanel
{
public:
    static constexpr unsigned kMaxLines = 500;

    COutputWnd(wxWindow* parent, wxWindowID id);

    // Appends a line, drops the oldest beyond 500 and keeps the new line in sight.
    void AddLine(const wxString& line);

    // Adds a burst of `total` lines in one update of the list and leaves the pane exactly as
    // `total` calls of AddLine would: the same lines, the same top line, the newest in sight.
    // `newest` holds the burst's last lines in order: all of them, or at least kMaxLines + 1
    // (the older ones would be pushed out of the list before the last line comes).
    void AddLines(const std::vector<wxString>& newest, size_t total);

    COutputList* GetList() const { return m_list; }

private:
    COutputList* m_list = nullptr;
};
