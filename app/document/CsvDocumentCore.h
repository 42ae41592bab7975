// The window-free part of the CSV document: it keeps one LCSVReader open on the file and pages the
// file's records through a list of segments of at most 5,000 records, read on demand, released when
// more than 20 hold rows, and read again when needed. It also answers find next, go to line and the
// CSV text of a row. GUI thread only; nothing here locks. The paging is its SegmentCache
// (SegmentCache.h), the state of a find next while it runs a FindRun (FindRun.h).
//
// Wiring on the wx side (CCSVQuibboAppDoc owns one CsvDocumentCore and forwards to it):
// - Construct it with CsvDocumentServices: adapters that reach the main frame's Output pane (AddLine),
//   Properties pane (SetSettings), Row details pane (FindText), and a notifier that shows wxMessageBox
//   (Info: wxOK | wxICON_INFORMATION; Error: wxOK | wxICON_ERROR). Any pointer may be null.
// - Every CCSVQuibboAppView implements IRowsSink, calls AddView(this) once its grid exists and
//   RemoveView(this) before it goes away. ReadCSVFile fills every registered view; LoadRowsIntoView,
//   OnFindNext and OnGoToLine act on the view passed in (the one that gave the command; null is fine).
// - OnOpenDocument(path): call core.OnOpenDocument(path); on true do what wxDocument's base does:
//   SetFilename(path, true), Modify(false), SetDocumentSaved(true). On false return false (the core
//   has already shown the error box naming the file). The core never leaves the document modified.
// - OnSaveDocument: no I/O, Modify(false), return true. wxID_SAVE on an untitled document: nothing.
// - Properties > Apply: core.ApplyReadOptions(options); it does nothing on an untitled document and
//   keeps the old options, rows and views when the read fails.
// - Commands: ID_FIND_NEXT / ID_SEARCH_COMBO -> OnFindNext(view, search box text) under wxBusyCursor;
//   ID_GOTO_LINE_COMBO -> OnGoToLine(view, go-to box text); ID_MATCH_CASE -> OnMatchCase();
//   its update handler checks GetMatchCase(). ReadCSVFile may show wxBusyCursor around it.
// - The view's OnScroll calls LoadRowsIntoView(this, top row, true), OnBeforePaint
//   LoadRowsIntoView(this, row, false); its selection and Copy call GetRowText per row.
// Paths are file-system byte strings (UTF-8 on this system): pass wxString::fn_str().
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "CSVReader.h"
#include "CaseFolding.h"
#include "DocumentReadOptions.h"
#include "DocumentSinks.h"
#include "SegmentCache.h"

// The panes and boxes the document reports to; each may be null.
struct CsvDocumentServices
{
    ILogSink* log = nullptr;
    IPropertiesSink* properties = nullptr;
    IRowDetailsSink* rowDetails = nullptr;
    INotifier* notifier = nullptr;
};

// The document's log (the Output pane) is what its segment cache tells.
class CsvDocumentCore : private SegmentCacheLog
{
public:
    static constexpr int64_t kSegmentRecords = SegmentCache::kSegmentRecords;
    // More loaded segments than this make an unloading call release rows.
    static constexpr size_t kMaxLoadedSegments = SegmentCache::kMaxLoadedSegments;
    // Reading forward stops once the last segment ends this many records past the asked row.
    static constexpr int64_t kReadAhead = SegmentCache::kReadAhead;

    explicit CsvDocumentCore(const CsvDocumentServices& services = {});
    ~CsvDocumentCore() override;
    CsvDocumentCore(const CsvDocumentCore&) = delete;
    CsvDocumentCore& operator=(const CsvDocumentCore&) = delete;

    // --- views ---
    // Registers a view; when the document already holds rows the view is filled with the first segment.
    void AddView(IRowsSink* view);
    void RemoveView(IRowsSink* view);

    // --- reading ---
    // Reads the document from path with readOptions: the first segment, the log line, FillGrid on
    // every view. A path that cannot be opened for reading shows an error naming the file and the
    // system's reason and returns false with the document unchanged.
    bool ReadCSVFile(const std::string& path);
    // ReadCSVFile, then the Properties pane is shown readOptions.
    bool OnOpenDocument(const std::string& path);
    // Properties > Apply: sets the options and reads the file again. Untitled document: nothing, false.
    // A failed read keeps the previous options together with the previous rows.
    bool ApplyReadOptions(const DocumentReadOptions& options);

