// The view of a CSV document: one grid window filling its child frame, fed with row boxes by
// CsvViewCore. It copies the selected rows, shows them in the Row details pane, and prints what
// the grid shows. GUI thread only.
#pragma once

#include <wx/docview.h>

#include "CsvViewCore.h"

class LGridView;
class CChildFrame;

class CCSVQuibboAppView : public wxView
{
public:
    CCSVQuibboAppView();
    ~CCSVQuibboAppView() override;

    bool OnCreate(wxDocument* doc, long flags) override;
    bool OnClose(bool deleteWindow) override;
    void OnDraw(wxDC* dc) override;
    void OnUpdate(wxView* sender, wxObject* hint) override;
    void OnActivateView(bool activate, wxView* activeView, wxView* deactiveView) override;
    wxPrintout* OnCreatePrintout() override;

    // Loads the grid fonts once, at start-up, so that opening the first file does not wait for it.
    static void PrepareGridFonts();

    // Row details shows the active CSV view's selected rows, or nothing when no such view is active.
    static void ShowActiveSelection();

    CsvViewCore& GetCore() { return m_core; }
    LGridView* GetGrid() const { return m_grid; }

private:
    void DetachGrid();
    void OnEditCopy(wxCommandEvent& event);
    void OnUpdateEditCopy(wxUpdateUIEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);

    CsvViewCore m_core;
    LGridView* m_grid = nullptr; // child of the frame; destroyed before the view goes
    bool m_registered = false;

    wxDECLARE_DYNAMIC_CLASS(CCSVQuibboAppView);
    wxDECLARE_EVENT_TABLE();
};
