#include "CCSVQuibboAppDoc.h"

#include <utility>

#include <wx/utils.h>

#include "AppIds.h"
#include "CCSVQuibboAppView.h"
#include "CMainFrame.h"
#include "CMessageBoxInterface.h"
#include "COutputWnd.h"
#include "CPropertyView.h"
#include "CRowDetails.h"
#include "GridWxText.h"

// The panes and boxes of the main frame as the core sees them. The frame is looked up at each
// call: a document may outlive it briefly at exit, and tests may run without one.
//
// While the document runs a command its log lines are held and reach the Output pane in one
// update when the command ends (or before a message box shows): a pass over a large file may log
// hundreds of thousands of lines, of which the pane keeps 500. Only the newest lines that can
// still matter are held, so holding costs no more memory than the pane itself.
class CCSVQuibboAppDoc::Services : public ILogSink,
                                   public IPropertiesSink,
                                   public IRowDetailsSink,
                                   public INotifier
{
public:
    void AddLine(const std::u16string& line) override
    {
        if (m_holding == 0)
        {
            if (COutputWnd* pane = OutputPane())
                pane->AddLine(GridToWxString(line));
            return;
        }
        // A ring of the newest kHeld lines; the strings keep their buffers from turn to turn.
        if (m_held.size() < kHeld)
            m_held.push_back(line);
        else
            m_held[m_heldTotal % kHeld] = line;
        ++m_heldTotal;
    }

    // Command scope: lines are held from the outermost Hold to its Release.
    static void Hold() { ++m_holding; }

    static void Release()
    {
        if (--m_holding == 0)
            Flush();
    }

    // Hands the held lines to the pane, oldest first.
    static void Flush()
    {
        if (m_heldTotal == 0)
            return;
        std::vector<wxString> lines;
        lines.reserve(m_held.size());
        const size_t start = m_held.size() < kHeld ? 0 : m_heldTotal % kHeld;
        for (size_t i = 0; i < m_held.size(); ++i)
            lines.push_back(GridToWxString(m_held[(start + i) % m_held.size()]));
        const size_t total = m_heldTotal;
        m_held.clear();
        m_heldTotal = 0;
        if (COutputWnd* pane = OutputPane())
            pane->AddLines(lines, total);
    }

    void SetSettings(const DocumentReadOptions& options) override
    {
        if (CMainFrame* frame = GetMainFrame(); frame && frame->GetPropertiesPane())
            frame->GetPropertiesPane()->SetSettings(options);
    }

    void FindText(const std::u16string& text, bool matchCase) override
    {
        if (CMainFrame* frame = GetMainFrame(); frame && frame->GetRowDetailsPane())
            frame->GetRowDetailsPane()->FindText(GridToWxString(text), matchCase);
    }

    void Info(const std::u16string& text) override { ShowBox(text, wxOK | wxICON_INFORMATION); }

    void Error(const std::u16string& text) override { ShowBox(text, wxOK | wxICON_ERROR); }

private:
    static constexpr size_t kHeld = COutputWnd::kMaxLines + 1;

    // A message box lets the window paint: the pane shows everything logged before it, and what
    // is logged while it is up (a repaint that reads a segment again) goes to the pane at once.
    static void ShowBox(const std::u16string& text, long style)
    {
        Flush();
        struct Resume
        {
            int holding = std::exchange(m_holding, 0);
            ~Resume() { m_holding = holding; }
        } resume;
        AppMessageBox(GridToWxString(text), style);
    }

    static COutputWnd* OutputPane()
    {
        CMainFrame* frame = GetMainFrame();
        return frame ? frame->GetOutputPane() : nullptr;
    }

    // One hold for every document (GUI thread only): a line one document logs while another's
    // command runs still reaches the pane in the order logged.
    static inline std::vector<std::u16string> m_held;
    static inline size_t m_heldTotal = 0;
    static inline int m_holding = 0;
};

// Holds the documents' log lines for the length of a command.
class CCSVQuibboAppDoc::LogBurst
{
public:
    LogBurst() { Services::Hold(); }

    ~LogBurst()
    {
        try
        {
            Services::Release();
        }
        catch (...)
        {
            // Out of memory while an exception unwinds: the held lines are lost, not the program.
        }
    }

    LogBurst(const LogBurst&) = delete;
    LogBurst& operator=(const LogBurst&) = delete;
};

wxIMPLEMENT_DYNAMIC_CLASS(CCSVQuibboAppDoc, wxDocument);

// clang-format off
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
// clang-format on

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
        LogBurst burst;
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
    LogBurst burst;
    return m_core->ApplyReadOptions(options);
}

void CCSVQuibboAppDoc::LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload)
{
    LogBurst burst;
    m_core->LoadRowsIntoView(view, row, allowUnload);
}

void CCSVQuibboAppDoc::GetRowText(int64_t row, std::u16string& text)
{
    LogBurst burst;
    m_core->GetRowText(row, text);
}

bool CCSVQuibboAppDoc::GetSegmentRows(int64_t row, std::vector<CSVRecord>& rows, int64_t& firstRow,
                                      int64_t& totalEstimate)
{
    LogBurst burst;
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
    LogBurst burst;
    m_core->OnFindNext(GetCommandView(), GridFromWxString(text));
}

void CCSVQuibboAppDoc::OnGoToLine(wxCommandEvent&)
{
    CMainFrame* frame = GetMainFrame();
    wxString text = frame ? frame->GetGotoLineText() : wxString();
    if (text.empty())
        return;
    LogBurst burst;
    m_core->OnGoToLine(GetCommandView(), GridFromWxString(text));
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
