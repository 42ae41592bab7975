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
    : reader(std::make_unique<LCSVReader>())
    , services(documentServices)
{}

CsvDocumentCore::~CsvDocumentCore() = default;

void CsvDocumentCore::AddView(IRowsSink* view)
{
    if (!view || std::find(views.begin(), views.end(), view) != views.end())
        return;
    views.push_back(view);
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
    return reader->GetSeparatorKind();
}

int64_t CsvDocumentCore::FirstRowOf(size_t index) const
{
    return index == 0 ? 1 : segments[index - 1].CSVEndLine + 1;
}

bool CsvDocumentCore::ReadPass(LCSVReader& from, std::vector<CSVRecord>* rows, int64_t maxRecords,
                               bool logMultiLine, std::vector<uint8_t>* verdicts, bool logErrors)
{
    if (rows)
        rows->reserve(static_cast<size_t>(std::clamp<int64_t>(maxRecords, 0, kSegmentRecords)));
    // Each record is read straight into a record of a released segment when one is left, whose
    // field array and texts are reused: the segment cache then costs the allocator next to nothing.
    // Without rows, into one reused record.
    bool ended = false;
    // Without rows, records are passed on the file's bytes while the scanner can tell them; while
    // find next runs, only those whose bytes cannot hold the needle. The reader reads the others.
    bool scanning = fastPaths && !rows && (!verdicts || !scanPattern.Empty());
    struct MultiLineLog : RecordScanObserver
    {
        MultiLineLog(CsvDocumentCore& core, bool enabled) : core(core), enabled(enabled) {}
        void OnMultiLineRecord(int64_t record, int64_t firstLine, int64_t nextLine) override
        {
            if (enabled)
                core.LogMultiLine(record, firstLine, nextLine);
        }
        CsvDocumentCore& core;
        bool enabled;
    } multiLineLog{*this, logMultiLine};
    for (int64_t count = 0; count < maxRecords; ++count)
    {
        if (scanning)
        {
            int64_t advanced = 0;
            const ScanStop stop = from.ScanRecords(maxRecords - count, verdicts ? &scanPattern : nullptr,
                                                   &multiLineLog, advanced);
            scannedRecords += static_cast<uint64_t>(advanced);
            if (verdicts)
                verdicts->insert(verdicts->end(), static_cast<size_t>(advanced), uint8_t(0));
            count += advanced;
            if (count >= maxRecords)
                break;
            if (stop == ScanStop::Unavailable)
                scanning = false;
        }
        const int64_t startLine = from.GetCurrentLine();
        CSVRecord* record = &scratchRecord;
        if (rows)
        {
            if (pendingNext < pendingRows.size())
                rows->push_back(TakePendingRow());
            else
                rows->emplace_back();
            record = &rows->back();
        }
        if (!from.ReadRecordInto(*record, false))
        {
            if (rows)
                rows->pop_back();
            // The end of the file, or a read that failed: both end the segment, only the failure is told.
            if (logErrors && from.GetLastReadStatus() == READLINES_READ_ERROR)
            {
                Log(u"Read error in file = " + Utf8ToUtf16(from.GetPath()) + u"; " +
                    Utf8ToUtf16(from.GetTextFile().GetLastError()));
            }
            ended = true;
            break;
        }
        const int64_t endLine = from.GetCurrentLine();
        if (logMultiLine && endLine - startLine > 1)
            LogMultiLine(from.GetRecordCount(), startLine, endLine);
        if (logErrors)
            LogDamage(from);
        // While find next runs, each record is searched as soon as it is read, still in the cache.
        if (verdicts)
            verdicts->push_back(RowContains(*record, *scanNeedle));
        if (rows)
            TrimSlack(*record);
    }
    // One long field read without rows is not kept around in the reused record either.
    if (scratchRecord.TextCapacity() > kMaxKeptTextUnits)
        scratchRecord = CSVRecord();
    return ended;
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
            u" bytes; File line = " + FormatNumber(line) + u"; CSV line = " + FormatNumber(from.GetRecordCount()));
    }
    if (from.WasLastRecordUnclosed() && !toldUnclosedQuote)
    {
        toldUnclosedQuote = true;
        Log(u"Quotation mark not closed at end of file; CSV line = " + FormatNumber(from.GetRecordCount()) +
            u"; Quote opened at file line = " + FormatNumber(from.GetOpenQuoteLine()));
    }
    if (from.WasLastRecordCut() && toldCappedRecords.insert(from.GetRecordCount()).second)
    {
        Log(u"Quotation mark not closed within " + FormatNumber(static_cast<int64_t>(LCSVReader::kMaxRecordChars)) +
            u" characters; CSV line = " + FormatNumber(from.GetRecordCount()) + u"; Quote opened at file line = " +
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

void CsvDocumentCore::SetFastPaths(bool enabled)
{
    fastPaths = enabled;
    reader->SetFastPaths(enabled);
}

void CsvDocumentCore::TrimSlack(CSVRecord& record)
{
    // A reused record keeps the buffers of the one it held before: one far larger than its new
    // content (a long quoted field, many more fields) is given back, so that the rows held stay
    // near the size of the records they hold.
    record.TrimSlack();
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
    fresh->SetFastPaths(fastPaths);
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
        ReadPass(*fresh, &first.rows, kSegmentRecords, false);
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

    reader = std::move(fresh);
    segments.clear();
    loaded.clear();
    rowless.clear();
    findVerdicts.clear();
    segments.push_back(std::move(first));
    peakLoaded = 0;
    MarkLoaded(0);
    path = filePath;
    hasFile = true;

    Log(u"File opened = " + Utf8ToUtf16(filePath) + u"; Total file lines detected = " +
        FormatNumber(reader->GetTextFile().GetLineCount()));
    logFirstPass();

    const std::vector<IRowsSink*> targets = views;
    for (IRowsSink* view : targets)
        view->FillGrid(segments.front().rows, segments.front().CSVEndLine + 20);
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

void CsvDocumentCore::MarkLoaded(size_t index)
{
    loaded.insert(index);
    peakLoaded = std::max(peakLoaded, loaded.size());
}

void CsvDocumentCore::ReleaseSegment(size_t index)
{
    CSVSegment& segment = segments[index];
    if (rowless.erase(index) == 0)
    {
        // The rows are reused by the next records read (ReadPass) and freed when the call ends.
        FreePendingRows();
        pendingRows.swap(segment.rows);
    }
    segment.unloaded = true;
    loaded.erase(index);
    findVerdicts.erase(&segment);
}

CSVRecord CsvDocumentCore::TakePendingRow()
{
    // The released rows were read long ago and are out of the caches: fetch them a few records
    // ahead, the field arrays first and their texts once those have arrived, so that the copies
    // do not wait on memory one block at a time.
    constexpr size_t kFieldsAhead = 32;
    constexpr size_t kTextsAhead = 16;
    const size_t size = pendingRows.size();
    if (pendingNext + kFieldsAhead < size)
    {
        const std::u16string_view text = pendingRows[pendingNext + kFieldsAhead].Text();
        __builtin_prefetch(text.data(), 1);
    }
    if (pendingNext + kTextsAhead < size)
    {
        const std::u16string_view text = pendingRows[pendingNext + kTextsAhead].Text();
        for (size_t offset = 64; offset < std::min<size_t>(text.size() * sizeof(char16_t), 1024); offset += 64)
            __builtin_prefetch(reinterpret_cast<const char*>(text.data()) + offset, 1);
    }
    return std::move(pendingRows[pendingNext++]);
}

void CsvDocumentCore::FreePendingRows()
{
    std::vector<CSVRecord>().swap(pendingRows);
    pendingNext = 0;
}

void CsvDocumentCore::TrimLoadedSegments(size_t keep, size_t limit)
{
    // The segment before keep is kept as well: reading forward may return either of the two.
    const size_t keepLow = keep > 0 ? keep - 1 : 0;
    while (loaded.size() > limit)
    {
        const size_t low = *loaded.begin();
        const size_t high = *loaded.rbegin();
        const bool lowOk = low < keepLow;
        const bool highOk = high > keep;
        if (!lowOk && !highOk)
            return;
        // Farthest first; on a tie the front one, as reading forward releases from the front.
        if (lowOk && (!highOk || keepLow - low >= high - keep))
            ReleaseSegment(low);
        else
            ReleaseSegment(high);
    }
}

void CsvDocumentCore::FillRowlessSegments()
{
    // Ascending, so that segments next to each other are read in one run.
    for (const size_t index : rowless)
    {
        CSVSegment& segment = segments[index];
        const int64_t startLine = index == 0 ? 0 : segments[index - 1].FileBufferEndLine + 1;
        const int64_t startCount = index == 0 ? 0 : segments[index - 1].CSVEndLine;
        if (reader->GetCurrentLine() != startLine || reader->GetRecordCount() != startCount)
            reader->SetPosition(startLine, startCount);
        // Its pass has told the records across several lines and any read failure already. A file
        // changed on disk since gives what it now holds, as a reload would.
        ReadPass(*reader, &segment.rows, segment.CSVEndLine - startCount, false, nullptr, false);
    }
    rowless.clear();
}

void CsvDocumentCore::DropRowlessSegments()
{
    for (const size_t index : rowless)
    {
        segments[index].unloaded = true;
        loaded.erase(index);
        findVerdicts.erase(&segments[index]);
    }
    rowless.clear();
}

const CSVSegment* CsvDocumentCore::GetSegment(int64_t row, bool allowUnload, int64_t& firstRow,
                                              int64_t& totalEstimate)
{
    size_t index = kNoSegment;
    try
    {
        index = LocateSegment(row, allowUnload, firstRow, totalEstimate);
        FillRowlessSegments();
    }
    catch (...)
    {
        DropRowlessSegments();
        throw;
    }
    return index == kNoSegment ? nullptr : &segments[index];
}

size_t CsvDocumentCore::LocateSegment(int64_t row, bool allowUnload, int64_t& firstRow,
                                      int64_t& totalEstimate)
{
    firstRow = 0;
    totalEstimate = 0;
    if (segments.empty())
        return kNoSegment;
    const uint64_t wanted = AsUnsigned(row);
    // Rows released in this call and not yet freed by reading are freed when it returns.
    struct PendingGuard
    {
        CsvDocumentCore& core;
        ~PendingGuard() { core.FreePendingRows(); }
    } pendingGuard{*this};
    // A pass read while find next runs is searched as it is read and keeps no rows: those still
    // loaded when the search ends are read again. Where the bytes tell which records may hold the
    // needle, from the first pass on, as such a pass decodes next to nothing; else after the
    // search's first passes, as then every record is decoded to be searched.
    const bool findWithoutRows = passesWithoutRows && scanNeedle && allowUnload &&
                                 (!scanPattern.Empty() || findPasses >= kMaxLoadedSegments);

    if (wanted > AsUnsigned(segments.back().CSVEndLine))
    {
        // Reading forward from the end of the last segment, pass by pass.
        const int64_t lastEnd = segments.back().CSVEndLine;
        reader->SetPosition(segments.back().FileBufferEndLine + 1, lastEnd);
        const uint64_t stopAfter = wanted > std::numeric_limits<uint64_t>::max() - kReadAhead
                                       ? std::numeric_limits<uint64_t>::max()
                                       : wanted + kReadAhead;
        // Were every pass full, this many would be read; releasing from the front, all but the last
        // kMaxLoadedSegments of them are released again before the call returns, so those keep
        // only their bounds. The file may end sooner: then the ones still loaded are read again.
        const uint64_t expectedPasses = (stopAfter - AsUnsigned(lastEnd)) / kSegmentRecords + 1;
        uint64_t pass = 0;
        size_t result = segments.size();
        for (;;)
        {
            ++pass;
            CSVSegment next;
            std::vector<uint8_t> verdicts;
            const bool withoutRows = allowUnload && passesWithoutRows &&
                                     (findWithoutRows || (expectedPasses > kMaxLoadedSegments &&
                                                          pass <= expectedPasses - kMaxLoadedSegments));
            // Room for the segment about to be read is made first, so that the released rows are
            // freed while it is read. A pass that then finds the end of the file has released one
            // all the same, as releasing after each pass did.
            if (allowUnload)
                TrimLoadedSegments(segments.size(), kMaxLoadedSegments - 1);
            const int64_t countBefore = reader->GetRecordCount();
            const bool ended = ReadPass(*reader, withoutRows ? nullptr : &next.rows, kSegmentRecords, true,
                                        scanNeedle ? &verdicts : nullptr);
            if (scanNeedle)
                ++findPasses;
            if (reader->GetRecordCount() > countBefore)
            {
                next.CSVEndLine = reader->GetRecordCount();
                next.FileBufferEndLine = reader->GetCurrentLine() - 1;
                totalEstimate = next.CSVEndLine + 10;
                segments.push_back(std::move(next));
                if (scanNeedle)
                    findVerdicts[&segments.back()] = std::move(verdicts);
                result = segments.size() - 1;
                MarkLoaded(result);
                if (withoutRows)
                {
                    rowless.insert(result);
                    ++rowlessPassCount;
                }
            }
            if (allowUnload)
                TrimLoadedSegments(segments.size() - 1);
            if (ended || AsUnsigned(segments.back().CSVEndLine) > stopAfter)
                break;
        }
        if (segments.size() > 1 && AsUnsigned(segments[segments.size() - 2].CSVEndLine) >= wanted)
            result = segments.size() - 2;
        if (result == segments.size())
        {
            firstRow = lastEnd + 1;
            return kNoSegment;
        }
        firstRow = FirstRowOf(result);
        return result;
    }

    // The row lies within the list: the first segment that ends at or after it.
    auto found = std::lower_bound(
        segments.begin(), segments.end(), wanted,
        [](const CSVSegment& segment, uint64_t value) { return AsUnsigned(segment.CSVEndLine) < value; });
    const size_t index = static_cast<size_t>(found - segments.begin());
    firstRow = FirstRowOf(index);
    CSVSegment& segment = segments[index];
    if (!segment.unloaded)
    {
        if (allowUnload)
            TrimLoadedSegments(index);
        return index;
    }

    // A released segment is read again from the line after the previous segment's last line, with
    // the previous segment's record count: its bounds are all the reader needs to resume there.
    const int64_t startLine = index == 0 ? 0 : segments[index - 1].FileBufferEndLine + 1;
    const int64_t startCount = index == 0 ? 0 : segments[index - 1].CSVEndLine;
    if (allowUnload)
        TrimLoadedSegments(index, kMaxLoadedSegments - 1);
    reader->SetPosition(startLine, startCount);
    std::vector<uint8_t>* verdicts = nullptr;
    if (scanNeedle)
    {
        verdicts = &findVerdicts[&segment];
        verdicts->clear();
    }
    ReadPass(*reader, findWithoutRows ? nullptr : &segment.rows, segment.CSVEndLine - startCount, true,
             verdicts);
    if (scanNeedle)
        ++findPasses;
    segment.unloaded = false;
    MarkLoaded(index);
    if (findWithoutRows)
    {
        rowless.insert(index);
        ++rowlessPassCount;
    }
    if (allowUnload)
        TrimLoadedSegments(index);
    // Told as it came back: a file shortened on disk since may give fewer records, or none (the
    // read error is told then).
    const int64_t reloadedEnd = reader->GetRecordCount();
    if (reloadedEnd == segment.CSVEndLine)
    {
        Log(u"Segment reloaded; CSVEndLine = " + FormatNumber(segment.CSVEndLine) + u"; FileBufferEndLine = " +
            FormatNumber(segment.FileBufferEndLine));
    }
    else if (reloadedEnd > startCount)
    {
        Log(u"Segment reloaded; CSVEndLine = " + FormatNumber(reloadedEnd) + u"; FileBufferEndLine = " +
            FormatNumber(reader->GetCurrentLine() - 1));
    }
    // The file changed on disk when the segment came back short: it counts as loaded, and is the
    // result while it still holds records (the rows still in the file), as it is when asked again.
    if (reader->GetRecordCount() != segment.CSVEndLine && reader->GetRecordCount() == startCount)
        return kNoSegment;
    return index;
}

void CsvDocumentCore::LoadRowsIntoView(IRowsSink* view, int64_t row, bool allowUnload)
{
    if (segments.empty())
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
    const char16_t separator = JoinSeparator(reader->GetSeparatorKind());
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

bool CsvDocumentCore::RowContains(const CSVRecord& record, FindNeedle& needle)
{
    // Field by field: a match never spans two fields.
    return needle.FoundInAnyField(record);
}

void CsvDocumentCore::OnFindNext(IRowsSink* view, const std::u16string& searchText)
{
    if (searchText.empty())
        return;
    int64_t next = 1;
    int64_t selected = 0;
    if (view && view->GetLastSelectedRow(selected) && selected < std::numeric_limits<int64_t>::max())
        next = selected + 1;
    FindNeedle needle(searchText, matchCase);
    // Segments read during the search are searched while they are read (ReadPass).
    struct ScanGuard
    {
        CsvDocumentCore& core;
        ~ScanGuard()
        {
            // Only an exception leaves segments without their rows here.
            core.DropRowlessSegments();
            core.scanNeedle = nullptr;
            core.scanPattern = BytePattern();
            core.findVerdicts.clear();
        }
    } scanGuard{*this};
    scanNeedle = &needle;
    findPasses = 0;
    if (fastPaths && reader->CanScanRecords())
        scanPattern = MakeBytePattern(needle, reader->PeekTextFile().GetCodePage());

    for (;;)
    {
        int64_t firstRow = 0;
        int64_t estimate = 0;
        const size_t index = LocateSegment(next, true, firstRow, estimate);
        if (index == kNoSegment)
        {
            FillRowlessSegments();
            if (services.notifier)
                services.notifier->Info(u"End of document reached. No more occurrences found.");
            return;
        }
        const CSVSegment* segment = &segments[index];
        const std::vector<CSVRecord>& rows = segment->rows;
        const auto known = findVerdicts.find(segment);
        // A segment read without rows has only its verdicts.
        const bool withoutRows = rowless.count(index) != 0;
        const std::vector<uint8_t>* verdicts =
            known != findVerdicts.end() && (withoutRows || known->second.size() == rows.size())
                ? &known->second
                : nullptr;
        const size_t count = withoutRows ? (verdicts ? verdicts->size() : 0) : rows.size();
        size_t offset = next > firstRow ? static_cast<size_t>(AsUnsigned(next) - AsUnsigned(firstRow)) : 0;
        for (; offset < count; ++offset)
        {
            const int64_t rowNumber = firstRow + static_cast<int64_t>(offset);
            next = rowNumber + 1;
            const bool hit = verdicts ? (*verdicts)[offset] != 0 : RowContains(rows[offset], needle);
            if (!hit)
                continue;
            FillRowlessSegments();
            if (view && view->SelectRow(rowNumber, segment->rows, firstRow, estimate) && services.rowDetails)
                services.rowDetails->FindText(needle.GetText(), matchCase);
            return;
        }
        // Go on after the segment even when it came back short (the file shrank on disk): a search
        // that stayed on the same row would never end.
        if (next <= segment->CSVEndLine)
            next = segment->CSVEndLine + 1;
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