    // The segment whose record range holds row (compared without sign: 0 is the smallest row, a
    // negative one larger than all), read or re-read from the file when needed; null for none.
    // firstRow receives the number of its first record, totalEstimate the row total the view is to
    // assume (0 when no new segment was read). The pointer stays valid until the next ReadCSVFile.
    const CSVSegment* GetSegment(int64_t row, bool allowUnload, int64_t& firstRow, int64_t& totalEstimate);

    // Puts the segment holding row, and the next one when row lies within 500 rows of its end, into view.
    void LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload);

    // Appends the row's CSV text to text (nothing when the row does not exist).
    void GetRowText(int64_t row, std::u16string& text);

    // --- commands ---
    void OnMatchCase() { matchCase = !matchCase; }
    bool GetMatchCase() const { return matchCase; }
    // Finds the next row holding searchText inside one field, from the row after view's selection.
    void OnFindNext(IRowsSink* view, const std::u16string& searchText);
    // Goes to the record number in text (leading digits, as _wcstoi64 reads them).
    void OnGoToLine(IRowsSink* view, const std::u16string& text);

    // --- state ---
    const DocumentReadOptions& GetReadOptions() const { return readOptions; }
    void SetReadOptions(const DocumentReadOptions& options) { readOptions = options; }
    bool HasFile() const { return hasFile; }
    const std::string& GetPath() const { return path; }
    const std::deque<CSVSegment>& GetSegments() const { return cache.GetSegments(); }
    size_t GetLoadedSegmentCount() const { return cache.GetLoadedCount(); }
    // The most segments that held rows at once since the last reset (measured by csvq-bench).
    size_t GetPeakLoadedSegmentCount() const { return cache.GetPeakLoadedCount(); }
    void ResetPeakLoadedSegmentCount() { cache.ResetPeakLoadedCount(); }
    // The reader's separator kind (that of the last successful read).
    int32_t GetSeparatorKind() const;
    // The fast paths on or off: passes that keep no rows find record ends on the file's bytes, and
    // find next decodes only the records whose bytes may hold the search text. On unless the
    // environment variable CSVQ_FAST_PATHS is "off"; every result is the same either way.
    void SetFastPaths(bool enabled) { cache.SetFastPaths(enabled); }
    bool GetFastPaths() const { return cache.GetFastPaths(); }
    // Records passed on the file's bytes since the document was created (measured by the tests).
    uint64_t GetScannedRecordCount() const { return cache.GetScannedRecordCount(); }
    // Test hook: false makes every pass store its rows, even one released before the call returns.
    void SetPassesWithoutRows(bool enabled) { cache.SetPassesWithoutRows(enabled); }
    // Passes read that kept only bounds, since the document was created.
    uint64_t GetPassesWithoutRowsCount() const { return cache.GetPassesWithoutRowsCount(); }

private:
    // Logs the lines of the record just read that were cut, and a quote left open by the end of
    // the file or ended by the length cap, each once per read of the file.
    void LogDamage(const LCSVReader& from) override;
    void Log(const std::u16string& line) override;
    // "CSV line across several lines in file; ..." for a record and its first and next line.
    void LogMultiLine(int64_t record, int64_t firstLine, int64_t nextLine) override;

    DocumentReadOptions readOptions;
    bool matchCase = false;

    CsvDocumentServices services;
    std::vector<IRowsSink*> views;
    std::string path;
    bool hasFile = false;
    // The file lines whose cut was logged, and whether the quote open at the end was.
    std::set<int64_t> toldCutLines;
    bool toldUnclosedQuote = false;
    // The records whose open quote the length cap ended, told once per read of the file.
    std::set<int64_t> toldCappedRecords;
    // While the first pass of a read runs, the lines it logs are held here.
    std::vector<std::u16string>* heldLines = nullptr;
    // The reader, the segments and their passes.
    SegmentCache cache{*this};
};

// value as text with "." between groups of three digits and a leading "-".
std::u16string FormatNumber(int64_t value);
// FormatNumber(value) appended to out.
void AppendFormattedNumber(std::u16string& out, int64_t value);

// The text of the go-to-line box as a record number: leading white space, an optional sign, the
// leading decimal digits; 0 without digits; clamped to the 64-bit limits.
int64_t ParseRecordNumber(const std::u16string& text);
