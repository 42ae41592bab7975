// The "File View" pane: an empty tree under a one-button toolbar, hidden at first start. Only
// its "Properties" command does something. GUI thread only.
#pragma once

#include <memory>

#include <wx/imaglist.h>
#include <wx/panel.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>

class CFileView : public wxPanel
{
public:
    CFileView(wxWindow* parent, wxWindowID id);

    wxTreeCtrl* GetTree() const { return m_tree; }
    wxToolBar* GetToolBar() const { return m_toolBar; }

private:
    void AdjustLayout();
    void OnPaint(wxPaintEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnProperties(wxCommandEvent& event);
    void OnDoNothing(wxCommandEvent& event);
    void OnUpdateOwnCommand(wxUpdateUIEvent& event);

    wxTreeCtrl* m_tree = nullptr;
    wxImageList m_treeImages;
    wxToolBar* m_toolBar = nullptr;

    wxDECLARE_EVENT_TABLE();
};
