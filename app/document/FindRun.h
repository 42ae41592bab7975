// One find next while it runs: its needle, the bytes a record must hold to hold it, and for the
// segments read meanwhile whether each of their rows holds it (the verdicts: each segment read
// during the search is searched while it is read, see SegmentCache::SetFindRun).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "CSVReader.h"
#include "CaseFolding.h"
#include "RecordScanner.h"

struct CSVSegment;

class FindRun
{
public:
    // text: the search text as typed.
    FindRun(const std::u16string& text, bool matchCase);

    FindNeedle& GetNeedle() { return needle; }
    // The search text, lower-cased unless match case is on.
    const std::u16string& GetText() const { return needle.GetText(); }

    // The byte test for text read with this code page (MakeBytePattern); without one every record
    // is decoded and searched.
    void UseBytePattern(int32_t codePage);
    const BytePattern& GetBytePattern() const { return pattern; }
    bool HasBytePattern() const { return !pattern.Empty(); }

    // Whether one field of the record holds the needle (a match never spans two fields).
    bool RowContains(const CSVRecord& record) { return needle.FoundInAnyField(record); }

    // The passes read for this search so far.
    size_t GetPassCount() const { return passes; }
    void CountPass() { ++passes; }

    // The verdicts of a segment about to be read again, emptied for its pass to fill.
    std::vector<uint8_t>& RestartVerdicts(const CSVSegment& segment);
    // The verdicts of a segment just read.
    void KeepVerdicts(const CSVSegment& segment, std::vector<uint8_t>&& verdicts);
    // A segment released: its verdicts no longer tell its rows.
    void ForgetVerdicts(const CSVSegment& segment) { verdicts.erase(&segment); }
    void ForgetAllVerdicts() { verdicts.clear(); }

    // The first row of segment from offset `from` on that holds the needle: its offset, or `count`
    // when none does, with count the rows the segment lets be searched. withoutRows: the segment's
    // pass kept no rows, only the verdicts tell (none: nothing to search). Else its verdicts tell
    // when they are its rows', and its rows are searched when not.
    size_t FirstHit(const CSVSegment& segment, bool withoutRows, size_t from, size_t& count);

private:
    FindNeedle needle;
    BytePattern pattern;
    size_t passes = 0;
    std::unordered_map<const CSVSegment*, std::vector<uint8_t>> verdicts;
};
