// The segment cache of the document: one LCSVReader open on the file, whose records are paged
// through a list of segments of at most 5,000 records, read on demand, released when more than 20
// hold rows, and read again from their bounds when needed. The rows of a released segment are
// reused by the next records read. A pass expected to be released again before the call returns
// keeps only its bounds (and passes the records on the file's bytes where it can); the ones still
// loaded at the end are read again. While find next runs, every pass is searched as it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "CSVReader.h"

class FindRun;

// One unit of paging: up to 5,000 consecutive records.
struct CSVSegment
{
    // Index (from 0) of the last physical line the segment's records consumed.
    int64_t FileBufferEndLine = 0;
    // Number (from 1) of the segment's last record; 0 for a segment without records.
    int64_t CSVEndLine = 0;
    // True while the rows are released; the bounds stay.
    bool unloaded = false;
    std::vector<CSVRecord> rows;
};

// What the cache's passes tell: the document writes it to its log.
class SegmentCacheLog
{
public:
    virtual ~SegmentCacheLog() = default;
    virtual void Log(const std::u16string& line) = 0;
    // A record read across several lines of the file: its number, its first line and the next one.
    virtual void LogMultiLine(int64_t record, int64_t firstLine, int64_t nextLine) = 0;
    // The record `from` has just read: what of the file's text it lost or left open.
    virtual void LogDamage(const LCSVReader& from) = 0;
};

class SegmentCache
{
public:
    static constexpr int64_t kSegmentRecords = 5000;
    // More loaded segments than this make an unloading call release rows.
    static constexpr size_t kMaxLoadedSegments = 20;
    // Reading forward stops once the last segment ends this many records past the asked row.
    static constexpr int64_t kReadAhead = 500;
    static constexpr size_t kNoSegment = static_cast<size_t>(-1);

    explicit SegmentCache(SegmentCacheLog& log);
    SegmentCache(const SegmentCache&) = delete;
    SegmentCache& operator=(const SegmentCache&) = delete;

    // --- the reader and the segments ---
    LCSVReader& GetReader() { return *reader; }
    const LCSVReader& GetReader() const { return *reader; }
    // Starts over on a reader just opened, whose first pass gave `first`: the one segment, loaded.
    void Reset(std::unique_ptr<LCSVReader> opened, CSVSegment first);
    const std::deque<CSVSegment>& GetSegments() const { return segments; }
    size_t GetLoadedCount() const { return loaded.size(); }
    size_t GetPeakLoadedCount() const { return peakLoaded; }
    void ResetPeakLoadedCount() { peakLoaded = loaded.size(); }
    // Whether the loaded segment's pass kept only its bounds (its rows are read before handed out).
    bool IsRowless(size_t index) const { return rowless.count(index) != 0; }

    // --- reading ---
    // Reads up to maxRecords records from the reader's position into rows, or with rows null only
    // passes them; true when the file ended. verdicts, given while a find run is set, receives for
    // each record passed whether it holds the needle. A read failure is logged when logErrors is
    // set, the records across several lines when logMultiLine is.
    bool ReadPass(LCSVReader& from, std::vector<CSVRecord>* rows, int64_t maxRecords, bool logMultiLine,
                  std::vector<uint8_t>* verdicts = nullptr, bool logErrors = true);
    // The segment whose record range holds row (compared without sign: 0 is the smallest row, a
    // negative one larger than all), read or re-read from the file when needed; null for none.
    // firstRow receives the number of its first record, totalEstimate the row total the view is to
    // assume (0 when no new segment was read). Valid until the next Reset.
    const CSVSegment* GetSegment(int64_t row, bool allowUnload, int64_t& firstRow, int64_t& totalEstimate);
    // GetSegment without filling the segments it counted as loaded but read without rows: the
    // index of the result or kNoSegment. FillRowlessSegments must follow before rows are handed out.
    size_t LocateSegment(int64_t row, bool allowUnload, int64_t& firstRow, int64_t& totalEstimate);
    // Reads the rows of the loaded segments whose pass kept only bounds, from those bounds.
    void FillRowlessSegments();
    // Without reading: such segments count as released (a call that ends by an exception).
    void DropRowlessSegments();

