// antlr3StringStreamFromFile: an ANTLR3 input stream (UTF-16) over a text file of any size. The
// file is indexed by an LTextFileReader with line breaks ignored, whose checkpoints cut it into
// blocks of about 2 MB; the stream holds the decoded text of the block it reads (and of one
// more block, the previous one or the one last used for a token text) while its index runs over
// the characters of the whole file. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <antlr3.h>

class LTextFileReader;

// The stream's record: the runtime's record first (the runtime frees the whole record through
// it), then the stream's own members.
struct PagedFileStream
{
    ANTLR3_INPUT_STREAM input;
    LTextFileReader* reader;   // owned: the file and its checkpoint index
    size_t current;            // checkpoint whose block is in blockText
    size_t first;              // checkpoint of the first block; kNoCheckpoint for an empty input
    std::u16string* blockText; // owned: decoded text of the block of `current`

    // Start of current's block in the file's text (its charStart, kept here for speed).
    int64_t currentStart;
    // Furthest checkpoint whose charStart is known; the starts up to it are all known.
    size_t reached;
    // A second block kept decoded (kNoCheckpoint: none), and its text (owned).
    size_t side;
    std::u16string* sideText;
    // Largest memory the stream's blocks and index took at once, in bytes.
    uint64_t peakMemoryBytes;
};

constexpr size_t kNoCheckpoint = static_cast<size_t>(-1);

extern "C" {
// Opens `path` (UTF-32 wide characters, converted to UTF-8) and returns the stream, or null when
// the record cannot be allocated. A missing, unreadable or empty file gives an empty input, whose
// first LA(1) is EOF. `name` becomes the stream's file name. Free it with the stream's close.
__attribute__((visibility("default"))) ANTLR3_INPUT_STREAM_struct*
antlr3StringStreamFromFile(const wchar_t* path, unsigned char* name);
}
