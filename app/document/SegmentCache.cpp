#include "SegmentCache.h"

#include <algorithm>
#include <limits>

#include "CsvDocumentCore.h"
#include "FindRun.h"
#include "TextConvert.h"

namespace {
constexpr uint64_t AsUnsigned(int64_t value)
{
    return static_cast<uint64_t>(value);
}

// The records across several lines that the scanner passes, told as the reader tells its own.
struct MultiLineLog : RecordScanObserver
{
    MultiLineLog(SegmentCacheLog& log, bool enabled)
        : log(log)
        , enabled(enabled)
    {}
    void OnMultiLineRecord(int64_t record, int64_t firstLine, int64_t nextLine) override
    {
        if (enabled)
            log.LogMultiLine(record, firstLine, nextLine);
    }
    SegmentCacheLog& log;
    bool enabled;
};
} // namespace

SegmentCache::SegmentCache(SegmentCacheLog& cacheLog)
    : log(cacheLog)
    , reader(std::make_unique<LCSVReader>())
{}

void SegmentCache::Reset(std::unique_ptr<LCSVReader> opened, CSVSegment first)
{
    reader = std::move(opened);
    segments.clear();
    loaded.clear();
    rowless.clear();
    if (find)
        find->ForgetAllVerdicts();
    segments.push_back(std::move(first));
    peakLoaded = 0;
    MarkLoaded(0);
}

void SegmentCache::SetFastPaths(bool enabled)
{
    fastPaths = enabled;
    reader->SetFastPaths(enabled);
}

int64_t SegmentCache::FirstRowOf(size_t index) const
{
    return index == 0 ? 1 : segments[index - 1].CSVEndLine + 1;
}

std::pair<int64_t, int64_t> SegmentCache::StartOf(size_t index) const
{
    if (index == 0)
        return {0, 0};
    return {segments[index - 1].FileBufferEndLine + 1, segments[index - 1].CSVEndLine};
}

// --- passes ---

bool SegmentCache::ReadPass(LCSVReader& from, std::vector<CSVRecord>* rows, int64_t maxRecords,
                            bool logMultiLine, std::vector<uint8_t>* verdicts, bool logErrors)
{
    if (rows)
        rows->reserve(static_cast<size_t>(std::clamp<int64_t>(maxRecords, 0, kSegmentRecords)));
    // Without rows, records are passed on the file's bytes while the scanner can tell them; while
    // find next runs, only those whose bytes cannot hold the needle. The reader reads the others.
    bool scanning = fastPaths && !rows && (!verdicts || find->HasBytePattern());
    MultiLineLog multiLineLog(log, logMultiLine);
    bool ended = false;
    for (int64_t count = 0; count < maxRecords; ++count)
    {
        if (scanning)
        {
            count += ScanPass(from, maxRecords - count, verdicts, multiLineLog, scanning);
            if (count >= maxRecords)
                break;
        }
        if (!ReadOneRecord(from, rows, logMultiLine, verdicts, logErrors))
        {
            ended = true;
            break;
        }
    }
    // One long field read without rows is not kept around in the reused record either.
    if (scratchRecord.TextCapacity() > kMaxKeptTextUnits)
        scratchRecord = CSVRecord();
    return ended;
}

int64_t SegmentCache::ScanPass(LCSVReader& from, int64_t maxRecords, std::vector<uint8_t>* verdicts,
                               RecordScanObserver& observer, bool& scanning)
{
    int64_t advanced = 0;
    const ScanStop stop =
        from.ScanRecords(maxRecords, verdicts ? &find->GetBytePattern() : nullptr, &observer, advanced);
    scannedRecords += static_cast<uint64_t>(advanced);
    if (verdicts)
        verdicts->insert(verdicts->end(), static_cast<size_t>(advanced), uint8_t(0));
    if (stop == ScanStop::Unavailable)
        scanning = false;
    return advanced;
}

bool SegmentCache::ReadOneRecord(LCSVReader& from, std::vector<CSVRecord>* rows, bool logMultiLine,
                                 std::vector<uint8_t>* verdicts, bool logErrors)
{
    const int64_t startLine = from.GetCurrentLine();
    // Each record is read straight into a record of a released segment when one is left, whose
    // field array and texts are reused: the segment cache then costs the allocator next to nothing.
    // Without rows, into one reused record.
    CSVRecord& record = rows ? AppendRow(*rows) : scratchRecord;
    if (!from.ReadRecordInto(record, false))
    {
        if (rows)
            rows->pop_back();
        // The end of the file, or a read that failed: both end the segment, only the failure is told.
        if (logErrors && from.GetLastReadStatus() == READLINES_READ_ERROR)
        {
            log.Log(u"Read error in file = " + Utf8ToUtf16(from.GetPath()) + u"; " +
                    Utf8ToUtf16(from.GetTextFile().GetLastError()));
        }
        return false;
    }
    const int64_t endLine = from.GetCurrentLine();
    if (logMultiLine && endLine - startLine > 1)
        log.LogMultiLine(from.GetRecordCount(), startLine, endLine);
    if (logErrors)
        log.LogDamage(from);
    // While find next runs, each record is searched as soon as it is read, still in the cache.
    if (verdicts)
        verdicts->push_back(find->RowContains(record));
    // A reused record keeps the buffers of the one it held before: one far larger than its new
    // content (a long quoted field, many more fields) is given back, so that the rows held stay
    // near the size of the records they hold.
    if (rows)
        record.TrimSlack();
    return true;
}

