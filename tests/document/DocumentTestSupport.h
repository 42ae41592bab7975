// Fixtures and recording sinks shared by the document core tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "CsvDocumentCore.h"

namespace documenttest {
std::string Narrow(std::u16string_view text);
std::u16string Widen(const std::string& text);

// A folder in the system's temp directory, removed with its files.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string Path(const std::string& name) const;

private:
    std::filesystem::path root;
};

struct FixtureOptions
{
    bool finalBreak = false;
    bool crlf = false;
    // Records written as a quoted field over three physical lines.
    std::set<int64_t> multiLine;
};

// n records "r<i>;<i%7>;v<i>" (record numbers from 1), or the multi-line form for the given ones.
std::string MakeRecords(int64_t n, const FixtureOptions& options = {});

// Little-endian UTF-16 with its byte-order mark.
std::string ToUtf16LeWithBom(const std::u16string& text);

// Every record of a file, read straight through.
std::vector<CSVRecord> ReadAllRecords(const std::string& path, int32_t separator = 0, int32_t codePage = 0);

// The CSV text of a record as the document writes it.
std::u16string JoinRecord(const CSVRecord& record, char16_t separator);

struct LogRecorder : ILogSink
{
    void AddLine(const std::u16string& line) override { lines.push_back(Narrow(line)); }
    std::vector<std::string> lines;
};

struct NotifierRecorder : INotifier
{
    void Info(const std::u16string& text) override { infos.push_back(Narrow(text)); }
    void Error(const std::u16string& text) override { errors.push_back(Narrow(text)); }
    std::vector<std::string> infos;
    std::vector<std::string> errors;
};

struct PropertiesRecorder : IPropertiesSink
{
    void SetSettings(const DocumentReadOptions& options) override { shown.push_back(options); }
    std::vector<DocumentReadOptions> shown;
};

struct RowDetailsRecorder : IRowDetailsSink
{
    void FindText(const std::u16string& text, bool matchCase) override
    {
        finds.push_back({Narrow(text), matchCase});
    }
    std::vector<std::pair<std::string, bool>> finds;
};

// A view that records what it is given and holds a selection that SelectRow moves.
struct ViewRecorder : IRowsSink
{
    struct Call
    {
        std::string kind;
        int64_t row = 0;
        int64_t firstRow = 0;
        int64_t estimate = 0;
        size_t rowCount = 0;
    };

    void FillGrid(const std::vector<CSVRecord>& rows, int64_t totalEstimate) override
    {
        calls.push_back({"FillGrid", 0, 1, totalEstimate, rows.size()});
    }
    void MergeRows(const std::vector<CSVRecord>& rows, int64_t firstRow, int64_t totalEstimate) override
    {
        calls.push_back({"MergeRows", 0, firstRow, totalEstimate, rows.size()});
    }
    bool SelectRow(int64_t row, const std::vector<CSVRecord>& rows, int64_t firstRow,
                   int64_t totalEstimate) override
    {
        calls.push_back({"SelectRow", row, firstRow, totalEstimate, rows.size()});
        // As the grid does: the row is selected only when the segment holds it.
        hasSelection = row >= firstRow && row < firstRow + static_cast<int64_t>(rows.size());
        selectedRow = row;
        return true;
    }
    bool GetLastSelectedRow(int64_t& row) override
    {
        row = selectedRow;
        return hasSelection;
    }
    void Select(int64_t row)
    {
        hasSelection = true;
        selectedRow = row;
    }

    std::vector<Call> calls;
    bool hasSelection = false;
    int64_t selectedRow = 0;
};

// A document core wired to recorders.
struct RecordedDocument
{
    RecordedDocument()
        : core(CsvDocumentServices{&log, &properties, &rowDetails, &notifier})
    {}
    LogRecorder log;
    PropertiesRecorder properties;
    RowDetailsRecorder rowDetails;
    NotifierRecorder notifier;
    CsvDocumentCore core;
};
// Everything a caller can see of two documents after the same call is the same: segments (bounds,
// released or not, rows), the loaded count and peak, Output lines, message boxes, Row details
// searches, every view call with its row, first row, estimate and row count, and the selection.
void ExpectSameState(const RecordedDocument& fast, const RecordedDocument& plain,
                     const ViewRecorder& fastView, const ViewRecorder& plainView);
// The offset just after the first `lines` line feeds of `bytes`: a file cut there keeps those lines.
size_t OffsetAfterLines(const std::string& bytes, int lines);

// A document over `records` generated records, read and paged to its last record with unloading
// allowed, so that its first segments keep only their bounds. `ready` says that both worked.
struct DocumentPagedToItsEnd
{
    DocumentPagedToItsEnd(int64_t records, const std::string& name);

    TempDir dir;
    std::string bytes;
    std::string path;
    RecordedDocument doc;
    ViewRecorder view;
    bool ready = false;
};

} // namespace documenttest
