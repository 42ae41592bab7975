#include "CCSVQuibboAppView.h"

#include <wx/app.h>
#include <wx/dc.h>
#include <wx/menu.h>
#include <wx/stc/stc.h>
#include <wx/textentry.h>

#include "AppFonts.h"
#include "AppIds.h"
#include "CCSVQuibboAppDoc.h"
#include "CChildFrame.h"
#include "CMainFrame.h"
#include "CPropertyView.h"
#include "CRowDetails.h"
#include "CToolbarBoxes.h"
#include "Clipboard.h"
#include "GridWxText.h"
#include "LGridView.h"

namespace {

LGridFontSpec ToGridFont(const FontDescription& description)
{
    LGridFontSpec font;
    font.face = description.face;
    font.height = description.height;
    font.weight = description.weight;
    font.italic = description.italic;
    return font;
}

// Prints what the grid shows, scaled to the page width.
class CCSVQuibboPrintout : public wxDocPrintout
{
public:
    CCSVQuibboPrintout(CCSVQuibboAppView* view, LGridView* grid)
        : wxDocPrintout(view,
                        view->GetDocument() ? view->GetDocument()->GetUserReadableName() : wxString("CSV"))
        , m_grid(grid)
    {}

    bool OnPrintPage(int page) override
    {
        wxDC* dc = GetDC();
        if (!dc || !m_grid || page != 1)
            return false;
        wxSize size = m_grid->GetClientSize();
        if (size.x <= 0 || size.y <= 0)
            return false;
        FitThisSizeToPageMargins(size, GetPageSetupData());
        GetView()->OnDraw(dc);
        return true;
    }

    bool HasPage(int page) override { return page == 1; }

    void GetPageInfo(int* minPage, int* maxPage, int* selPageFrom, int* selPageTo) override
    {
        *minPage = *maxPage = *selPageFrom = *selPageTo = 1;
    }

private:
    static const wxPageSetupDialogData& GetPageSetupData()
    {
        static wxPageSetupDialogData fallback;
        wxDocManager* manager = wxDocManager::GetDocumentManager();
        return manager ? manager->GetPageSetupDialogData() : fallback;
    }

    LGridView* m_grid;
};

// The grid's popup font and its cell font.
LGridFontSpec PopupFontSpec()
{
    FontDescription f2 = MakeAppFontDescriptions(wxWindow::FromDIP(16, nullptr))[1];
    f2.face = ResolveFontFace(f2.face);
    return ToGridFont(f2);
}

LGridFontSpec GridFontSpec()
{
    const FontDescription& f6 = GetF6Description();
    return ToGridFont(f6.height != 0 ? f6 : MakeAppFontDescriptions(16)[5]);
}

} // namespace

void CCSVQuibboAppView::PrepareGridFonts()
{
    // The first grid of a run would otherwise wait for the toolkit to load and measure these.
    GridMakeFont(PopupFontSpec());
    const LGridFontSpec grid = GridFontSpec();
    for (const LGridFontSpec& spec : {grid, grid.Italic(), grid.Small(), grid.Bold()})
        GridMakeFont(spec);
}

wxIMPLEMENT_DYNAMIC_CLASS(CCSVQuibboAppView, wxView);

// clang-format off
wxBEGIN_EVENT_TABLE(CCSVQuibboAppView, wxView)
    EVT_MENU(wxID_COPY, CCSVQuibboAppView::OnEditCopy)
    EVT_UPDATE_UI(wxID_COPY, CCSVQuibboAppView::OnUpdateEditCopy)
wxEND_EVENT_TABLE()
// clang-format on

    CCSVQuibboAppView::CCSVQuibboAppView() = default;

CCSVQuibboAppView::~CCSVQuibboAppView()
{
    DetachGrid();
}

bool CCSVQuibboAppView::OnCreate(wxDocument* doc, long)
{
    CMainFrame* mainFrame = GetMainFrame();
    if (!mainFrame)
        return false;
    auto* frame = new CChildFrame(doc, this, mainFrame, doc->GetUserReadableName());

    m_grid = new LGridView(&m_core, &m_core);
    LGridFontSpec popupFont = PopupFontSpec();
    if (!m_grid->Create(frame, IDC_GRID_VIEW, wxDefaultPosition, wxDefaultSize, &popupFont))
    {
        delete m_grid;
        m_grid = nullptr;
        frame->Destroy();
        return false;
    }
    m_grid->SetName("GridView");
    LGridFontSpec gridFont = GridFontSpec();
    m_grid->SetFont(&gridFont, true, true);
    m_grid->Bind(wxEVT_CONTEXT_MENU, &CCSVQuibboAppView::OnContextMenu, this);
    InstallFileDropTargets(m_grid);
    frame->SetContent(m_grid);
    SetFrame(frame);

    m_core.SetGrid(m_grid, m_grid);
    m_core.SetRowDetailsHandler([](const std::u16string& text) {
        if (CMainFrame* main = GetMainFrame(); main && main->GetRowDetailsPane())
            main->GetRowDetailsPane()->SetText(GridToWxString(text));
    });
    if (auto* csvDoc = dynamic_cast<CCSVQuibboAppDoc*>(doc))
    {
        m_core.SetDocument(csvDoc);
        // A further view of an open document starts with its first segment.
        csvDoc->GetCore().AddView(&m_core);
        m_registered = true;
    }

    frame->Show(true);
    wxTheApp->CallAfter([]() {
        if (CMainFrame* main = GetMainFrame())
            main->UpdateDocumentState();
    });
    return true;
}

