// LTextFileReader: reads any range of lines of a text file of any size through a sparse line
// index (a checkpoint every 5,000 lines), decoding each line to UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LineIndex.h"

class LMemChunkBuffer;

// One decoded line: its text with its line-break characters, and the checkpoint where it starts.
struct LineEntry
{
    std::u16string text;
    IndexNode node;
};

enum ReadLinesStatus : int32_t
{
    READLINES_OK = 0,
    READLINES_NO_INDEX = 1,      // the index is still empty after an attempt to build it
    READLINES_BAD_RANGE = 2,     // last < first, or no line at or after first
    READLINES_LINE_TOO_LONG = 3, // a line was longer than the limit and was delivered cut
    READLINES_READ_ERROR = 4,    // the file could not be opened or read again, it shrank since it
                                 // was indexed, or the code page has no decoder
};

// A line's bytes inside a caller's byte store, for callers that decode lines themselves.
struct LineBytes
{
    size_t offset = 0; // first byte in the store
    size_t length = 0;
    IndexNode node;
};

// A position in the reader's checkpoint list: an index into it; the list's size is its end.
using IndexPosition = size_t;

class LTextFileReader
{
public:
    static constexpr uint32_t kIndexInterval = kCheckpointInterval;
    static constexpr uint64_t kLineBufferSize =
        CSVQ_READING_SIZE(2000000, 66);                            // bytes per line, break included
    static constexpr uint64_t kMaxLineBytes = kLineBufferSize - 2; // 1,999,998
    static constexpr uint32_t kBlockReadSize = CSVQ_READING_SIZE(64000, 100); // ReadBlockBytes' read size

    LTextFileReader();
    ~LTextFileReader();
    LTextFileReader(const LTextFileReader&) = delete;
    LTextFileReader& operator=(const LTextFileReader&) = delete;

    // Opens a file (path) or a copy of `source` (null path: memory mode) and runs the pre-scan
    // (encoding flags, kind of the first break). The index is built later. A path that cannot be
    // read still opens. Fails (GetLastError tells why) for a path that names a folder, a FIFO, a
    // device or a socket, and for a working copy that cannot be made.
    bool Open(const char* path, LMemChunkBuffer& source, TextScanProgress* progress, bool splitLongLines,
              bool useSourceFile, bool ignoreLineBreaks);
    void Close();
    bool IsOpen() const;

    // Full scan into the index; sets the line count. False when the scan failed (the index is
    // then empty and the line count 0).
    bool RebuildIndex(TextScanProgress* progress);
    // Builds the index first when it is empty.
    int64_t GetLineCount();

    // Decodes lines first..last (inclusive) into `out`. A line longer than kMaxLineBytes is
    // delivered cut to its first kMaxLineBytes bytes with status READLINES_LINE_TOO_LONG and the
    // result true. `maxBytes` ends the range early (after at least one line) once the lines
    // delivered hold that many bytes.
    bool ReadLines(uint64_t first, uint64_t last, std::vector<LineEntry>& out, ReadLinesStatus& status,
                   TextScanProgress* progress, uint64_t maxBytes = UINT64_MAX);

    // The same lines as ReadLines, undecoded: each line's bytes (cut where ReadLines cuts, and at
    // the first zero byte) are appended to `bytes`, and `out` receives where they lie. For 8-bit
    // text read as UTF-8, decoding these bytes gives exactly the texts ReadLines gives.
    bool ReadLineBytes(uint64_t first, uint64_t last, std::vector<uint8_t>& bytes,
                       std::vector<LineBytes>& out, ReadLinesStatus& status, uint64_t maxBytes = UINT64_MAX);

    // First checkpoint whose line >= `line`. None: false, pos = end, prev = the last checkpoint.
    bool FindCheckpoint(uint64_t line, IndexPosition& pos, IndexPosition& prev, bool& isLast) const;
    bool IsIndexEnd(IndexPosition pos) const;
    // The checkpoint at a position, null at the end; the JSON stream keeps charStart in it.
    IndexNode* GetCheckpoint(IndexPosition pos);
    const IndexList& GetIndex() const { return index; }

    // The text from the checkpoint at `pos` to the next one, as one entry (files only).
    bool ReadBlock(IndexPosition pos, std::vector<LineEntry>& out);
    // The raw bytes of the same span.
    bool ReadBlockBytes(IndexPosition pos, LMemChunkBuffer& destination);

    int32_t GetCodePage() const { return codePage; }
    void SetCodePage(int32_t page) { codePage = page; }
    int32_t GetEncodingFlags() const { return encodingFlags; }
    LineEndingKind GetLineEnding() const { return lineEnding; }
    const std::string& GetSourcePath() const { return sourcePath; }
    const std::string& GetWorkingPath() const { return workingPath; }
    // Why the last scan or read failed (the platform's message), empty when it did not.
    const std::string& GetLastError() const { return lastError; }
    // The lines (from 0) that the last ReadLines or ReadLineBytes delivered cut to
    // kMaxLineBytes bytes, ascending; the last line of the text is among them when more bytes
    // follow its first kMaxLineBytes.
    const std::vector<uint64_t>& GetCutLines() const { return cutLines; }

    bool CreateWorkingCopy();
    // Frees a detached checkpoint list (null: nothing).
    static void FreeIndexList(IndexList* list);

private:
    // Receives each line of a range: its bytes as read and its checkpoint.
    struct LineVisitor
    {
        virtual ~LineVisitor() = default;
        virtual void Visit(const uint8_t* bytes, size_t length, const IndexNode& node) = 0;
    };
    bool WalkLines(uint64_t first, uint64_t last, ReadLinesStatus& status, TextScanProgress* progress,
                   uint64_t maxBytes, bool decoded, LineVisitor& visitor);

    std::string sourcePath;
    std::string workingPath;
    bool workingCopyMade = false;
    bool useSourceFile = true;
    std::unique_ptr<LMemChunkBuffer> buffer;
    int32_t encodingFlags = 0;
    IndexList index;
    bool splitLongLines = false;
    bool ignoreLineBreaks = false;
    int64_t lineCount = 0;
    LineEndingKind lineEnding = LINE_ENDING_NONE;
    int32_t codePage = 65001;
    std::string lastError;
    std::vector<uint64_t> cutLines;

    IndexList scratchList;                 // the re-scan's checkpoints, reused between reads
    std::unique_ptr<uint8_t[]> lineBuffer; // bytes of a stretch of lines, allocated once
    TextScanBlock scanBlock;               // the re-scan's read block, kept between reads
    std::vector<LineBytes> spareLineBytes; // ReadLineBytes' list, kept between reads
};
