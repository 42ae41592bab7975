#include "COutputWnd.h"

#include <algorithm>

#include <wx/aui/framemanager.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/wupdlock.h>

#include "AppIds.h"
#include "CMessageBoxInterface.h"

// clang-format off
wxBEGIN_EVENT_TABLE(COutputList, wxListBox)
    EVT_CONTEXT_MENU(COutputList::OnContextMenu)
    EVT_MENU(wxID_COPY, COutputList::OnEditCopy)
    EVT_MENU(wxID_CLEAR, COutputList::OnEditClear)
    EVT_MENU(ID_VIEW_OUTPUTWND, COutputList::OnHideOutput)
    EVT_UPDATE_UI(wxID_COPY, COutputList::OnUpdateOwnCommand)
    EVT_UPDATE_UI(wxID_CLEAR, COutputList::OnUpdateOwnCommand)
    EVT_UPDATE_UI(ID_VIEW_OUTPUTWND, COutputList::OnUpdateOwnCommand)
wxEND_EVENT_TABLE()
// clang-format on

    COutputList::COutputList(wxWindow* parent, wxWindowID id)
    : wxListBox(parent, id, wxDefaultPosition, wxDefaultSize, 0, nullptr,
                wxLB_SINGLE | wxLB_HSCROLL | wxLB_ALWAYS_SB)
{
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
}

void COutputList::OnContextMenu(wxContextMenuEvent& event)
{
    wxMenu menu;
    menu.Append(wxID_COPY, "&Copy");
    menu.Append(wxID_CLEAR, "&Clear");
    menu.AppendSeparator();
    menu.Append(ID_VIEW_OUTPUTWND, "&Hide");
    wxPoint point = event.GetPosition();
    PopupMenu(&menu, point == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(point));
    SetFocus();
}

void COutputList::OnUpdateOwnCommand(wxUpdateUIEvent& event)
{
    // The list's menu entries are its own: keep the frame's and the view's states off them.
    event.Enable(true);
}

void COutputList::OnEditCopy(wxCommandEvent&)
{
    // Handled here so that the command does not travel on to the active view's Copy.
    AppMessageBox("Copy output");
}

void COutputList::OnEditClear(wxCommandEvent&)
{
    AppMessageBox("Clear output");
}

void COutputList::OnHideOutput(wxCommandEvent&)
{
    wxAuiManager* manager = wxAuiManager::GetManager(this);
    if (!manager)
        return;
    wxAuiPaneInfo& pane = manager->GetPane("Output");
    if (!pane.IsOk())
        return;
    if (wxWindow* frame = wxGetTopLevelParent(this))
        frame->SetFocus();
    pane.Hide();
    manager->Update();
}

COutputWnd::COutputWnd(wxWindow* parent, wxWindowID id)
    : wxPanel(parent, id)
{
    m_list = new COutputList(this, ID_OUTPUT_LIST);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_list, 1, wxEXPAND);
    SetSizer(sizer);
}

void COutputWnd::AddLine(const wxString& line)
{
    // The index is taken before the oldest lines go, so once the list is full the newest line
    // stands tenth from the top rather than eleventh.
    int index = m_list->Append(line);
    while (m_list->GetCount() > kMaxLines)
        m_list->Delete(0);
    const int count = static_cast<int>(m_list->GetCount());
    if (index > 10)
    {
        int top = index - 10;
        m_list->SetFirstItem(std::min(top, count - 1));
    }
    // A pane that shows fewer than eleven lines would leave the new line below its bottom.
    if (index >= 0 && count > 0)
        m_list->EnsureVisible(count - 1);
}

void COutputWnd::AddLines(const std::vector<wxString>& newest, size_t total)
{
    wxCHECK_RET(newest.size() <= total && (newest.size() == total || newest.size() > kMaxLines),
                "a burst must bring all its lines or the newest kMaxLines + 1");
    if (newest.empty())
        return;
    // Every line but the last only fills the list: put it straight into the state those lines
    // leave, then add the last one as AddLine does, so the list ends with the same top line and
    // scroll requests as the line-by-line path. Lines the list would drop are never inserted.
    const size_t given = newest.size() - 1;
    if (given > 0)
    {
        const size_t count = m_list->GetCount();
        const size_t after = std::min<size_t>(count + (total - 1), kMaxLines);
        const size_t fromBurst = std::min(given, after);
        const size_t kept = after - fromBurst;
        wxWindowUpdateLocker noUpdates(m_list);
        if (kept == 0)
        {
            m_list->Clear();
        }
        else
        {
            for (size_t i = kept; i < count; ++i)
                m_list->Delete(0);
        }
        if (fromBurst > 0)
            m_list->Append(
                std::vector<wxString>(newest.begin() + static_cast<std::ptrdiff_t>(given - fromBurst),
                                      newest.begin() + static_cast<std::ptrdiff_t>(given)));
    }
    AddLine(newest.back());
}
