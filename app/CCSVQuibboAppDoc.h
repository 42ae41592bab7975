// The wx document of one CSV file. It owns the document core (segment cache, find, go to line,
// row text) and forwards to it; it reaches the panes through the main frame and reads the toolbar
// boxes there. It never writes its file: Save does no I/O. GUI thread only.
#pragma once

#include <memory>

#include <wx/docview.h>

#include "CsvDocumentCore.h"
#include "CsvViewCore.h"

class CCSVQuibboAppDoc : public wxDocument, public ICsvViewDocument
{
public:
    CCSVQuibboAppDoc();
    ~CCSVQuibboAppDoc() override;

    bool OnOpenDocument(const wxString& path) override;
    bool OnNewDocument() override;
    // Nothing the user can change is kept in the document, so nothing is ever written.
    bool OnSaveDocument(const wxString& path) override;
    bool Save() override;
    bool SaveAs() override;
    bool OnSaveModified() override;
    bool Revert() override;

    // Properties > Apply: new options, the file read again.
    bool ApplyReadOptions(const DocumentReadOptions& options);

    CsvDocumentCore& GetCore() { return *m_core; }

    // ICsvViewDocument
    void LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload) override;
    void GetRowText(int64_t row, std::u16string& text) override;
    bool GetSegmentRows(int64_t row, std::vector<CSVRecord>& rows, int64_t& firstRow,
                        int64_t& totalEstimate) override;

private:
    class Services;
    class LogBurst;

    // The view that gave the command: the active child's, or the first one.
    IRowsSink* GetCommandView() const;

    void OnFindNext(wxCommandEvent& event);
    void OnGoToLine(wxCommandEvent& event);
    void OnMatchCase(wxCommandEvent& event);
    void OnUpdateMatchCase(wxUpdateUIEvent& event);
    void OnUpdateEnable(wxUpdateUIEvent& event);

    std::unique_ptr<Services> m_services;
    std::unique_ptr<CsvDocumentCore> m_core;

    wxDECLARE_DYNAMIC_CLASS(CCSVQuibboAppDoc);
    wxDECLARE_EVENT_TABLE();
};
