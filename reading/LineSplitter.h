// The line splitter of the CSV reader: a line of UTF-16 units split into fields in place, at
// the end of the record's one buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "CSVReader.h"
#include "FieldMasks.h"

// The fields of the record being read, in its one buffer: the field being parsed is always the
// last one, its text the buffer's tail; its end is written when it is closed.
struct RecordFields
{
    RecordFields(RecordText& text, std::vector<uint32_t>& ends)
        : text(text)
        , ends(ends)
    {}

    RecordText& text;
    std::vector<uint32_t>& ends;
    bool quoteOpened = false; // a quote opened in the line parsed last

    static constexpr uint32_t kQuotedBit = 0x80000000u;
    static constexpr uint32_t kEndMask = 0x7FFFFFFFu;

    bool Empty() const { return ends.empty(); }
    size_t LastBegin() const { return ends.size() < 2 ? 0 : (ends[ends.size() - 2] & kEndMask); }
    // Starts the next field at `at`, empty and not quoted.
    void Next(size_t at) { ends.push_back(static_cast<uint32_t>(at)); }
    void SetLastQuoted(bool quoted)
    {
        ends.back() = quoted ? (ends.back() | kQuotedBit) : (ends.back() & kEndMask);
    }
    // The last field ends at `at`.
    void CloseLast(size_t at) { ends.back() = (ends.back() & kQuotedBit) | static_cast<uint32_t>(at); }
};

// Moves `count` units (Units to 2 * Units of them) as its first and last Units, both read before
// either is written.
template <size_t Units>
inline void MoveTwoPieces(char16_t* to, const char16_t* from, size_t count)
{
    char16_t head[Units];
    char16_t tail[Units];
    std::memcpy(head, from, sizeof head);
    std::memcpy(tail, from + count - Units, sizeof tail);
    std::memcpy(to, head, sizeof head);
    std::memcpy(to + count - Units, tail, sizeof tail);
}

// Moves `count` units down to `to` (never above `from`), short runs without a call. A short run
// is read whole, as two pieces that may overlap, before any of it is written, so the run may
// overlap its new place; nothing outside [from, from + count) is read.
inline void MoveDown(char16_t* to, const char16_t* from, size_t count)
{
    if (count > 16)
    {
        std::memmove(to, from, count * sizeof(char16_t));
        return;
    }
    if (count >= 8)
        MoveTwoPieces<8>(to, from, count);
    else if (count >= 4)
        MoveTwoPieces<4>(to, from, count);
    else if (count >= 2)
        MoveTwoPieces<2>(to, from, count);
    else if (count == 1)
    {
        to[0] = from[0];
    }
}

// Cuts the quotation marks at either end of the field text [begin, end), as many as there are,
// moving what is left down to `begin`; returns the field's new end.
inline size_t CutFieldQuotes(char16_t* d, size_t begin, size_t end)
{
    if (end == begin || (d[begin] != kQuoteMark && d[end - 1] != kQuoteMark))
        return end;
    size_t last = end;
    while (last > begin && d[last - 1] == kQuoteMark)
        --last;
    size_t first = begin;
    while (first < last && d[first] == kQuoteMark)
        ++first;
    if (first > begin)
        MoveDown(d + begin, d + first, last - first);
    return begin + (last - first);
}

// Splits one line into fields in place: the line's units lie at the end of the record's buffer,
// from `base` on, and its fields' text is moved down over the separators, quotes that close and
// line breaks it drops (the text only ever moves down, so nothing is read after being written
// over). When `continueLast` is set and `out` has a field, the line's first field continues that
// field (joined with LF, or with the LF runs at its ends trimmed) and its quoted flag is dropped.
// With `cutQuotes`, each field the line ends (at a separator, or at the line's end outside quotes)
// has the quotation marks at its ends cut (CutFieldQuotes); a field still open in quotes at the
// end of the line is left whole. Returns the number of characters added (counted before any cut).
size_t ParseInPlace(RecordFields& out, size_t base, bool& inQuotes, bool continueLast,
                    bool joinWithoutNewline, char16_t separator, bool cutQuotes);
