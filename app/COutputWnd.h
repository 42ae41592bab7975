// The "Output" pane: a log of what the documents read and search, newest 500 lines.
// GUI thread only.
#pragma once

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

    COutputList* GetList() const { return m_list; }

private:
    COutputList* m_list = nullptr;
};
