// The application's main window: MDI tabs, menu bar, the "Standard" and "Find" toolbars with
// their boxes, the status bar with the lock-key indicators, and the docking panes Properties,
// File View, Output and Row details. GUI thread only.
#pragma once

#include <memory>

#include <wx/aui/aui.h>
#include <wx/docview.h>
#include <wx/timer.h>

#include "CMFCVisualManagerCustom.h"
#include "LSkorrelFileExplorerParentWnd.h"

class COutputWnd;
class CPropertyView;
class CRowDetails;
class CFileView;
class CGotoLineComboBox;
class CSearchComboBox;

class CMainFrame;
// The application's main frame, or null (before it exists, after it closed).
CMainFrame* GetMainFrame();

using CMainFrameBase = wxDocParentFrameAny<wxAuiMDIParentFrame>;

class CMainFrame : public CMainFrameBase
{
public:
    // Version of the pane layout saved in the configuration; a saved layout of another version
    // is not restored.
    static constexpr long kLayoutVersion = 1;

    CMainFrame();
    ~CMainFrame() override;

    // Builds the window with its bars and panes and restores the saved layout.
    bool Create(wxDocManager* manager, const wxString& title);

    wxAuiMDIClientWindow* OnCreateClient() override;
    // Schedules the deletion, as wx's does; GetMainFrame() gives null until it happens.
    bool Destroy() override;

    COutputWnd* GetOutputPane() const { return m_output; }
    CPropertyView* GetPropertiesPane() const { return m_properties; }
    CRowDetails* GetRowDetailsPane() const { return m_rowDetails; }
    CFileView* GetFileViewPane() const { return m_fileView; }
    wxAuiManager& GetAuiManager() { return m_manager; }
    wxAuiToolBar* GetStandardToolBar() const { return m_standardBar; }
    wxAuiToolBar* GetFindToolBar() const { return m_findBar; }
    CGotoLineComboBox* GetGotoLineBox() const { return m_gotoLineBox; }
    CSearchComboBox* GetSearchBox() const { return m_searchBox; }
    LSkorrelFileExplorerParentWnd& GetExplorer() { return m_explorer; }

    // The texts the document reads when it goes to a line or finds.
    wxString GetGotoLineText() const;
    wxString GetSearchText() const;

    // The document of the active MDI child, or null.
    wxDocument* GetActiveDocument() const;

    // Shows the Edit and Window menus while a document is open, and the frame title of the
    // active one. Called when views come and go or are activated.
    void UpdateDocumentState();

    // Puts bars and panes back into the first-start layout.
    void ResetLayout();
    // The first-start layout as a perspective string.
    const wxString& GetDefaultPerspective() const { return m_defaultPerspective; }

    // Updates the CAP, NUM and SCRL indicators now.
    void UpdateLockKeyIndicators();

private:
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBarFields();
    bool CreateDockingWindows();
    void SetAccelerators();
    void RestoreLayout();
    void SaveLayout();

    void TogglePane(const wxString& name);
    wxString PaneNameOf(int id) const;

    void OnTogglePane(wxCommandEvent& event);
    void OnUpdateTogglePane(wxUpdateUIEvent& event);
    void OnToggleStatusBar(wxCommandEvent& event);
    void OnUpdateStatusBar(wxUpdateUIEvent& event);
    void OnUpdateDisable(wxUpdateUIEvent& event);
    void OnUpdateNeedsDocument(wxUpdateUIEvent& event);
    void OnWindowNew(wxCommandEvent& event);
    void OnWindowManager(wxCommandEvent& event);
    void OnViewCustomize(wxCommandEvent& event);
    void OnPrintDirect(wxCommandEvent& event);
    void OnNothing(wxCommandEvent& event);
    void OnSysColourChanged(wxSysColourChangedEvent& event);
    void OnStatusTimer(wxTimerEvent& event);
    void OnNotebookPageChanging(wxAuiNotebookEvent& event);
    void OnNotebookPageChanged(wxAuiNotebookEvent& event);
    void OnCloseFrame(wxCloseEvent& event);

    wxAuiManager m_manager;
    CMFCVisualManagerCustom m_visualManager;
    wxMenu* m_fileMenu = nullptr;
    wxMenu* m_recentMenu = nullptr;
    wxMenu* m_editMenu = nullptr;
    wxMenu* m_windowMenu = nullptr;
    bool m_documentMenusShown = false;
    // While the window closes its documents: no tab is selected in place of one that goes.
    bool m_closingDocuments = false;
    wxAuiToolBar* m_standardBar = nullptr;
    wxAuiToolBar* m_findBar = nullptr;
    CGotoLineComboBox* m_gotoLineBox = nullptr;
    CSearchComboBox* m_searchBox = nullptr;
    CFileView* m_fileView = nullptr;
    CPropertyView* m_properties = nullptr;
    COutputWnd* m_output = nullptr;
    CRowDetails* m_rowDetails = nullptr;
    wxTimer m_statusTimer;
    wxString m_defaultPerspective;
    // The folder-browser pane: held for the frame's whole life, its window never made.
    LSkorrelFileExplorerParentWnd m_explorer;

    wxDECLARE_EVENT_TABLE();
};
