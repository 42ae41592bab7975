#include "CSVReader.h"

#include "MemChunkBuffer.h"

#include <algorithm>

namespace
{
constexpr char16_t kQuoteMark = u'"';
constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kCarriageReturn = u'\r';

char16_t SeparatorChar(SeparatorKind kind)
{
    switch (kind)
    {
    case SEPARATOR_COMMA:
        return u',';
    case SEPARATOR_TAB:
        return u'\t';
    default:
        return u';';
    }
}

// Bit c set for the characters that end a plain run: the quote, the separator, CR and LF
// (all below 64).
uint64_t SpecialMask(char16_t separator)
{
    return (uint64_t(1) << kQuoteMark) | (uint64_t(1) << separator) | (uint64_t(1) << kLineFeed) |
           (uint64_t(1) << kCarriageReturn);
}

inline bool IsSpecial(char16_t c, uint64_t mask)
{
    return c < 64 && ((mask >> c) & 1);
}

// Splits one line into fields appended to `out`. When `continueLast` is set and `out` has a
// field, the line's first field continues that field (joined with LF, or with the LF runs at its
// ends trimmed) and its quoted flag is dropped. Returns the number of characters added.
size_t ParseInto(const std::u16string& line, CSVRecord& out, bool& inQuotes, bool continueLast,
                 bool joinWithoutNewline, char16_t separator)
{
    const size_t n = line.size();
    if (n == 0)
        return 0;
    const char16_t* t = line.data();
    const uint64_t plainStop = SpecialMask(separator);
    const uint64_t quotedStop = (uint64_t(1) << kQuoteMark) | (uint64_t(1) << kLineFeed) | (uint64_t(1) << kCarriageReturn);

    size_t added = 0;
    bool continuation = false;
    std::u16string* field;
    if (continueLast && !out.empty())
    {
        field = &out.back().text;
        if (joinWithoutNewline)
        {
            size_t end = field->find_last_not_of(kLineFeed);
            field->erase(end == std::u16string::npos ? 0 : end + 1);
            size_t begin = field->find_first_not_of(kLineFeed);
            field->erase(0, begin == std::u16string::npos ? field->size() : begin);
        }
        else
        {
            field->push_back(kLineFeed);
            ++added;
        }
        continuation = true;
    }
    else
    {
        out.emplace_back();
        field = &out.back().text;
    }
    size_t fieldStart = field->size();
    bool quoted = false;

    size_t j = 0;
    while (j < n)
    {
        const uint64_t stop = inQuotes ? quotedStop : plainStop;
        size_t run = j;
        while (j < n && !IsSpecial(t[j], stop))
            ++j;
        if (j > run)
        {
            field->append(t + run, j - run);
            added += j - run;
        }
        if (j == n)
            break;
        const char16_t c = t[j];
        if (c == kQuoteMark)
        {
            const bool lastChar = j + 1 == n;
            if (inQuotes)
            {
                if (lastChar || t[j + 1] == separator || t[j + 1] == kLineFeed || t[j + 1] == kCarriageReturn)
                    inQuotes = false;
            }
            else if (field->size() == fieldStart && (lastChar || t[j + 1] != kQuoteMark))
            {
                inQuotes = true;
                quoted = true;
            }
            field->push_back(c);
            ++added;
        }
        else if (c == separator && !inQuotes)
        {
            if (!continuation)
                out.back().quoted = quoted;
            continuation = false;
            out.emplace_back();
            field = &out.back().text;
            fieldStart = 0;
            quoted = false;
        }
        else if (c != kLineFeed && c != kCarriageReturn)
        {
            // The separator inside quotes.
            field->push_back(c);
            ++added;
        }
        ++j;
    }
    if (!continuation)
        out.back().quoted = quoted;
    return added;
}
}

LCSVReader::LCSVReader() = default;

LCSVReader::~LCSVReader() = default;

bool LCSVReader::Open(const char* filePath, LMemChunkBuffer& source, TextScanProgress* progress)
{
    if (textFile.IsOpen())
        textFile.Close();
    path = filePath ? filePath : "";
    bool result;
    if (!path.empty())
    {
        LMemChunkBuffer empty;
        result = textFile.Open(path.c_str(), empty, progress, false, true, false);
    }
    else
    {
        result = textFile.Open(nullptr, source, progress, false, true, false);
    }
    ResetCache();
    currentLine = 0;
    recordCount = 0;
    lastStatus = READLINES_OK;
    lastRecordCut = false;
    return result;
}

bool LCSVReader::FillWindow()
{
    const uint64_t first = static_cast<uint64_t>(currentLine);
    const uint64_t lines = static_cast<uint64_t>(textFile.GetLineCount());
    const uint64_t last = std::min(first + static_cast<uint64_t>(kWindowLines), lines);
    ReadLinesStatus status = READLINES_OK;
    bool ok = textFile.ReadLines(first, last, lineCache, status, nullptr, kWindowByteCap);
    lastStatus = status;
    if (!ok)
    {
        // A failed read may leave part of a window behind: it is not a window.
        ResetCache();
        return false;
    }
    cacheFirst = currentLine;
    cacheLast = currentLine + static_cast<int64_t>(lineCache.size()) - 1;
    return true;
}

bool LCSVReader::ReadRecord(CSVRecord& out, bool joinWithoutNewline)
{
    if (!textFile.IsOpen())
        return false;
    lastRecordCut = false;
    const char16_t separator = SeparatorChar(separatorKind);
    bool inQuotes = false;
    bool continuing = false;
    size_t recordChars = 0;
    bool result = false;
    for (;;)
    {
        if (currentLine < cacheFirst || currentLine > cacheLast)
        {
            if (!FillWindow())
                break;
        }
        if (lineCache.empty() || currentLine < cacheFirst || currentLine > cacheLast)
            break;
        const std::u16string& text = lineCache[static_cast<size_t>(currentLine - cacheFirst)].text;
        recordChars +=
            ParseInto(text, out, inQuotes, continuing, joinWithoutNewline, separator);
        ++currentLine;
        continuing = inQuotes;
        if (!inQuotes)
        {
            ++recordCount;
            result = true;
            break;
        }
        if (recordChars >= maxRecordChars)
        {
            // An open quote must not swallow the rest of the file: the record ends here and
            // the next one starts outside quotes.
            ++recordCount;
            lastRecordCut = true;
            result = true;
            break;
        }
    }
    StripQuotes(out);
    return result;
}

void LCSVReader::ParseLine(const std::u16string& line, CSVRecord& fields, bool& inQuotes) const
{
    fields.clear();
    ParseInto(line, fields, inQuotes, false, false, SeparatorChar(separatorKind));
}

void LCSVReader::StripQuotes(CSVRecord& record)
{
    for (CSVField& field : record)
    {
        std::u16string& text = field.text;
        if (text.empty() || (text.front() != kQuoteMark && text.back() != kQuoteMark))
            continue;
        size_t end = text.find_last_not_of(kQuoteMark);
        text.erase(end == std::u16string::npos ? 0 : end + 1);
        size_t begin = text.find_first_not_of(kQuoteMark);
        text.erase(0, begin == std::u16string::npos ? text.size() : begin);
    }
}

void LCSVReader::ResetCache()
{
    lineCache.clear();
    cacheFirst = -1;
    cacheLast = -1;
}

void LCSVReader::SetPosition(int64_t line, int64_t records)
{
    currentLine = line;
    recordCount = records;
}

LTextFileReader& LCSVReader::GetTextFile()
{
    ResetCache();
    return textFile;
}
