#include "CsvDocumentCore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "EncodingTable.h"
#include "FindRun.h"
#include "MemChunkBuffer.h"
#include "TextConvert.h"

namespace {
constexpr uint64_t AsUnsigned(int64_t value)
{
    return static_cast<uint64_t>(value);
}

std::u16string SystemReason(int error)
{
    char buffer[256];
    // GNU strerror_r: returns the message, which may or may not live in buffer.
    const char* message = strerror_r(error, buffer, sizeof buffer);
    return Utf8ToUtf16(message ? message : "unknown error");
}

// open(2) and fstat(2) the path the way the reader will, without keeping it open. Only regular
// files are read: a FIFO or a device would block the reader or never end.
bool CheckReadable(const std::string& path, std::u16string& reason)
{
    if (path.empty())
    {
        reason = SystemReason(ENOENT);
        return false;
    }
    // O_NONBLOCK: opening a FIFO without a writer must not wait.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
    {
        reason = SystemReason(errno);
        return false;
    }
    struct stat info = {};
    bool ok = true;
    if (::fstat(fd, &info) != 0)
    {
        reason = SystemReason(errno);
        ok = false;
    }
    else if (S_ISDIR(info.st_mode))
    {
        reason = SystemReason(EISDIR);
        ok = false;
    }
    else if (!S_ISREG(info.st_mode))
    {
        reason = u"Not a regular file";
        ok = false;
    }
    ::close(fd);
    return ok;
}

char16_t JoinSeparator(int32_t kind)
{
    if (kind == 1)
        return u',';
    if (kind == 2)
        return u'\t';
    return u';';
}

std::u16string ToText(int64_t value)
{
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}
} // namespace

CsvDocumentCore::CsvDocumentCore(const CsvDocumentServices& documentServices)
    : services(documentServices)
{}

CsvDocumentCore::~CsvDocumentCore() = default;

void CsvDocumentCore::AddView(IRowsSink* view)
{
    if (!view || std::find(views.begin(), views.end(), view) != views.end())
        return;
    views.push_back(view);
    const std::deque<CSVSegment>& segments = cache.GetSegments();
    if (segments.empty())
        return;
    // A view opened on a document that already holds rows (Window > New Window) starts at the top.
    int64_t firstRow = 0;
    int64_t estimate = 0;
    const CSVSegment* first = GetSegment(0, false, firstRow, estimate);
    const int64_t lastEnd = segments.back().CSVEndLine;
    view->FillGrid(first ? first->rows : segments.front().rows, lastEnd + (segments.size() == 1 ? 20 : 10));
}

void CsvDocumentCore::RemoveView(IRowsSink* view)
{
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
}

void CsvDocumentCore::Log(const std::u16string& line)
{
    if (heldLines)
        heldLines->push_back(line);
    else if (services.log)
        services.log->AddLine(line);
}

int32_t CsvDocumentCore::GetSeparatorKind() const
{
    return cache.GetReader().GetSeparatorKind();
}

void CsvDocumentCore::LogDamage(const LCSVReader& from)
{
    // What the file's text lost or left open is told once per line of the file, however often
    // its segment is read again.
    const std::vector<int64_t>& cut = from.GetCutLinesOfLastRecord();
    if (!from.WasLastRecordUnclosed() && !from.WasLastRecordCut() && cut.empty()) [[likely]]
        return;
    for (const int64_t line : cut)
    {
        if (!toldCutLines.insert(line).second)
            continue;
        Log(u"Line cut at " + FormatNumber(static_cast<int64_t>(LTextFileReader::kMaxLineBytes)) +
            u" bytes; File line = " + FormatNumber(line) + u"; CSV line = " +
            FormatNumber(from.GetRecordCount()));
    }
    if (from.WasLastRecordUnclosed() && !toldUnclosedQuote)
    {
        toldUnclosedQuote = true;
        Log(u"Quotation mark not closed at end of file; CSV line = " + FormatNumber(from.GetRecordCount()) +
            u"; Quote opened at file line = " + FormatNumber(from.GetOpenQuoteLine()));
    }
    if (from.WasLastRecordCut() && toldCappedRecords.insert(from.GetRecordCount()).second)
    {
        Log(u"Quotation mark not closed within " +
            FormatNumber(static_cast<int64_t>(LCSVReader::kMaxRecordChars)) + u" characters; CSV line = " +
            FormatNumber(from.GetRecordCount()) + u"; Quote opened at file line = " +
            FormatNumber(from.GetOpenQuoteLine()));
    }
}

