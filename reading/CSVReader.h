// LCSVReader: reads CSV records forward from any recorded position of a text file: fields split
// at the separator, quoted fields that may span lines, each field remembering whether it was
// quoted.
#pragma once

#include "RecordScanner.h"
#include "TextFileReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LMemChunkBuffer;

// The field separator: 0 ';' (the default), 1 ',', 2 TAB; any other value also means ';'.
enum SeparatorKind : int32_t
{
    SEPARATOR_SEMICOLON = 0,
    SEPARATOR_COMMA = 1,
    SEPARATOR_TAB = 2,
};

// One field: its text without the outer runs of quotation marks, and whether it began with an
// opening quotation mark in its physical line.
struct CSVField
{
    std::u16string text;
    bool quoted = false;

    bool operator==(const CSVField& other) const = default;
};

// One record: its fields in file order (possibly none).
using CSVRecord = std::vector<CSVField>;

class LCSVReader
{
public:
    static constexpr int64_t kWindowLines = CSVQ_READING_SIZE(10000, 4);          // a window is up to 10,001 lines
    static constexpr uint64_t kWindowByteCap = CSVQ_READING_SIZE(8u << 20, 128);  // ends a window of huge lines early
    static constexpr size_t kMaxRecordChars = 16777216;                           // an open quote ends a record here

    LCSVReader();
    virtual ~LCSVReader();
    LCSVReader(const LCSVReader&) = delete;
    LCSVReader& operator=(const LCSVReader&) = delete;

    // Opens a file, or with a null or empty path a copy of `source`; position line 0, count 0.
    bool Open(const char* path, LMemChunkBuffer& source, TextScanProgress* progress);
    // Appends the next record's fields to `out`. False at the end of the file, when the text
    // file is closed or cannot be read (see GetLastReadStatus; `out` then keeps what was read).
    // A quote still open at the end of the file ends the record there: it is delivered and
    // counted, its open field holding the rest of the file (see WasLastRecordUnclosed).
    bool ReadRecord(CSVRecord& out, bool joinWithoutNewline);
    // Reads the next record into `record`, replacing what it held: the same fields, result and
    // position as ReadRecord into an empty record, but the field objects already in `record`
    // are reused, so that a record read again and again keeps its text buffers.
    bool ReadRecordInto(CSVRecord& record, bool joinWithoutNewline);
    // Splits one physical line into `fields` (cleared first); `inQuotes` carries an open quote.
    void ParseLine(const std::u16string& line, CSVRecord& fields, bool& inQuotes) const;
    static void StripQuotes(CSVRecord& record);
    void ResetCache();

    // Next physical line to read and the records completed before it; the cache stays.
    void SetPosition(int64_t line, int64_t records);
    int64_t GetCurrentLine() const { return currentLine; }
    int64_t GetRecordCount() const { return recordCount; }
    SeparatorKind GetSeparatorKind() const { return separatorKind; }
    void SetSeparatorKind(SeparatorKind kind) { separatorKind = kind; }
    // The embedded text file; empties the cache so that a code page set on it applies.
    LTextFileReader& GetTextFile();
    // The embedded text file, to look at only (the cache stays).
    const LTextFileReader& PeekTextFile() const { return textFile; }
    const std::string& GetPath() const { return path; }

    // Status of the last window read: READLINES_READ_ERROR tells a read failure from the end.
    ReadLinesStatus GetLastReadStatus() const { return lastStatus; }
    // True when the last record returned was ended by the length cap while a quote was open;
    // GetOpenQuoteLine then tells the physical line (from 0) where that quote opened.
    bool WasLastRecordCut() const { return lastRecordCut; }
    // True when the last record returned was ended by the end of the file while a quote was
    // open; GetOpenQuoteLine then tells the physical line (from 0) where that quote opened.
    bool WasLastRecordUnclosed() const { return lastRecordUnclosed; }
    int64_t GetOpenQuoteLine() const { return openQuoteLine; }
    // The physical lines (from 0) of the last record read that were longer than
    // LTextFileReader::kMaxLineBytes and were read cut to that length; usually none.
    const std::vector<int64_t>& GetCutLinesOfLastRecord() const { return recordCutLines; }

    // Passes up to `count` records exactly as ReadRecord would read them, on the file's raw bytes
    // and without building their fields; the position moves over the `advanced` records passed.
    // Stops early where ReadRecord must read the next record itself (Deferred), before a record
    // whose bytes hold the pattern (MaybeHit), and at once when the fast paths are off or the
    // encoding does not allow it (Unavailable).
    ScanStop ScanRecords(int64_t count, const BytePattern* pattern, RecordScanObserver* observer,
                         int64_t& advanced);
    // Whether ScanRecords can pass records of this file as it is read now.
    bool CanScanRecords();
    // The fast paths (ScanRecords) on or off; on unless CSVQ_FAST_PATHS=off.
    void SetFastPaths(bool enabled) { fastPaths = enabled; }
    bool GetFastPaths() const { return fastPaths; }

    // Test hook: the record length at which an open quote ends a record.
    void SetMaxRecordChars(size_t chars) { maxRecordChars = chars; }
    // Test hook: 8-bit text read as UTF-8 is kept as the window's bytes and each line decoded
    // into one reused buffer as it is parsed (the same records, faster); false makes every line
    // go through the decoded window.
    void SetByteParsing(bool enabled) { byteParsing = enabled; }

private:
    bool FillWindow();
    // The text ended while a record was being read: true (the record counted) when a quote was
    // open and the end is the end of the text, not a failed read.
    bool EndOfTextInsideQuotes(bool inQuotes);
    // Parses the next record's lines into out[used, ...), reusing the field objects there and
    // the spare texts; `used` ends as the record's field count.
    bool ReadFields(CSVRecord& out, size_t& used, std::vector<std::u16string>* spare,
                    bool joinWithoutNewline);

    static constexpr size_t kMaxSpareTexts = 1024;
    static constexpr size_t kMaxSpareTextUnits = 4096;

    std::string path;
    LTextFileReader textFile;
    int64_t currentLine = 0;
    int64_t recordCount = 0;
    int64_t cacheFirst = -1;
    int64_t cacheLast = -1;
    std::vector<LineEntry> lineCache;     // decoded window
    bool cacheHoldsBytes = false;         // the window is in lineBytes/byteStore instead
    std::vector<LineBytes> lineBytes;
    std::vector<uint8_t> byteStore;
    bool byteParsing = true;
    size_t fieldsHint = 0;                // fields of the last record: reserved for the next
    std::u16string lineScratch;
    std::vector<std::u16string> spareTexts;  // text buffers of fields a shorter record left
    SeparatorKind separatorKind = SEPARATOR_SEMICOLON;
    ReadLinesStatus lastStatus = READLINES_OK;
    bool lastRecordCut = false;
    bool lastRecordUnclosed = false;
    int64_t openQuoteLine = -1;
    std::vector<int64_t> windowCutLines;  // lines of the window read cut, ascending
    std::vector<int64_t> recordCutLines;  // those of the last record
    size_t maxRecordChars = kMaxRecordChars;
    bool fastPaths = FastPathsEnabledByDefault();
    std::unique_ptr<LRecordScanner> scanner;
};
