#include "CMainFrame.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checklst.h>
#include <wx/config.h>
#include <wx/dcmemory.h>
#include <wx/filehistory.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/persist/toplevel.h>
#include <wx/print.h>
#include <wx/printdlg.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

#include "AppIcon.h"
#include "AppIds.h"
#include "CCSVQuibboAppDoc.h"
#include "CCSVQuibboDocManager.h"
#include "CFileView.h"
#include "COutputWnd.h"
#include "CPropertyView.h"
#include "CRowDetails.h"
#include "CToolbarBoxes.h"
#include "DisplayWatches.h"
#include "ExplorerServices.h"
#include "LGridView.h"
#include "PrinterLookup.h"

namespace {

const char* const kPerspectiveKey = "/Workspace/Perspective";
const char* const kLayoutVersionKey = "/Workspace/LayoutVersion";

struct PaneEntry
{
    int id;
    const char* name;
};

// The bars and panes that the View menu and the customize dialog list, by command id.
const PaneEntry kPanes[] = {
    {ID_VIEW_TOOLBAR, "Standard"},   {ID_VIEW_FIND_TOOLBAR, "Find"}, {ID_VIEW_PROPERTIESWND, "Properties"},
    {ID_VIEW_FILEVIEW, "File View"}, {ID_VIEW_OUTPUTWND, "Output"},  {ID_VIEW_ROWDETAILS, "Row details"},
};

wxBitmap ToolBitmap(const wxArtID& id)
{
    return wxArtProvider::GetBitmap(id, wxART_TOOLBAR, wxSize(16, 16));
}

// "Aa" for the match-case button: the stock art has no such picture.
wxBitmap MatchCaseBitmap()
{
    wxBitmap bitmap(16, 16);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    wxFont font(wxFontInfo(wxSize(0, 11)).Bold());
    dc.SetFont(font);
    dc.SetTextForeground(*wxBLACK);
    wxSize extent = dc.GetTextExtent("Aa");
    dc.DrawText("Aa", (16 - extent.x) / 2, (16 - extent.y) / 2);
    dc.SelectObject(wxNullBitmap);
    bitmap.SetMask(new wxMask(bitmap, *wxWHITE));
    return bitmap;
}

// The windows dialog: every document window, to activate or close.
class CWindowsDialog : public wxDialog
{
public:
    explicit CWindowsDialog(wxAuiMDIParentFrame* frame)
        : wxDialog(frame, wxID_ANY, "Windows", wxDefaultPosition, wxSize(420, 300),
                   wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER)
        , m_frame(frame)
    {
        m_list = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxLB_EXTENDED);
        auto* buttons = new wxBoxSizer(wxVERTICAL);
        auto* activate = new wxButton(this, wxID_ANY, "&Activate");
        auto* close = new wxButton(this, wxID_ANY, "&Close Window(s)");
        buttons->Add(activate, 0, wxEXPAND | wxBOTTOM, 4);
        buttons->Add(close, 0, wxEXPAND | wxBOTTOM, 4);
        buttons->Add(new wxButton(this, wxID_OK, "OK"), 0, wxEXPAND);
        auto* sizer = new wxBoxSizer(wxHORIZONTAL);
        sizer->Add(m_list, 1, wxEXPAND | wxALL, 8);
        sizer->Add(buttons, 0, wxTOP | wxRIGHT | wxBOTTOM, 8);
        SetSizer(sizer);
        Fill();
        activate->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ActivateSelected(); });
        m_list->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { ActivateSelected(); });
        close->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { CloseSelected(); });
    }

private:
    void Fill()
    {
        m_list->Clear();
        wxAuiNotebook* book = m_frame->GetNotebook();
        for (size_t i = 0; book && i < book->GetPageCount(); ++i)
            m_list->Append(book->GetPageText(i));
        if (book && book->GetSelection() >= 0)
            m_list->SetSelection(book->GetSelection());
    }

    void ActivateSelected()
    {
        wxArrayInt selections;
        if (m_list->GetSelections(selections) > 0)
            m_frame->GetNotebook()->SetSelection(selections[0]);
        EndModal(wxID_OK);
    }

    void CloseSelected()
    {
        wxArrayInt selections;
        m_list->GetSelections(selections);
        std::vector<wxWindow*> pages;
        for (int i : selections)
            pages.push_back(m_frame->GetNotebook()->GetPage(i));
        for (wxWindow* page : pages)
            page->Close();
        Fill();
    }

    wxAuiMDIParentFrame* m_frame;
    wxListBox* m_list;
};

