#include "CFileView.h"

#include <wx/artprov.h>
#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/settings.h>

#include "AppIds.h"
#include "CMessageBoxInterface.h"

// clang-format off
wxBEGIN_EVENT_TABLE(CFileView, wxPanel)
    EVT_PAINT(CFileView::OnPaint)
    EVT_CONTEXT_MENU(CFileView::OnContextMenu)
    EVT_MENU(ID_FILEVIEW_PROPERTIES, CFileView::OnProperties)
    EVT_MENU(ID_EXPLORER_OPEN, CFileView::OnDoNothing)
    EVT_MENU(ID_EXPLORER_OPEN_WITH, CFileView::OnDoNothing)
    EVT_MENU(ID_EXPLORER_COMPILE, CFileView::OnDoNothing)
    EVT_MENU(wxID_CUT, CFileView::OnDoNothing)
    EVT_MENU(wxID_COPY, CFileView::OnDoNothing)
    EVT_MENU(wxID_CLEAR, CFileView::OnDoNothing)
    EVT_UPDATE_UI_RANGE(wxID_CUT, wxID_CLEAR, CFileView::OnUpdateOwnCommand)
wxEND_EVENT_TABLE()
// clang-format on

    CFileView::CFileView(wxWindow* parent, wxWindowID id)
    : wxPanel(parent, id)
    , m_treeImages(16, 16, true)
{
    m_toolBar = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTB_HORIZONTAL | wxTB_FLAT);
    m_toolBar->SetToolBitmapSize(wxSize(16, 16));
    m_toolBar->AddTool(ID_FILEVIEW_PROPERTIES, "Properties",
                       wxArtProvider::GetBitmap(wxART_REPORT_VIEW, wxART_TOOLBAR, wxSize(16, 16)),
                       "Properties");
    m_toolBar->Realize();

    m_tree = new wxTreeCtrl(this, ID_FILEVIEW_TREE, wxDefaultPosition, wxDefaultSize,
                            wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxBORDER_NONE);
    m_treeImages.Add(wxArtProvider::GetBitmap(wxART_FOLDER, wxART_OTHER, wxSize(16, 16)));
    m_treeImages.Add(wxArtProvider::GetBitmap(wxART_NORMAL_FILE, wxART_OTHER, wxSize(16, 16)));
    m_tree->SetImageList(&m_treeImages);

    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        AdjustLayout();
        event.Skip();
    });
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent&) { m_tree->SetFocus(); });
    AdjustLayout();
}

void CFileView::AdjustLayout()
{
    wxSize client = GetClientSize();
    int barHeight = m_toolBar->GetBestSize().y;
    m_toolBar->SetSize(0, 0, client.x, barHeight);
    m_tree->SetSize(1, barHeight + 1, std::max(client.x - 2, 0), std::max(client.y - barHeight - 2, 0));
}

void CFileView::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    wxRect r = m_tree->GetRect();
    r.Inflate(1);
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(r);
}

void CFileView::OnContextMenu(wxContextMenuEvent& event)
{
    wxPoint screen = event.GetPosition();
    if (event.GetEventObject() != m_tree)
    {
        event.Skip();
        return;
    }
    if (screen != wxDefaultPosition)
    {
        wxPoint treePoint = m_tree->ScreenToClient(screen);
        int flags = 0;
        wxTreeItemId item = m_tree->HitTest(treePoint, flags);
        if (item.IsOk())
            m_tree->SelectItem(item);
    }
    m_tree->SetFocus();

    wxMenu menu;
    menu.Append(ID_EXPLORER_OPEN, "&Open");
    menu.Append(ID_EXPLORER_OPEN_WITH, "Open &With....");
    menu.AppendSeparator();
    menu.Append(ID_EXPLORER_COMPILE, "&Compile");
    menu.AppendSeparator();
    menu.Append(wxID_CUT, "Cu&t\tCtrl+X");
    menu.Append(wxID_COPY, "&Copy\tCtrl+C");
    menu.Append(wxID_CLEAR, "&Remove");
    menu.AppendSeparator();
    menu.Append(ID_FILEVIEW_PROPERTIES, "&Properties...");
    PopupMenu(&menu, screen == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(screen));
}

void CFileView::OnProperties(wxCommandEvent&)
{
    AppMessageBox("Properties....");
}

void CFileView::OnUpdateOwnCommand(wxUpdateUIEvent& event)
{
    // The pane's menu entries are its own: keep the frame's and the view's states off them.
    event.Enable(true);
}

void CFileView::OnDoNothing(wxCommandEvent&)
{
    // Handled so that the command stops here instead of reaching the active view.
}