void CCSVQuibboAppView::DetachGrid()
{
    if (m_registered)
    {
        if (auto* csvDoc = dynamic_cast<CCSVQuibboAppDoc*>(GetDocument()))
            csvDoc->GetCore().RemoveView(&m_core);
        m_registered = false;
    }
    m_core.SetDocument(nullptr);
    m_core.SetRowDetailsHandler(nullptr);
    if (m_grid)
    {
        // The grid reports to m_core, which goes with this view: the window must go first.
        m_core.SetGrid(nullptr);
        m_grid->Destroy();
        m_grid = nullptr;
    }
}

bool CCSVQuibboAppView::OnClose(bool deleteWindow)
{
    if (!wxView::OnClose(deleteWindow))
        return false;
    Activate(false);
    DetachGrid();
    if (deleteWindow && GetFrame())
    {
        GetFrame()->Destroy();
        SetFrame(nullptr);
    }
    wxTheApp->CallAfter([]() {
        if (CMainFrame* main = GetMainFrame())
            main->UpdateDocumentState();
        // The view that is active now, if any, shows its selection; with none, nothing shows.
        ShowActiveSelection();
    });
    return true;
}

void CCSVQuibboAppView::ShowActiveSelection()
{
    CMainFrame* main = GetMainFrame();
    if (!main || !main->GetRowDetailsPane())
        return;
    wxDocManager* manager = wxDocManager::GetDocumentManager();
    auto* view = manager ? dynamic_cast<CCSVQuibboAppView*>(manager->GetCurrentView()) : nullptr;
    if (view && view->m_grid && view->m_core.GetDocument())
        view->m_core.OnSelectionChanged();
    else
        main->GetRowDetailsPane()->SetText(wxString());
}

void CCSVQuibboAppView::OnDraw(wxDC* dc)
{
    // The screen is painted by the grid itself; a printer or preview DC gets what it shows.
    if (!dc || !m_grid || !GetDocument())
        return;
    m_grid->PaintTo(*dc, m_grid->GetClientSize());
}

void CCSVQuibboAppView::OnUpdate(wxView*, wxObject*)
{
    // The document fills the grid through the rows sink; there is nothing to redo here.
}

void CCSVQuibboAppView::OnActivateView(bool activate, wxView*, wxView*)
{
    if (!activate)
        return;
    CMainFrame* main = GetMainFrame();
    if (!main)
        return;
    if (auto* csvDoc = dynamic_cast<CCSVQuibboAppDoc*>(GetDocument()); csvDoc && main->GetPropertiesPane())
        main->GetPropertiesPane()->SetSettings(csvDoc->GetCore().GetReadOptions());
    main->UpdateDocumentState();
    // Row details shows the selected rows of the active view: this one's now (or nothing).
    if (m_grid && main->GetRowDetailsPane())
    {
        if (m_core.GetDocument())
            m_core.OnSelectionChanged();
        else
            main->GetRowDetailsPane()->SetText(wxString());
    }
}

wxPrintout* CCSVQuibboAppView::OnCreatePrintout()
{
    return new CCSVQuibboPrintout(this, m_grid);
}

void CCSVQuibboAppView::OnEditCopy(wxCommandEvent&)
{
    // Ctrl+C belongs to a text field that has the focus (the toolbar boxes, Row details).
    wxWindow* focus = wxWindow::FindFocus();
    if (focus && focus != m_grid)
    {
        if (auto* editor = dynamic_cast<wxStyledTextCtrl*>(focus))
        {
            editor->Copy();
            return;
        }
        if (auto* entry = dynamic_cast<wxTextEntry*>(focus))
        {
            entry->Copy();
            return;
        }
    }
    if (!GetDocument() || !m_core.HasSelection())
        return;
    CopyTextToClipboard(GridToWxString(m_core.BuildCopyText()));
}

void CCSVQuibboAppView::OnUpdateEditCopy(wxUpdateUIEvent& event)
{
    wxWindow* focus = wxWindow::FindFocus();
    if (focus && focus != m_grid)
    {
        if (auto* editor = dynamic_cast<wxStyledTextCtrl*>(focus))
        {
            event.Enable(!editor->GetSelectedText().empty());
            return;
        }
        if (auto* entry = dynamic_cast<wxTextEntry*>(focus))
        {
            event.Enable(entry->CanCopy());
            return;
        }
    }
    event.Enable(m_core.HasSelection());
}

void CCSVQuibboAppView::OnContextMenu(wxContextMenuEvent& event)
{
    if (!m_grid)
        return;
    // The grid tells its manager (which does nothing) and leaves the event to us.
    wxMenu menu;
    menu.Append(wxID_CUT, "Cu&t\tCtrl+X");
    menu.Append(wxID_COPY, "&Copy\tCtrl+C");
    menu.Append(wxID_PASTE, "&Paste\tCtrl+V");
    wxPoint point = event.GetPosition();
    m_grid->PopupMenu(&menu, point == wxDefaultPosition ? wxDefaultPosition : m_grid->ScreenToClient(point));
}