void CsvDocumentCore::LogMultiLine(int64_t record, int64_t firstLine, int64_t nextLine)
{
    // One string built in place: a long jump may log hundreds of thousands of these.
    std::u16string line;
    line.reserve(112);
    line += u"CSV line across several lines in file; CSV line = ";
    AppendFormattedNumber(line, record);
    line += u"; File start = ";
    AppendFormattedNumber(line, firstLine);
    line += u"; File end = ";
    AppendFormattedNumber(line, nextLine);
    Log(line);
}

bool CsvDocumentCore::ReadCSVFile(const std::string& filePath)
{
    // The reader opens any path, so check first that this one can be read, before anything changes.
    std::u16string reason;
    if (!CheckReadable(filePath, reason))
    {
        if (services.notifier)
        {
            services.notifier->Error(u"The file \"" + Utf8ToUtf16(filePath) +
                                     u"\" could not be opened for reading: " + reason + u".");
        }
        return false;
    }

    // Read into a fresh reader so that a failure leaves the document as it was.
    auto fresh = std::make_unique<LCSVReader>();
    fresh->SetFastPaths(cache.GetFastPaths());
    LMemChunkBuffer noSource;
    if (!fresh->Open(filePath.c_str(), noSource, nullptr))
    {
        if (services.notifier)
        {
            services.notifier->Error(u"The file \"" + Utf8ToUtf16(filePath) +
                                     u"\" could not be opened for reading.");
        }
        return false;
    }
    fresh->SetSeparatorKind(static_cast<SeparatorKind>(readOptions.separator));
    const int32_t codePage = GetEncodingCodePage(readOptions.encodingIndex);
    if (codePage > 0)
        fresh->GetTextFile().SetCodePage(codePage);

    CSVSegment first;
    toldCutLines.clear();
    toldUnclosedQuote = false;
    toldCappedRecords.clear();
    // What the first pass logs follows the line that tells the file was opened.
    std::vector<std::u16string> firstPassLines;
    heldLines = &firstPassLines;
    try
    {
        cache.ReadPass(*fresh, &first.rows, kSegmentRecords, false);
    }
    catch (...)
    {
        heldLines = nullptr;
        throw;
    }
    heldLines = nullptr;
    auto logFirstPass = [&] {
        for (const std::u16string& line : firstPassLines)
            Log(line);
    };
    first.CSVEndLine = fresh->GetRecordCount();
    first.FileBufferEndLine = fresh->GetCurrentLine() - 1;
    // Not a single record because the file could not be read: a failure, not an empty document.
    if (first.rows.empty() && fresh->GetLastReadStatus() == READLINES_READ_ERROR)
    {
        logFirstPass();
        if (services.notifier)
        {
            services.notifier->Error(u"The file \"" + Utf8ToUtf16(filePath) + u"\" could not be read: " +
                                     Utf8ToUtf16(fresh->GetTextFile().GetLastError()) + u".");
        }
        return false;
    }

    cache.Reset(std::move(fresh), std::move(first));
    path = filePath;
    hasFile = true;

    Log(u"File opened = " + Utf8ToUtf16(filePath) + u"; Total file lines detected = " +
        FormatNumber(cache.GetReader().GetTextFile().GetLineCount()));
    logFirstPass();

    const std::vector<IRowsSink*> targets = views;
    const CSVSegment& front = cache.GetSegments().front();
    for (IRowsSink* view : targets)
        view->FillGrid(front.rows, front.CSVEndLine + 20);
    return true;
}

bool CsvDocumentCore::OnOpenDocument(const std::string& filePath)
{
    if (!ReadCSVFile(filePath))
        return false;
    if (services.properties)
        services.properties->SetSettings(readOptions);
    return true;
}

bool CsvDocumentCore::ApplyReadOptions(const DocumentReadOptions& options)
{
    if (!hasFile)
        return false;
    const DocumentReadOptions previous = readOptions;
    readOptions = options;
    if (ReadCSVFile(path))
        return true;
    readOptions = previous;
    return false;
}

const CSVSegment* CsvDocumentCore::GetSegment(int64_t row, bool allowUnload, int64_t& firstRow,
                                              int64_t& totalEstimate)
{
    return cache.GetSegment(row, allowUnload, firstRow, totalEstimate);
}