// The customize dialog: which bars and panes are shown, and the first-start layout back.
class CCustomizeDialog : public wxDialog
{
public:
    explicit CCustomizeDialog(CMainFrame* frame)
        : wxDialog(frame, wxID_ANY, "Customize", wxDefaultPosition, wxSize(340, 300))
        , m_frame(frame)
    {
        m_list = new wxCheckListBox(this, wxID_ANY);
        for (const PaneEntry& entry : kPanes)
        {
            int n = m_list->Append(entry.name);
            m_list->Check(n, frame->GetAuiManager().GetPane(entry.name).IsShown());
        }
        auto* reset = new wxButton(this, wxID_ANY, "&Reset layout");
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(m_list, 1, wxEXPAND | wxALL, 8);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(reset, 0, wxRIGHT, 8);
        row->AddStretchSpacer();
        row->Add(new wxButton(this, wxID_CLOSE, "Close"));
        sizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
        SetSizer(sizer);
        m_list->Bind(wxEVT_CHECKLISTBOX, [this](wxCommandEvent& event) {
            int n = event.GetInt();
            wxAuiPaneInfo& pane = m_frame->GetAuiManager().GetPane(kPanes[n].name);
            pane.Show(m_list->IsChecked(n));
            m_frame->GetAuiManager().Update();
        });
        reset->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
            m_frame->ResetLayout();
            for (unsigned i = 0; i < m_list->GetCount(); ++i)
                m_list->Check(i, m_frame->GetAuiManager().GetPane(kPanes[i].name).IsShown());
        });
        Bind(
            wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CLOSE); }, wxID_CLOSE);
    }

private:
    CMainFrame* m_frame;
    wxCheckListBox* m_list;
};

} // namespace

namespace {

// The main frame from its creation to the end of its destructor, and whether it waits in wx's list
// of windows to delete. As wxApp::GetTopWindow would say, without looking the frame up in that
// list, which holds every document window closed since the last idle time: n documents closed in
// one go took n² steps.
CMainFrame* g_mainFrame = nullptr;
bool g_mainFrameDeletionScheduled = false;

} // namespace

CMainFrame* GetMainFrame()
{
    return wxTheApp && !g_mainFrameDeletionScheduled ? g_mainFrame : nullptr;
}