CSVRecord& SegmentCache::AppendRow(std::vector<CSVRecord>& rows)
{
    if (pendingNext < pendingRows.size())
        rows.push_back(TakePendingRow());
    else
        rows.emplace_back();
    return rows.back();
}

// --- finding a segment ---

const CSVSegment* SegmentCache::GetSegment(int64_t row, bool allowUnload, int64_t& firstRow,
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

size_t SegmentCache::LocateSegment(int64_t row, bool allowUnload, int64_t& firstRow, int64_t& totalEstimate)
{
    firstRow = 0;
    totalEstimate = 0;
    if (segments.empty())
        return kNoSegment;
    const uint64_t wanted = AsUnsigned(row);
    // Rows released in this call and not yet freed by reading are freed when it returns.
    struct PendingGuard
    {
        SegmentCache& cache;
        ~PendingGuard() { cache.FreePendingRows(); }
    } pendingGuard{*this};
    // A pass read while find next runs is searched as it is read and keeps no rows: those still
    // loaded when the search ends are read again. Where the bytes tell which records may hold the
    // needle, from the first pass on, as such a pass decodes next to nothing; else after the
    // search's first passes, as then every record is decoded to be searched.
    const bool findWithoutRows = passesWithoutRows && find && allowUnload &&
                                 (find->HasBytePattern() || find->GetPassCount() >= kMaxLoadedSegments);

    if (wanted > AsUnsigned(segments.back().CSVEndLine))
        return ReadForward(wanted, allowUnload, findWithoutRows, firstRow, totalEstimate);

    // The row lies within the list: the first segment that ends at or after it.
    auto found = std::lower_bound(
        segments.begin(), segments.end(), wanted,
        [](const CSVSegment& segment, uint64_t value) { return AsUnsigned(segment.CSVEndLine) < value; });
    const size_t index = static_cast<size_t>(found - segments.begin());
    firstRow = FirstRowOf(index);
    if (segments[index].unloaded)
        return ReloadSegment(index, allowUnload, findWithoutRows);
    if (allowUnload)
        TrimLoadedSegments(index);
    return index;
}

size_t SegmentCache::ReadForward(uint64_t wanted, bool allowUnload, bool findWithoutRows, int64_t& firstRow,
                                 int64_t& totalEstimate)
{
    const int64_t lastEnd = segments.back().CSVEndLine;
    reader->SetPosition(segments.back().FileBufferEndLine + 1, lastEnd);
    const uint64_t stopAfter = wanted > std::numeric_limits<uint64_t>::max() - kReadAhead
                                   ? std::numeric_limits<uint64_t>::max()
                                   : wanted + kReadAhead;
    // Were every pass full, this many would be read; releasing from the front, all but the last
    // kMaxLoadedSegments of them are released again before the call returns, so those keep only
    // their bounds. The file may end sooner: then the ones still loaded are read again.
    const uint64_t expectedPasses = (stopAfter - AsUnsigned(lastEnd)) / kSegmentRecords + 1;
    const size_t before = segments.size();
    for (uint64_t pass = 1;; ++pass)
    {
        const bool withoutRows = allowUnload && passesWithoutRows &&
                                 (findWithoutRows || (expectedPasses > kMaxLoadedSegments &&
                                                      pass <= expectedPasses - kMaxLoadedSegments));
        // Room for the segment about to be read is made first, so that the released rows are
        // freed while it is read. A pass that then finds the end of the file has released one all
        // the same, as releasing after each pass did.
        if (allowUnload)
            TrimLoadedSegments(segments.size(), kMaxLoadedSegments - 1);
        const bool ended = AppendPass(withoutRows, totalEstimate);
        if (allowUnload)
            TrimLoadedSegments(segments.size() - 1);
        if (ended || AsUnsigned(segments.back().CSVEndLine) > stopAfter)
            break;
    }
    // The last segment appended, or the one before it when that one holds the row.
    size_t result = segments.size() > before ? segments.size() - 1 : kNoSegment;
    if (segments.size() > 1 && AsUnsigned(segments[segments.size() - 2].CSVEndLine) >= wanted)
        result = segments.size() - 2;
    if (result == kNoSegment)
    {
        firstRow = lastEnd + 1;
        return kNoSegment;
    }
    firstRow = FirstRowOf(result);
    return result;
}

bool SegmentCache::AppendPass(bool withoutRows, int64_t& totalEstimate)
{
    CSVSegment next;
    std::vector<uint8_t> verdicts;
    const int64_t countBefore = reader->GetRecordCount();
    const bool ended = ReadPass(*reader, withoutRows ? nullptr : &next.rows, kSegmentRecords, true,
                                find ? &verdicts : nullptr);
    if (find)
        find->CountPass();
    if (reader->GetRecordCount() > countBefore)
    {
        next.CSVEndLine = reader->GetRecordCount();
        next.FileBufferEndLine = reader->GetCurrentLine() - 1;
        totalEstimate = next.CSVEndLine + 10;
        segments.push_back(std::move(next));
        if (find)
            find->KeepVerdicts(segments.back(), std::move(verdicts));
        const size_t index = segments.size() - 1;
        MarkLoaded(index);
        if (withoutRows)
        {
            rowless.insert(index);
            ++rowlessPassCount;
        }
    }
    return ended;
}

size_t SegmentCache::ReloadSegment(size_t index, bool allowUnload, bool withoutRows)
{
    // A released segment is read again from the line after the previous segment's last line, with
    // the previous segment's record count: its bounds are all the reader needs to resume there.
    CSVSegment& segment = segments[index];
    const auto [startLine, startCount] = StartOf(index);
    if (allowUnload)
        TrimLoadedSegments(index, kMaxLoadedSegments - 1);
    reader->SetPosition(startLine, startCount);
    std::vector<uint8_t>* verdicts = find ? &find->RestartVerdicts(segment) : nullptr;
    ReadPass(*reader, withoutRows ? nullptr : &segment.rows, segment.CSVEndLine - startCount, true, verdicts);
    if (find)
        find->CountPass();
    segment.unloaded = false;
    MarkLoaded(index);
    if (withoutRows)
    {
        rowless.insert(index);
        ++rowlessPassCount;
    }
    if (allowUnload)
        TrimLoadedSegments(index);
    LogReload(segment, startCount);
    // The file changed on disk when the segment came back short: it counts as loaded, and is the
    // result while it still holds records (the rows still in the file), as it is when asked again.
    if (reader->GetRecordCount() != segment.CSVEndLine && reader->GetRecordCount() == startCount)
        return kNoSegment;
    return index;
}

void SegmentCache::LogReload(const CSVSegment& segment, int64_t startCount)
{
    // Told as it came back: a file shortened on disk since may give fewer records, or none (the
    // read error is told then).
    const int64_t reloadedEnd = reader->GetRecordCount();
    if (reloadedEnd == segment.CSVEndLine)
    {
        log.Log(u"Segment reloaded; CSVEndLine = " + FormatNumber(segment.CSVEndLine) +
                u"; FileBufferEndLine = " + FormatNumber(segment.FileBufferEndLine));
    }
    else if (reloadedEnd > startCount)
    {
        log.Log(u"Segment reloaded; CSVEndLine = " + FormatNumber(reloadedEnd) + u"; FileBufferEndLine = " +
                FormatNumber(reader->GetCurrentLine() - 1));
    }
}

// --- passes without rows ---

void SegmentCache::FillRowlessSegments()
{
    // Ascending, so that segments next to each other are read in one run.
    for (const size_t index : rowless)
    {
        CSVSegment& segment = segments[index];
        const auto [startLine, startCount] = StartOf(index);
        if (reader->GetCurrentLine() != startLine || reader->GetRecordCount() != startCount)
            reader->SetPosition(startLine, startCount);
        // Its pass has told the records across several lines and any read failure already. A file
        // changed on disk since gives what it now holds, as a reload would.
        ReadPass(*reader, &segment.rows, segment.CSVEndLine - startCount, false, nullptr, false);
    }
    rowless.clear();
}

void SegmentCache::DropRowlessSegments()
{
    for (const size_t index : rowless)
    {
        segments[index].unloaded = true;
        loaded.erase(index);
        if (find)
            find->ForgetVerdicts(segments[index]);
    }
    rowless.clear();
}

// --- loading and releasing ---

void SegmentCache::MarkLoaded(size_t index)
{
    loaded.insert(index);
    peakLoaded = std::max(peakLoaded, loaded.size());
}

void SegmentCache::ReleaseSegment(size_t index)
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
    if (find)
        find->ForgetVerdicts(segment);
}

void SegmentCache::TrimLoadedSegments(size_t keep, size_t limit)
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

CSVRecord SegmentCache::TakePendingRow()
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
        for (size_t offset = 64; offset < std::min<size_t>(text.size() * sizeof(char16_t), 1024);
             offset += 64)
            __builtin_prefetch(reinterpret_cast<const char*>(text.data()) + offset, 1);
    }
    return std::move(pendingRows[pendingNext++]);
}

void SegmentCache::FreePendingRows()
{
    std::vector<CSVRecord>().swap(pendingRows);
    pendingNext = 0;
}
