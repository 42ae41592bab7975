// The line index scan: one pass over a text (a file or a chunk buffer) that counts line breaks
// and records sparse checkpoints, so that any range of lines can later be found again by
// re-scanning only between two checkpoints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ReadingSizes.h"

class LMemChunkBuffer;

// One checkpoint: the line that starts at a byte offset of the text.
struct IndexNode
{
    IndexNode() = default;
    IndexNode(uint64_t lineNumber, uint64_t offset, bool atBreak)
        : line(lineNumber)
        , byteOffset(offset)
        , atLineBreak(atBreak)
    {}

    // Sets line, offset and break flag; charStart becomes 0.
    void Set(uint64_t lineNumber, uint64_t offset, bool atBreak)
    {
        line = lineNumber;
        byteOffset = offset;
        atLineBreak = atBreak;
        charStart = 0;
    }
    void Assign(const IndexNode& other) { *this = other; }

    bool operator==(const IndexNode& other) const = default;

    uint64_t line = 0;       // number of the line starting here, from 0
    uint64_t byteOffset = 0; // first byte of that line in the text
    bool atLineBreak = true; // false for pseudo-line cuts and for the end checkpoint
    int64_t charStart = 0;   // 0 from the scanner; kept by the JSON input stream
};

// A checkpoint list in text order.
using IndexList = std::vector<IndexNode>;

enum LineEndingKind : int32_t
{
    LINE_ENDING_LF = 0,   // the first break is a lone LF
    LINE_ENDING_CR = 1,   // a lone CR
    LINE_ENDING_PAIR = 2, // CR LF or LF CR
    LINE_ENDING_NONE = 3, // no break seen yet
};

// Told the byte count of every block the scan reads.
class TextScanProgress
{
public:
    virtual ~TextScanProgress() = default;
    virtual void OnBlockRead(uint32_t byteCount) = 0;
};

// Lines between two checkpoints of a text's index; the record scanner relies on it too.
constexpr uint32_t kCheckpointInterval = CSVQ_READING_SIZE(5000, 3);
constexpr int32_t kTextScanReadSize = CSVQ_READING_SIZE(32768, 256);
constexpr uint64_t kTextScanMaxPseudoLine = CSVQ_READING_SIZE(400, 40);

// The page-aligned block a scan reads into. Its owner keeps it from one scan to the next: a block
// made for each scan is mapped afresh (when the allocator serves blocks of its size with new
// mappings), and every page of it is faulted in and zeroed again by the scan's reads.
class TextScanBlock
{
public:
    // At least `size` bytes, page-aligned; null when memory runs out. The bytes are not kept.
    uint8_t* Get(size_t size);

private:
    std::unique_ptr<uint8_t, void (*)(void*)> block{nullptr, std::free};
    size_t capacity = 0;
};

// The scan's working state, built by the caller for each scan.
struct TextScanContext
{
    std::string error;                            // out: why the file could not be opened or read
    int32_t readSize = kTextScanReadSize;         // bytes per logical read: the first read decides
                                                  // the encoding, pseudo-line measures restart per read
    int32_t bulkReadSize = 0;                     // bytes per physical read of the line-break scan;
                                                  // 0 = a large default (tests set small values)
    int32_t encodingFlags = 0;                    // TEXT_ENC_*; 0 on entry: detected by the scan
    int64_t lineCount = 0;                        // out: breaks + 1, only by a scan without limit
    LineEndingKind lineEnding = LINE_ENDING_NONE; // in and out: kind of the first break
    uint64_t maxPseudoLine = kTextScanMaxPseudoLine;
    TextScanProgress* progress = nullptr;
    TextScanBlock* readBlock = nullptr; // the block to read into; null: one for this scan
    bool readError = false;             // out: the scan ended early on a read error
    uint64_t textEnd = UINT64_MAX;      // in: a file's text ends here, whatever follows
};

// Scans the text from `start` and fills `list` (emptied first) with the first checkpoint, one
// checkpoint after every `interval` lines and, unless the limit stopped the scan, the end
// checkpoint. With a path the file is read; with a null path the text is `buffer`'s content.
// `limit` (may be null) is active when limit->line >= start.line: the scan then stops right after
// the first checkpoint whose line reaches limit->line. Returns false when the file cannot be
// opened or a read fails (context.error says why).
bool BuildLineIndex(TextScanContext& context, const char* path, const LMemChunkBuffer* buffer,
                    IndexList& list, bool splitLongLines, uint32_t interval, bool ignoreBreaks,
                    const IndexNode& start, const IndexNode* limit);

// The same scan over an already opened file descriptor (read with pread; not closed).
bool BuildLineIndexFromFd(TextScanContext& context, int fd, IndexList& list, bool splitLongLines,
                          uint32_t interval, bool ignoreBreaks, const IndexNode& start,
                          const IndexNode* limit);

// The pre-scan of an open: gives context.encodingFlags and context.lineEnding as the scan from
// offset 0 would, stopping as soon as the kind of the first line break is known.
bool PreScanText(TextScanContext& context, const char* path, const LMemChunkBuffer* buffer,
                 bool splitLongLines, bool ignoreBreaks);