    // --- find next ---
    // While find next runs: the passes read are searched for run's needle as they are read, and
    // those read by an unloading call keep no rows once the byte test can pass the records, or
    // after the run's first kMaxLoadedSegments passes. Null when the search ends.
    void SetFindRun(FindRun* run) { find = run; }

    // --- fast paths and counters ---
    // Passes that keep no rows find record ends on the file's bytes (the reader's fast paths too).
    void SetFastPaths(bool enabled);
    bool GetFastPaths() const { return fastPaths; }
    // Records passed on the file's bytes since the cache was created.
    uint64_t GetScannedRecordCount() const { return scannedRecords; }
    // Test hook: false makes every pass store its rows, even one released before the call returns.
    void SetPassesWithoutRows(bool enabled) { passesWithoutRows = enabled; }
    // Passes read that kept only bounds, since the cache was created.
    uint64_t GetPassesWithoutRowsCount() const { return rowlessPassCount; }

private:
    // A text longer than this in the reused record is freed after the pass.
    static constexpr size_t kMaxKeptTextUnits = 65536;

    // Passes the records the scanner can tell on the file's bytes (with a find run, those whose
    // bytes cannot hold its needle, each told as not holding it); the count passed. scanning is
    // cleared when the scanner can no longer tell them.
    int64_t ScanPass(LCSVReader& from, int64_t maxRecords, std::vector<uint8_t>* verdicts,
                     RecordScanObserver& observer, bool& scanning);
    // Reads the next record into rows (a reused row) or the scratch record, logs what it tells,
    // and adds its verdict; false at the end of the file or on a read failure.
    bool ReadOneRecord(LCSVReader& from, std::vector<CSVRecord>* rows, bool logMultiLine,
                       std::vector<uint8_t>* verdicts, bool logErrors);
    // A new row at the end of rows: a row of a released segment when one is left.
    CSVRecord& AppendRow(std::vector<CSVRecord>& rows);

    // Reading forward from the end of the last segment, pass by pass, to wanted and kReadAhead past it.
    size_t ReadForward(uint64_t wanted, bool allowUnload, bool findWithoutRows, int64_t& firstRow,
                       int64_t& totalEstimate);
    // One pass after the last segment, appended when it read records; true when the file ended.
    bool AppendPass(bool withoutRows, int64_t& totalEstimate);
    // Reads the released segment at index again from its bounds: index, or kNoSegment when the
    // file gave no records there any more.
    size_t ReloadSegment(size_t index, bool allowUnload, bool withoutRows);
    void LogReload(const CSVSegment& segment, int64_t startCount);
    // The reader's position before the segment's first record: the line after the previous
    // segment's last one, and the previous segment's record count.
    std::pair<int64_t, int64_t> StartOf(size_t index) const;
    int64_t FirstRowOf(size_t index) const;

    void MarkLoaded(size_t index);
    void ReleaseSegment(size_t index);
    // Releases loaded segments farthest from keep (and the one before it) until at most limit hold rows.
    void TrimLoadedSegments(size_t keep, size_t limit = kMaxLoadedSegments);
    CSVRecord TakePendingRow();
    void FreePendingRows();

    SegmentCacheLog& log;
    std::unique_ptr<LCSVReader> reader;
    std::deque<CSVSegment> segments;
    // Indexes of the segments that hold rows.
    std::set<size_t> loaded;
    size_t peakLoaded = 0;
    // Rows of a released segment still to be reused or freed, from pendingNext on.
    std::vector<CSVRecord> pendingRows;
    size_t pendingNext = 0;
    // Loaded segments whose rows were not stored: a pass expected to be released before the call
    // returns keeps only its bounds; the ones still loaded at the end are read again.
    std::set<size_t> rowless;
    bool passesWithoutRows = true;
    uint64_t rowlessPassCount = 0;
    // The record a pass without rows reads into.
    CSVRecord scratchRecord;
    // The find next running now, if any.
    FindRun* find = nullptr;
    bool fastPaths = FastPathsEnabledByDefault();
    uint64_t scannedRecords = 0;
};