void CsvDocumentCore::LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload)
{
    if (cache.GetSegments().empty())
        return;
    int64_t firstRow = 0;
    int64_t estimate = 0;
    const CSVSegment* segment = GetSegment(row, allowUnload, firstRow, estimate);
    if (!segment || !view)
        return;
    view->MergeRows(segment->rows, firstRow, estimate);
    if (AsUnsigned(row) > AsUnsigned(segment->CSVEndLine) - kReadAhead)
    {
        const CSVSegment* next = GetSegment(segment->CSVEndLine + 1, false, firstRow, estimate);
        if (next)
            view->MergeRows(next->rows, firstRow, estimate);
    }
}

void CsvDocumentCore::GetRowText(int64_t row, std::u16string& text)
{
    int64_t firstRow = 0;
    int64_t estimate = 0;
    const CSVSegment* segment = GetSegment(row, false, firstRow, estimate);
    if (!segment || row < firstRow)
        return;
    const uint64_t offset = AsUnsigned(row) - AsUnsigned(firstRow);
    if (offset >= segment->rows.size())
        return;
    const char16_t separator = JoinSeparator(cache.GetReader().GetSeparatorKind());
    const size_t start = text.size();
    for (const CSVFieldView field : segment->rows[offset])
    {
        if (field.quoted)
        {
            text += u'"';
            text += field.text;
            text += u'"';
        }
        else
        {
            text += field.text;
        }
        text += separator;
    }
    while (text.size() > start && text.back() == separator)
        text.pop_back();
}

void CsvDocumentCore::OnFindNext(IRowsSink* view, const std::u16string& searchText)
{
    if (searchText.empty())
        return;
    int64_t next = 1;
    int64_t selected = 0;
    if (view && view->GetLastSelectedRow(selected) && selected < std::numeric_limits<int64_t>::max())
        next = selected + 1;
    FindRun run(searchText, matchCase);
    if (cache.GetFastPaths() && cache.GetReader().CanScanRecords())
        run.UseBytePattern(cache.GetReader().PeekTextFile().GetCodePage());
    // Segments read during the search are searched while they are read (the cache's passes).
    struct RunGuard
    {
        SegmentCache& cache;
        ~RunGuard()
        {
            // Only an exception leaves segments without their rows here.
            cache.DropRowlessSegments();
            cache.SetFindRun(nullptr);
        }
    } runGuard{cache};
    cache.SetFindRun(&run);

    for (;;)
    {
        int64_t firstRow = 0;
        int64_t estimate = 0;
        const size_t index = cache.LocateSegment(next, true, firstRow, estimate);
        if (index == SegmentCache::kNoSegment)
        {
            cache.FillRowlessSegments();
            if (services.notifier)
                services.notifier->Info(u"End of document reached. No more occurrences found.");
            return;
        }
        const CSVSegment& segment = cache.GetSegments()[index];
        const size_t from =
            next > firstRow ? static_cast<size_t>(AsUnsigned(next) - AsUnsigned(firstRow)) : 0;
        size_t count = 0;
        const size_t hit = run.FirstHit(segment, cache.IsRowless(index), from, count);
        if (hit < count)
        {
            const int64_t rowNumber = firstRow + static_cast<int64_t>(hit);
            cache.FillRowlessSegments();
            if (view && view->SelectRow(rowNumber, segment.rows, firstRow, estimate) && services.rowDetails)
                services.rowDetails->FindText(run.GetText(), matchCase);
            return;
        }
        if (from < count)
            next = firstRow + static_cast<int64_t>(count);
        // Go on after the segment even when it came back short (the file shrank on disk): a search
        // that stayed on the same row would never end.
        if (next <= segment.CSVEndLine)
            next = segment.CSVEndLine + 1;
        Log(u"Searching at line = " + ToText(next));
    }
}

void CsvDocumentCore::OnGoToLine(IRowsSink* view, const std::u16string& text)
{
    if (text.empty())
        return;
    const int64_t row = ParseRecordNumber(text);
    int64_t firstRow = 0;
    int64_t estimate = 0;
    const CSVSegment* segment = GetSegment(row, true, firstRow, estimate);
    if (!segment || !view)
        return;
    view->SelectRow(row, segment->rows, firstRow, estimate);
}
