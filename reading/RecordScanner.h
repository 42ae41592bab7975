// LRecordScanner: finds where CSV records begin and end on a file's raw bytes, without building
// their fields. It follows the record reader's rules exactly (quotes that open only at a field's
// start, doubled quotation marks inside quotes, line breaks paired as the line index pairs them,
// the NUL that ends a line's text) and hands every record it cannot tell for certain back to the
// record reader: the file's last line, a line longer than the reader's line limit, a record that
// may reach the length cap of an open quote, a file that is not what its index says.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "LineIndex.h"

// A byte sequence that a text must hold for a search to find anything in it: for each position
// one or two byte values. Searching the raw bytes for it never misses a hit of the search; it
// may find places that are none.
struct BytePattern
{
    std::vector<std::array<uint8_t, 2>> bytes;

    bool Empty() const { return bytes.empty(); }
    bool MatchesAt(const uint8_t* at) const
    {
        for (size_t k = 0; k < bytes.size(); ++k)
        {
            if (at[k] != bytes[k][0] && at[k] != bytes[k][1])
                return false;
        }
        return true;
    }
};

// Told of every record the scanner passes that spans more than one physical line.
class RecordScanObserver
{
public:
    virtual ~RecordScanObserver() = default;
    // record: its number (from 1); firstLine: its first physical line; nextLine: the line after it.
    virtual void OnMultiLineRecord(int64_t record, int64_t firstLine, int64_t nextLine) = 0;
};

enum class ScanStop
{
    Done,        // all the records asked for were passed
    Deferred,    // the next record must be read by the record reader
    MaybeHit,    // the next record's bytes hold the pattern
    Unavailable, // this file, encoding or separator cannot be scanned at all
};

// What the scanner needs of the reader: the file, its index and how its text is read.
struct RecordScanSetup
{
    std::string path;
    const IndexList* index = nullptr;
    int64_t lineCount = 0;
    int32_t encodingFlags = 0;
    int32_t codePage = 0;
    char16_t separator = u';';
    size_t maxRecordChars = 0;
    uint64_t maxLineBytes = 0;
};

// Whether the fast paths (record scanning, the byte test of find) are on by default: unless the
// environment variable CSVQ_FAST_PATHS is "off" or "0".
bool FastPathsEnabledByDefault();

class LRecordScanner
{
public:
    LRecordScanner();
    ~LRecordScanner();
    LRecordScanner(const LRecordScanner&) = delete;
    LRecordScanner& operator=(const LRecordScanner&) = delete;

    // Whether records of text read with these encoding flags, code page and separator can be
    // found on its bytes with the same answer as decoding it.
    static bool Supports(int32_t encodingFlags, int32_t codePage, char16_t separator);

    // Passes up to `count` records from physical line `line`, where `records` records are done.
    // Both are moved on over the records passed (`advanced` of them). With a pattern, stops with
    // MaybeHit before a record whose bytes hold it.
    ScanStop Scan(const RecordScanSetup& setup, int64_t& line, int64_t& records, int64_t count,
                  const BytePattern* pattern, RecordScanObserver* observer, int64_t& advanced);

    // Forgets the bytes and positions kept from earlier scans.
    void Reset();

private:
    struct Cursor;
    bool OpenFile(const RecordScanSetup& setup);
    // Makes [from, from + 2) readable where the text has it; keeps the bytes from keepFrom on.
    bool Load(uint64_t from, uint64_t keepFrom, uint64_t textEnd);
    // The offset of the start of `line`, found from a known position or a checkpoint.
    bool Locate(const RecordScanSetup& setup, int64_t line, uint64_t textEnd, uint64_t& offset);
    uint64_t FindPattern(const BytePattern& pattern, uint64_t from, uint64_t to) const;
    static bool DoubleByteAllowed(int32_t codePage, char16_t separator);
    // The unit at a loaded position.
    uint16_t UnitAt(uint64_t at) const
    {
        const uint8_t* b = buffer.data() + (at - base);
        if (unitSize == 1)
            return b[0];
        return bigEndian ? static_cast<uint16_t>((b[0] << 8) | b[1])
                         : static_cast<uint16_t>(b[0] | (b[1] << 8));
    }

    int fd = -1;
    // The file the kept bytes came from: device, inode, size, modification time.
    uint64_t identity[5] = {};
    std::vector<uint8_t> buffer; // bytes [base, base + length), then zero padding
    std::vector<uint64_t> masks; // where the buffer's blocks of 64 hold CR, LF, '"' or NUL
    uint64_t base = 0;
    size_t length = 0;
    unsigned unitSize = 1; // 2 for 16-bit text
    bool bigEndian = false;
    bool leadBytes[256] = {};
    bool haveKnown = false;
    int64_t knownLine = 0;
    uint64_t knownOffset = 0;
};