// clang-format off
wxBEGIN_EVENT_TABLE(CMainFrame, CMainFrameBase)
    EVT_MENU(ID_VIEW_TOOLBAR, CMainFrame::OnTogglePane)
    EVT_MENU(ID_VIEW_FIND_TOOLBAR, CMainFrame::OnTogglePane)
    EVT_MENU(ID_VIEW_PROPERTIESWND, CMainFrame::OnTogglePane)
    EVT_MENU(ID_VIEW_FILEVIEW, CMainFrame::OnTogglePane)
    EVT_MENU(ID_VIEW_OUTPUTWND, CMainFrame::OnTogglePane)
    EVT_MENU(ID_VIEW_ROWDETAILS, CMainFrame::OnTogglePane)
    EVT_UPDATE_UI(ID_VIEW_TOOLBAR, CMainFrame::OnUpdateTogglePane)
    EVT_UPDATE_UI(ID_VIEW_FIND_TOOLBAR, CMainFrame::OnUpdateTogglePane)
    EVT_UPDATE_UI(ID_VIEW_PROPERTIESWND, CMainFrame::OnUpdateTogglePane)
    EVT_UPDATE_UI(ID_VIEW_FILEVIEW, CMainFrame::OnUpdateTogglePane)
    EVT_UPDATE_UI(ID_VIEW_OUTPUTWND, CMainFrame::OnUpdateTogglePane)
    EVT_UPDATE_UI(ID_VIEW_ROWDETAILS, CMainFrame::OnUpdateTogglePane)
    EVT_MENU(ID_VIEW_STATUS_BAR, CMainFrame::OnToggleStatusBar)
    EVT_UPDATE_UI(ID_VIEW_STATUS_BAR, CMainFrame::OnUpdateStatusBar)
    EVT_MENU(ID_WINDOW_NEW, CMainFrame::OnWindowNew)
    EVT_MENU(ID_WINDOW_MANAGER, CMainFrame::OnWindowManager)
    EVT_MENU(ID_VIEW_CUSTOMIZE, CMainFrame::OnViewCustomize)
    EVT_MENU(ID_FILE_PRINT_DIRECT, CMainFrame::OnPrintDirect)
    EVT_MENU(ID_NEXT_PANE, CMainFrame::OnNothing)
    EVT_MENU(ID_PREV_PANE, CMainFrame::OnNothing)
    EVT_MENU(ID_WINDOW_SPLIT, CMainFrame::OnNothing)
    // Commands that only an open document (or its view) handles: disabled when nobody does.
    EVT_UPDATE_UI(ID_GOTO_LINE_COMBO, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(ID_FIND_NEXT, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(ID_SEARCH_COMBO, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(ID_MATCH_CASE, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(wxID_COPY, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(wxID_CUT, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(wxID_PASTE, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(ID_WINDOW_SPLIT, CMainFrame::OnUpdateDisable)
    EVT_UPDATE_UI(ID_WINDOW_NEW, CMainFrame::OnUpdateNeedsDocument)
    EVT_UPDATE_UI(ID_FILE_PRINT_DIRECT, CMainFrame::OnUpdateNeedsDocument)
    EVT_SYS_COLOUR_CHANGED(CMainFrame::OnSysColourChanged)
    EVT_TIMER(ID_STATUS_TIMER, CMainFrame::OnStatusTimer)
wxEND_EVENT_TABLE()
// clang-format on

    CMainFrame::CMainFrame()
    : m_statusTimer(this, ID_STATUS_TIMER)
{}

CMainFrame::~CMainFrame()
{
    // Out of wx's list of windows to delete by now.
    if (g_mainFrame == this)
        g_mainFrameDeletionScheduled = false;
    // The explorer's folder watcher posts to this frame: it ends first.
    if (ExplorerServices* explorer = ExplorerServices::Current())
    {
        explorer->Shutdown();
        explorer->SetWatcherTarget(nullptr);
    }
    m_statusTimer.Stop();
    SaveLayout();
    if (wxDocManager* manager = GetDocumentManager())
        if (m_recentMenu)
            manager->FileHistoryRemoveMenu(m_recentMenu);
    m_manager.UnInit();
    if (!m_documentMenusShown)
    {
        // Not in the menu bar, so nobody else deletes them.
        delete m_editMenu;
        delete m_windowMenu;
    }
    if (g_mainFrame == this)
        g_mainFrame = nullptr;
}

bool CMainFrame::Create(wxDocManager* manager, const wxString& title)
{
    // Our own Window menu replaces the one that the AUI frame would add and look up by label.
    if (!CMainFrameBase::Create(manager, nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(1200, 800),
                                wxDEFAULT_FRAME_STYLE | wxFRAME_NO_WINDOW_MENU))
        return false;
    g_mainFrame = this;
    g_mainFrameDeletionScheduled = false;

    SetIcons(AppIcons());
    // Bound after the document frame's own close handler, so called before it.
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnCloseFrame, this);

    // Every grid frames its selection in this colour.
    LGridView::SetSelectionFrameColour(kSelectionFrameColour);

    m_manager.SetManagedWindow(this);
    m_manager.SetFlags(wxAUI_MGR_DEFAULT | wxAUI_MGR_ALLOW_ACTIVE_PANE | wxAUI_MGR_LIVE_RESIZE);
    m_manager.SetArtProvider(m_visualManager.CreateDockArt());
    SetArtProvider(m_visualManager.CreateTabArt());

    CreateMenus();
    CreateToolBars();
    CreateStatusBarFields();
    if (!CreateDockingWindows())
        return false;
    m_manager.AddPane(GetClientWindow(), wxAuiPaneInfo().Name("Documents").CenterPane().PaneBorder(false));
    m_manager.Update();
    m_defaultPerspective = m_manager.SavePerspective();
    RestoreLayout();

    SetAccelerators();
    InstallFileDropTargets(this);
    if (wxAuiNotebook* book = GetNotebook())
    {
        book->Bind(wxEVT_AUINOTEBOOK_PAGE_CHANGING, &CMainFrame::OnNotebookPageChanging, this);
        book->Bind(wxEVT_AUINOTEBOOK_PAGE_CHANGED, &CMainFrame::OnNotebookPageChanged, this);
    }
    wxPersistentRegisterAndRestore(this, "MainFrame");
    m_statusTimer.Start(250);
    UpdateLockKeyIndicators();
    return true;
}

bool CMainFrame::Destroy()
{
    if (g_mainFrame == this)
        g_mainFrameDeletionScheduled = true;
    return CMainFrameBase::Destroy();
}

wxAuiMDIClientWindow* CMainFrame::OnCreateClient()
{
    return new wxAuiMDIClientWindow(this, wxAUI_NB_TOP | wxAUI_NB_TAB_MOVE | wxAUI_NB_CLOSE_ON_ACTIVE_TAB |
                                              wxAUI_NB_WINDOWLIST_BUTTON | wxAUI_NB_SCROLL_BUTTONS);
}

void CMainFrame::CreateMenus()
{
    auto* menuBar = new wxMenuBar;

    m_fileMenu = new wxMenu;
    m_fileMenu->Append(wxID_OPEN, "&Open...\tCtrl+O");
    m_fileMenu->Append(wxID_CLOSE, "&Close");
    m_fileMenu->AppendSeparator();
    m_fileMenu->Append(wxID_PRINT, "&Print...\tCtrl+P");
    m_fileMenu->Append(wxID_PREVIEW, "Print Pre&view");
    m_fileMenu->Append(wxID_PRINT_SETUP, "P&rint Setup...");
    m_fileMenu->AppendSeparator();
    m_recentMenu = new wxMenu;
    m_fileMenu->AppendSubMenu(m_recentMenu, "Recent &Files");
    m_fileMenu->AppendSeparator();
    m_fileMenu->Append(wxID_EXIT, "E&xit");
    menuBar->Append(m_fileMenu, "&File");

    auto* viewMenu = new wxMenu;
    auto* panesMenu = new wxMenu;
    for (const PaneEntry& entry : kPanes)
        panesMenu->AppendCheckItem(entry.id, entry.name);
    panesMenu->AppendSeparator();
    panesMenu->Append(ID_VIEW_CUSTOMIZE, "Customize...");
    viewMenu->AppendSubMenu(panesMenu, "&Toolbars and Docking Windows");
    viewMenu->AppendCheckItem(ID_VIEW_STATUS_BAR, "&Status Bar");
    menuBar->Append(viewMenu, "&View");

    auto* helpMenu = new wxMenu;
    helpMenu->Append(wxID_ABOUT, "&About CSVQuibboApp...");
    menuBar->Append(helpMenu, "&Help");

    // Shown only while a document is open (see UpdateDocumentState).
    m_editMenu = new wxMenu;
    m_editMenu->Append(wxID_UNDO, "&Undo\tCtrl+Z");
    m_editMenu->AppendSeparator();
    m_editMenu->Append(wxID_CUT, "Cu&t\tCtrl+X");
    m_editMenu->Append(wxID_COPY, "&Copy\tCtrl+C");
    m_editMenu->Append(wxID_PASTE, "&Paste\tCtrl+V");
    m_windowMenu = new wxMenu;
    m_windowMenu->Append(ID_WINDOW_NEW, "&New Window");
    m_windowMenu->Append(ID_WINDOW_SPLIT, "S&plit");
    m_windowMenu->AppendSeparator();
    m_windowMenu->Append(ID_WINDOW_MANAGER, "&Windows...");

    SetMenuBar(menuBar);
    if (wxDocManager* manager = GetDocumentManager())
    {
        manager->FileHistoryUseMenu(m_recentMenu);
        manager->FileHistoryAddFilesToMenu(m_recentMenu);
    }
}

void CMainFrame::CreateToolBars()
{
    long style = wxAUI_TB_DEFAULT_STYLE | wxAUI_TB_GRIPPER | wxAUI_TB_HORZ_LAYOUT;
    m_standardBar = new wxAuiToolBar(this, ID_VIEW_TOOLBAR, wxDefaultPosition, wxDefaultSize, style);
    m_standardBar->SetArtProvider(m_visualManager.CreateToolBarArt());
    m_standardBar->SetToolBitmapSize(wxSize(16, 16));
    m_standardBar->AddTool(wxID_OPEN, "Open", ToolBitmap(wxART_FILE_OPEN), "Open");
    m_standardBar->AddSeparator();
    m_standardBar->AddTool(wxID_CUT, "Cut", ToolBitmap(wxART_CUT), "Cut");
    m_standardBar->AddTool(wxID_COPY, "Copy", ToolBitmap(wxART_COPY), "Copy");
    m_standardBar->AddTool(wxID_PASTE, "Paste", ToolBitmap(wxART_PASTE), "Paste");
    m_standardBar->AddSeparator();
    m_gotoLineBox = new CGotoLineComboBox(m_standardBar);
    m_standardBar->AddControl(m_gotoLineBox, "Go to line in data");
    m_standardBar->Realize();
    m_standardBar->SetName("Standard");

    m_findBar = new wxAuiToolBar(this, ID_VIEW_FIND_TOOLBAR, wxDefaultPosition, wxDefaultSize, style);
    m_findBar->SetArtProvider(m_visualManager.CreateToolBarArt());
    m_findBar->SetToolBitmapSize(wxSize(16, 16));
    m_searchBox = new CSearchComboBox(m_findBar);
    m_findBar->AddControl(m_searchBox, "Search");
    m_findBar->AddTool(ID_FIND_NEXT, "Find next", ToolBitmap(wxART_FIND), "Find next occurrence");
    m_findBar->AddSeparator();
    m_findBar->AddTool(ID_MATCH_CASE, "Match case", MatchCaseBitmap(), "Match case", wxITEM_CHECK);
    m_findBar->Realize();
    m_findBar->SetName("Find");

    m_manager.AddPane(
        m_standardBar,
        wxAuiPaneInfo().Name("Standard").Caption("Standard").ToolbarPane().Top().Row(0).Position(0));
    m_manager.AddPane(m_findBar,
                      wxAuiPaneInfo().Name("Find").Caption("Find").ToolbarPane().Top().Row(0).Position(1));
}

void CMainFrame::CreateStatusBarFields()
{
    wxStatusBar* bar = CreateStatusBar(4, wxSTB_DEFAULT_STYLE, ID_VIEW_STATUS_BAR);
    int w = bar->GetTextExtent("SCRL").x + 16;
    const int widths[4] = {-1, w, w, w};
    bar->SetStatusWidths(4, widths);
    SetStatusText("Ready", 0);
}

bool CMainFrame::CreateDockingWindows()
{
    m_properties = new CPropertyView(this, ID_VIEW_PROPERTIESWND);
    m_fileView = new CFileView(this, ID_VIEW_FILEVIEW);
    m_output = new COutputWnd(this, ID_VIEW_OUTPUTWND);
    m_rowDetails = new CRowDetails(this, ID_VIEW_ROWDETAILS);

    m_properties->SetApplyHandler([this](const DocumentReadOptions& options) {
        auto* doc = dynamic_cast<CCSVQuibboAppDoc*>(GetActiveDocument());
        if (doc)
            doc->ApplyReadOptions(options);
    });

    // First-start layout: Properties left of Output along the bottom, Row details on the right,
    // File View hidden on the left.
    m_manager.AddPane(m_properties, wxAuiPaneInfo()
                                        .Name("Properties")
                                        .Caption("Properties")
                                        .Bottom()
                                        .Row(0)
                                        .Position(0)
                                        .BestSize(FromDIP(wxSize(360, 220)))
                                        .MinSize(FromDIP(wxSize(120, 80)))
                                        .Icon(wxArtProvider::GetBitmap(wxART_LIST_VIEW, wxART_MENU))
                                        .CloseButton()
                                        .MaximizeButton(false));
    m_manager.AddPane(m_fileView, wxAuiPaneInfo()
                                      .Name("File View")
                                      .Caption("File View")
                                      .Left()
                                      .BestSize(FromDIP(wxSize(300, 600)))
                                      .Icon(wxArtProvider::GetBitmap(wxART_FOLDER, wxART_MENU))
                                      .CloseButton()
                                      .Hide());
    m_manager.AddPane(m_output, wxAuiPaneInfo()
                                    .Name("Output")
                                    .Caption("Output")
                                    .Bottom()
                                    .Row(0)
                                    .Position(1)
                                    .BestSize(FromDIP(wxSize(700, 220)))
                                    .MinSize(FromDIP(wxSize(120, 80)))
                                    .Icon(wxArtProvider::GetBitmap(wxART_REPORT_VIEW, wxART_MENU))
                                    .CloseButton());
    m_manager.AddPane(m_rowDetails, wxAuiPaneInfo()
                                        .Name("Row details")
                                        .Caption("Row details")
                                        .Right()
                                        .BestSize(FromDIP(wxSize(320, 500)))
                                        .MinSize(FromDIP(wxSize(120, 80)))
                                        .CloseButton());
    return true;
}

void CMainFrame::SetAccelerators()
{
    // Ctrl+O, Ctrl+P, Ctrl+Z, Ctrl+X, Ctrl+C and Ctrl+V come with their menu entries.
    wxAcceleratorEntry entries[] = {
        {wxACCEL_CTRL, 'N', wxID_NEW},          {wxACCEL_CTRL, 'S', wxID_SAVE},
        {wxACCEL_ALT, WXK_BACK, wxID_UNDO},     {wxACCEL_SHIFT, WXK_DELETE, wxID_CUT},
        {wxACCEL_CTRL, WXK_INSERT, wxID_COPY},  {wxACCEL_SHIFT, WXK_INSERT, wxID_PASTE},
        {wxACCEL_NORMAL, WXK_F6, ID_NEXT_PANE}, {wxACCEL_SHIFT, WXK_F6, ID_PREV_PANE},
        {wxACCEL_NORMAL, WXK_F3, ID_FIND_NEXT},
    };
    SetAcceleratorTable(wxAcceleratorTable(WXSIZEOF(entries), entries));
}

void CMainFrame::RestoreLayout()
{
    wxConfigBase* config = wxConfigBase::Get();
    if (!config)
        return;
    wxString perspective;
    if (config->ReadLong(kLayoutVersionKey, 0) == kLayoutVersion &&
        config->Read(kPerspectiveKey, &perspective) && !perspective.empty())
    {
        m_manager.LoadPerspective(perspective, false);
        // The document area is always there, whatever the saved layout says.
        m_manager.GetPane("Documents").Show();
    }
    m_manager.Update();
}

void CMainFrame::SaveLayout()
{
    wxConfigBase* config = wxConfigBase::Get();
    if (!config)
        return;
    config->Write(kLayoutVersionKey, kLayoutVersion);
    config->Write(kPerspectiveKey, m_manager.SavePerspective());
    // Written to the file by the application at exit, with the recent files: a failure is said
    // there, once, when no window is left to show it in.
}

void CMainFrame::ResetLayout()
{
    m_manager.LoadPerspective(m_defaultPerspective, true);
}

wxString CMainFrame::GetGotoLineText() const
{
    return m_gotoLineBox ? m_gotoLineBox->GetValue() : wxString();
}

wxString CMainFrame::GetSearchText() const
{
    return m_searchBox ? m_searchBox->GetValue() : wxString();
}

wxDocument* CMainFrame::GetActiveDocument() const
{
    wxAuiMDIChildFrame* child = GetActiveChild();
    if (auto* docChild = dynamic_cast<wxDocChildFrameAnyBase*>(child))
        return docChild->GetDocument();
    return nullptr;
}

void CMainFrame::UpdateDocumentState()
{
    wxDocManager* manager = GetDocumentManager();
    // Not GetDocumentsVector: it copies the list, at every view that comes or goes.
    bool anyDocument = manager && !manager->GetDocuments().IsEmpty();
    wxMenuBar* bar = GetMenuBar();
    if (bar && anyDocument != m_documentMenusShown)
    {
        if (anyDocument)
        {
            bar->Insert(1, m_editMenu, "&Edit");
            bar->Insert(3, m_windowMenu, "&Window");
        }
        else
        {
            bar->Remove(3);
            bar->Remove(1);
        }
        m_documentMenusShown = anyDocument;
    }

    wxString title = wxTheApp->GetAppDisplayName();
    if (wxDocument* doc = GetActiveDocument())
        title = doc->GetUserReadableName() + " - " + title;
    SetTitle(title);
}

void CMainFrame::OnCloseFrame(wxCloseEvent& event)
{
    // The documents are closed here one by one, at the same cost each however many are left:
    // - each tab that goes repaints the tab row, which measures every tab left. A hidden window
    //   paints nothing;
    // - they close in the order they were opened, which is the order of the tabs. With the first
    //   tab selected, the tab row does not measure every tab up to the selected one;
    // - no tab is selected in place of one that goes: each selection would lay out and show a
    //   page, activate its view (the panes, the title) and make its tab visible, all for a window
    //   that is about to go;
    // - the notebook sizes every page at each removal, unless it is frozen.
    // A close that does not happen after all thaws and shows the window again, the first tab
    // left selected.
    Hide();
    wxAuiMDIClientWindow* client = GetClientWindow();
    if (client && client->GetPageCount() > 1)
        client->SetSelection(0);
    m_closingDocuments = true;
    Freeze();
    wxWeakRef<CMainFrame> self(this);
    CallAfter([self]() {
        // Not when the window's deletion is scheduled.
        if (!self || self->IsBeingDeleted() || GetMainFrame() != self.get())
            return;
        self->m_closingDocuments = false;
        self->Thaw();
        wxAuiMDIClientWindow* pages = self->GetClientWindow();
        if (pages && pages->GetPageCount() > 0 && pages->GetSelection() < 0)
            pages->SetSelection(0);
        self->Show();
    });
    // What the document frame's own handling would do next, at a cost that grows with each
    // document left.
    auto* manager = dynamic_cast<CCSVQuibboDocManager*>(GetDocumentManager());
    if (manager)
    {
        // The toolkit would look through the display watches of every window left whenever one
        // goes. Dropped beforehand, in the order the documents were opened, when all of them are
        // sure to close: this viewer's documents always do.
        const wxDocVector documents = manager->GetDocumentsVector();
        const bool allClose = std::all_of(documents.begin(), documents.end(), [](wxDocument* doc) {
            return dynamic_cast<CCSVQuibboAppDoc*>(doc) != nullptr;
        });
        if (allClose)
            for (wxDocument* doc : documents)
                for (wxView* view : doc->GetViewsVector())
                    DropDisplayWatches(view->GetFrame());
    }
    if (manager && !manager->CloseAllDocuments(!event.CanVeto()))
    {
        event.Veto();
        return;
    }
    event.Skip(); // the document frame's own handling closes the window
}

void CMainFrame::TogglePane(const wxString& name)
{
    wxAuiPaneInfo& pane = m_manager.GetPane(name);
    if (!pane.IsOk())
        return;
    pane.Show(!pane.IsShown());
    m_manager.Update();
}

wxString CMainFrame::PaneNameOf(int id) const
{
    for (const PaneEntry& entry : kPanes)
        if (entry.id == id)
            return entry.name;
    return {};
}

void CMainFrame::OnTogglePane(wxCommandEvent& event)
{
    TogglePane(PaneNameOf(event.GetId()));
}

void CMainFrame::OnUpdateTogglePane(wxUpdateUIEvent& event)
{
    // Toolbar panes carry these ids as window ids too: only menu entries are checked.
    event.Enable(true);
    if (dynamic_cast<wxMenu*>(event.GetEventObject()))
        event.Check(m_manager.GetPane(PaneNameOf(event.GetId())).IsShown());
}

void CMainFrame::OnToggleStatusBar(wxCommandEvent&)
{
    if (wxStatusBar* bar = GetStatusBar())
    {
        bar->Show(!bar->IsShown());
        SendSizeEvent();
    }
}

void CMainFrame::OnUpdateStatusBar(wxUpdateUIEvent& event)
{
    if (dynamic_cast<wxMenu*>(event.GetEventObject()))
        event.Check(GetStatusBar() && GetStatusBar()->IsShown());
}

void CMainFrame::OnUpdateDisable(wxUpdateUIEvent& event)
{
    event.Enable(false);
}

void CMainFrame::OnUpdateNeedsDocument(wxUpdateUIEvent& event)
{
    event.Enable(GetActiveDocument() != nullptr);
}

void CMainFrame::OnWindowNew(wxCommandEvent&)
{
    wxDocument* doc = GetActiveDocument();
    if (doc && doc->GetDocumentTemplate())
        doc->GetDocumentTemplate()->CreateView(doc);
}

void CMainFrame::OnWindowManager(wxCommandEvent&)
{
    CWindowsDialog dialog(this);
    dialog.ShowModal();
}

void CMainFrame::OnViewCustomize(wxCommandEvent&)
{
    CCustomizeDialog dialog(this);
    dialog.ShowModal();
}

void CMainFrame::OnPrintDirect(wxCommandEvent&)
{
    wxDocManager* manager = GetDocumentManager();
    wxView* view = manager ? manager->GetAnyUsableView() : nullptr;
    if (!view)
        return;
    wxDocument* doc = view->GetDocument();
    const wxString what = doc ? doc->GetUserReadableName() : wxString("CSV");
    PrintWithoutDialog(
        this, [view]() { return std::unique_ptr<wxPrintout>(view->OnCreatePrintout()); },
        manager->GetPageSetupDialogData().GetPrintData(), wxString(), what, kPrinterLookupMs, false);
}

void CMainFrame::OnNothing(wxCommandEvent&)
{
    // Next and previous pane move between splitter panes, and a CSV window has no splitter.
}

void CMainFrame::OnSysColourChanged(wxSysColourChangedEvent& event)
{
    m_visualManager.UpdateCustomColors();
    m_manager.SetArtProvider(m_visualManager.CreateDockArt());
    SetArtProvider(m_visualManager.CreateTabArt());
    m_standardBar->SetArtProvider(m_visualManager.CreateToolBarArt());
    m_findBar->SetArtProvider(m_visualManager.CreateToolBarArt());
    if (m_output)
        m_output->GetList()->SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    m_manager.Update();
    event.Skip();
}

void CMainFrame::UpdateLockKeyIndicators()
{
    wxStatusBar* bar = GetStatusBar();
    if (!bar)
        return;
    struct Indicator
    {
        wxKeyCode key;
        const char* text;
    };
    static const Indicator indicators[] = {{WXK_CAPITAL, "CAP"}, {WXK_NUMLOCK, "NUM"}, {WXK_SCROLL, "SCRL"}};
    for (int i = 0; i < 3; ++i)
    {
        wxString text = wxGetKeyState(indicators[i].key) ? indicators[i].text : "";
        if (bar->GetStatusText(i + 1) != text)
            bar->SetStatusText(text, i + 1);
    }
}

void CMainFrame::OnStatusTimer(wxTimerEvent&)
{
    UpdateLockKeyIndicators();
}

void CMainFrame::OnNotebookPageChanging(wxAuiNotebookEvent& event)
{
    if (m_closingDocuments)
        event.Veto();
    else
        event.Skip();
}

void CMainFrame::OnNotebookPageChanged(wxAuiNotebookEvent& event)
{
    UpdateDocumentState();
    event.Skip();
}
