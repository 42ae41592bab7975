#include "CCSVQuibboAppDoc.h"

#include <wx/utils.h>

#include "AppIds.h"
#include "CCSVQuibboAppView.h"
#include "CMainFrame.h"
#include "CMessageBoxInterface.h"
#include "COutputWnd.h"
#include "CPropertyView.h"
#include "CRowDetails.h"
#include "StringConvert.h"

// The panes and boxes of the main frame as the core sees them. The frame is looked up at each
// call: a document may outlive it briefly at exit, and tests may run without one.
class CCSVQuibboAppDoc::Services : public ILogSink, public IPropertiesSink, public IRowDetailsSink, public INotifier
{
public:
    void AddLine(const std::u16string& line) override
    {
        if (CMainFrame* frame = GetMainFrame(); frame && frame->GetOutputPane())
            frame->GetOutputPane()->AddLine(ToWxString(line));
    }

    void SetSettings(const DocumentReadOptions& options) override
    {
        if (CMainFrame* frame = GetMainFrame(); frame && frame->GetPropertiesPane())
            frame->GetPropertiesPane()->SetSettings(options);
    }

    void FindText(const std::u16string& text, bool matchCase) override
    {
        if (CMainFrame* frame = GetMainFrame(); frame && frame->GetRowDetailsPane())
            frame->GetRowDetailsPane()->FindText(ToWxString(text), matchCase);
    }

    void Info(const std::u16string& text) override { AppMessageBox(ToWxString(text), wxOK | wxICON_INFORMATION); }

    void Error(const std::u16string& text) override { AppMessageBox(ToWxString(text), wxOK | wxICON_ERROR); }
};

wxIMPLEMENT_DYNAMIC_CLASS(CCSVQuibboAppDoc, wxDocument);

wxBEGIN_EVENT_TABLE(CCSVQuibboAppDoc, wxDocument)
    EVT_MENU(ID_FIND_NEXT, CCSVQuibboAppDoc::OnFindNext)
    EVT_MENU(ID_SEARCH_COMBO, CCSVQuibboAppDoc::OnFindNext)
    EVT_MENU(ID_GOTO_LINE_COMBO, CCSVQuibboAppDoc::OnGoToLine)
    EVT_MENU(ID_MATCH_CASE, CCSVQuibboAppDoc::OnMatchCase)
    EVT_UPDATE_UI(ID_MATCH_CASE, CCSVQuibboAppDoc::OnUpdateMatchCase)
    EVT_UPDATE_UI(ID_FIND_NEXT, CCSVQuibboAppDoc::OnUpdateEnable)
    EVT_UPDATE_UI(ID_SEARCH_COMBO, CCSVQuibboAppDoc::OnUpdateEnable)
    EVT_UPDATE_UI(ID_GOTO_LINE_COMBO, CCSVQuibboAppDoc::OnUpdateEnable)
wxEND_EVENT_TABLE()

CCSVQuibboAppDoc::CCSVQuibboAppDoc()
    : m_services(std::make_unique<Services>())
{
    CsvDocumentServices services;
    services.log = m_services.get();
    services.properties = m_services.get();
    services.rowDetails = m_services.get();
    services.notifier = m_services.get();
    m_core = std::make_unique<CsvDocumentCore>(services);
}

CCSVQuibboAppDoc::~CCSVQuibboAppDoc() = default;

bool CCSVQuibboAppDoc::OnOpenDocument(const wxString& path)
{
    bool ok;
    {
        wxBusyCursor wait;
        ok = m_core->OnOpenDocument(std::string(path.fn_str()));
    }
    if (!ok)
        return false;
    SetFilename(path, true);
    Modify(false);
    SetDocumentSaved(true);
    return true;
}

bool CCSVQuibboAppDoc::OnNewDocument()
{
    return wxDocument::OnNewDocument();
}

bool CCSVQuibboAppDoc::OnSaveDocument(const wxString&)
{
    Modify(false);
    return true;
}

bool CCSVQuibboAppDoc::Save()
{
    Modify(false);
    return true;
}

bool CCSVQuibboAppDoc::SaveAs()
{
    return Save();
}

bool CCSVQuibboAppDoc::OnSaveModified()
{
    return true;
}

bool CCSVQuibboAppDoc::Revert()
{
    return false;
}

bool CCSVQuibboAppDoc::ApplyReadOptions(const DocumentReadOptions& options)
{
    wxBusyCursor wait;
    return m_core->ApplyReadOptions(options);
}

void CCSVQuibboAppDoc::LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload)
{
    m_core->LoadRowsIntoView(view, row, allowUnload);
}

void CCSVQuibboAppDoc::GetRowText(int64_t row, std::u16string& text)
{
    m_core->GetRowText(row, text);
}

bool CCSVQuibboAppDoc::GetSegmentRows(int64_t row, std::vector<CSVRecord>& rows, int64_t& firstRow,
                                      int64_t& totalEstimate)
{
    const CSVSegment* segment = m_core->GetSegment(row, true, firstRow, totalEstimate);
    if (!segment)
        return false;
    rows = segment->rows;
    return true;
}

IRowsSink* CCSVQuibboAppDoc::GetCommandView() const
{
    if (CMainFrame* frame = GetMainFrame())
    {
        if (auto* child = dynamic_cast<wxDocChildFrameAnyBase*>(frame->GetActiveChild()))
            if (child->GetDocument() == this)
                if (auto* view = dynamic_cast<CCSVQuibboAppView*>(child->GetView()))
                    return &view->GetCore();
    }
    for (wxView* view : GetViewsVector())
        if (auto* csvView = dynamic_cast<CCSVQuibboAppView*>(view))
            return &csvView->GetCore();
    return nullptr;
}

void CCSVQuibboAppDoc::OnFindNext(wxCommandEvent&)
{
    CMainFrame* frame = GetMainFrame();
    wxString text = frame ? frame->GetSearchText() : wxString();
    if (text.empty())
        return;
    wxBusyCursor wait;
    m_core->OnFindNext(GetCommandView(), ToU16String(text));
}

void CCSVQuibboAppDoc::OnGoToLine(wxCommandEvent&)
{
    CMainFrame* frame = GetMainFrame();
    wxString text = frame ? frame->GetGotoLineText() : wxString();
    if (text.empty())
        return;
    m_core->OnGoToLine(GetCommandView(), ToU16String(text));
}

void CCSVQuibboAppDoc::OnMatchCase(wxCommandEvent&)
{
    m_core->OnMatchCase();
}

void CCSVQuibboAppDoc::OnUpdateMatchCase(wxUpdateUIEvent& event)
{
    event.Enable(true);
    event.Check(m_core->GetMatchCase());
}

void CCSVQuibboAppDoc::OnUpdateEnable(wxUpdateUIEvent& event)
{
    event.Enable(true);
}
