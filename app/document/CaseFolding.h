// The case folding and substring search of find next. Match case off folds by simple
// per-character lower-casing (u_tolower, one code point to one), so that a folded text is never
// longer than the text. The Row details pane should fold the same way, so that the hit find next
// reports is the one the pane selects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CSVReader.h"
#include "RecordScanner.h"

// Appends the lower-cased text to out.
void AppendLowerCase(const char16_t* text, size_t length, std::u16string& out);
std::u16string ToLowerCase(const std::u16string& text);

// One search text, prepared for many fields: FoundIn(text) tells whether the text holds it, with
// match case as given, or else after both sides were lower-cased. Same answers as folding the
// whole text and searching it, faster: the text is scanned in place, 32 units at a time with
// AVX-512 where the processor has it, else eight, for the units that fold to the needle's first
// unit, and only those places are compared. The set-up is in CaseFolding.cpp, the search with its
// vector kernels in FindKernels.cpp: nothing here needs the vector instructions' headers.
//
// Why in place works: lower-casing maps a unit of the basic plane (not a surrogate) to one unit of
// the basic plane, and leaves surrogates as surrogates (a pair maps to a pair, a lone one to
// itself). So for a needle without surrogates, a match in the folded text is a run of plain units
// whose lower cases are the needle, at the same place in the text. A needle with surrogates folds
// the text (into a reused buffer) and searches that.
class FindNeedle
{
public:
    // needle: the search text as typed; it is lower-cased here when matchCase is off.
    FindNeedle(const std::u16string& needle, bool matchCase);

    const std::u16string& GetText() const { return needle; }
    bool GetMatchCase() const { return matchCase; }

    // A string: only its units are read, never what its buffer holds past them.
    bool FoundIn(const std::u16string& text) { return FoundIn(text.data(), text.size(), text.size()); }
    // A field of a record: blocks may be read on to the end of the record's buffer (the field's
    // storage, which the record states).
    bool FoundIn(const CSVFieldView& field)
    {
        return FoundIn(field.text.data(), field.text.size(), field.storage);
    }
    // storage: the units readable from text on (its buffer's size, at least length); blocks of
    // eight units are read only within it.
    bool FoundIn(const char16_t* text, size_t length, size_t storage);

    // Whether any of the record's fields holds the needle.
    bool FoundInAnyField(const CSVRecord& fields);

    // Test hook: false keeps the search off the AVX-512 path even where the processor has it.
    void SetWideScan(bool enabled);

private:
    bool Search(const char16_t* text, size_t length, size_t storage);
    bool SearchMarkedFields(const CSVRecord& fields, uint64_t marked);
    bool Scan(const char16_t* text, size_t length, size_t storage) const;
    bool ScanBlocks(const char16_t* text, size_t length) const;
    unsigned BlockHits(const char16_t* block) const;
    bool HitInBlock(const char16_t* block, unsigned bits) const;
    bool MatchesAt(const char16_t* text) const;
    bool FoundByFolding(const char16_t* text, size_t length);

    std::u16string needle;
    bool matchCase;
    bool viaFolding = false;
    bool needsSurrogate = false; // the lower-cased needle holds a surrogate
    // The units that can start a match (those whose lower case is the needle's first unit), the
    // list padded with repeats of the first.
    static constexpr size_t kMaxStarts = 4;
    char16_t starts[kMaxStarts] = {};
    size_t startCount = 0;
    // The lanes of the blocks compared with SSE2: each start unit in all eight; or, when the start
    // units are one unit and that unit with one bit set (a letter and its capital in ASCII), that
    // unit with the bit set in [0] and the bit in [1], so that one compare of (unit | bit) finds
    // both (oneCompare; the AVX-512 marking uses it too).
    alignas(16) char16_t startLanes[kMaxStarts][8] = {};
    bool oneCompare = false;
    // Blocks of eight are compared with SSE2 (the processor has it and the vector level allows it).
    bool blockScan = false;
    // The search runs on AVX-512 (the processor has it, and the needle needs no folding of the text).
    bool wideScan = false;
    // The lower case of each unit of the basic plane; 0 for NUL, surrogates and units it leaves.
    const char16_t* lower = nullptr;
    std::u16string folded;
};

// The bytes that text read with this code page (8-bit text) must hold where it holds the needle:
// the longest run of the needle's characters whose every form that folds onto them (or the
// character itself with match case on) is written with the same number of bytes, each byte one
// of at most two values. Empty when no such run exists or the needle holds what the bytes do not
// show one to one (CR, LF, NUL, U+FFFD, a quotation mark, a surrogate), or the code page is not
// UTF-8 or a single-byte page.
BytePattern MakeBytePattern(const FindNeedle& needle, int32_t codePage);
