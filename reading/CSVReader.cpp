#include "CSVReader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <sys/mman.h>

#include "EncodingTable.h"
#include "LineSplitter.h"
#include "MemChunkBuffer.h"
#include "Utf8Decode.h"

namespace {
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

// Appends the UTF-8 bytes decoded to UTF-16, as the code page decoder decodes them.
void AppendUtf8(const uint8_t* s, size_t n, RecordText& out)
{
    if (n == 0)
        return;
    const size_t base = out.size();
    out.resize(base + n); // never more units than bytes
    out.resize(base + DecodeUtf8Fast(s, n, out.data() + base));
}
} // namespace

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
// Texts from this size on are mapped on their own; smaller ones come from the heap.
constexpr size_t kMappedTextBytes = size_t(4) << 20;

size_t MappedLength(size_t bytes)
{
    const size_t page = 4096;
    return (bytes + page - 1) / page * page;
}
} // namespace

void* RecordTextAllocate(size_t bytes)
{
    if (bytes < kMappedTextBytes)
        return ::operator new(bytes);
    // Mapped at a 2 MiB boundary, the whole pages of the text may become huge pages.
    const size_t length = MappedLength(bytes);
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t(kHugePage) - 1);
    if (aligned > start)
        munmap(raw, aligned - start);
    const uintptr_t end = start + length + kHugePage;
    if (end > aligned + length)
        munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void RecordTextFree(void* p, size_t bytes) noexcept
{
    if (bytes < kMappedTextBytes)
        ::operator delete(p);
    else
        munmap(p, MappedLength(bytes));
}

CSVRecord::CSVRecord(std::initializer_list<CSVField> fields)
{
    for (const CSVField& field : fields)
        push_back(field);
}

CSVRecord::CSVRecord(size_t count)
{
    if (count > 0)
        Mutable().ends.assign(count, 0);
}

CSVRecord::Store& CSVRecord::Mutable()
{
    if (!store)
    {
        store = std::make_shared<Store>();
    }
    else if (store.use_count() > 1)
    {
        // Another record shares the buffer: this one gets its own, with the same content.
        store = std::make_shared<Store>(*store);
    }
    return *store;
}

void CSVRecord::push_back(const CSVField& field)
{
    Store& s = Mutable();
    s.text.append(field.text.data(), field.text.size());
    s.ends.push_back(static_cast<uint32_t>(s.text.size()) | (field.quoted ? kQuotedBit : 0u));
}

void CSVRecord::clear()
{
    if (!store)
        return;
    if (store.use_count() > 1)
    {
        store.reset();
        return;
    }
    store->text.clear();
    store->ends.clear();
}

void CSVRecord::reserve(size_t fields)
{
    Store& s = Mutable();
    s.ends.reserve(fields);
}

void CSVRecord::TrimSlack()
{
    if (!store || store.use_count() > 1)
        return;
    if (store->text.capacity() > store->text.size() + store->text.size() / 8 + 64)
        store->text.shrink_to_fit();
    if (store->ends.capacity() > 2 * store->ends.size() + 16)
        store->ends.shrink_to_fit();
}

bool CSVRecord::operator==(const CSVRecord& other) const
{
    if (size() != other.size())
        return false;
    if (store == other.store)
        return true;
    for (size_t i = 0; i < size(); ++i)
    {
        if ((*this)[i] != other[i])
            return false;
    }
    return true;
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
    if (scanner)
        scanner->Reset();
    currentLine = 0;
    recordCount = 0;
    lastStatus = READLINES_OK;
    lastRecordCut = false;
    lastRecordUnclosed = false;
    openQuoteLine = -1;
    recordCutLines.clear();
    return result;
}

bool LCSVReader::FillWindow()
{
    const uint64_t first = static_cast<uint64_t>(currentLine);
    const uint64_t lines = static_cast<uint64_t>(textFile.GetLineCount());
    const uint64_t last = std::min(first + static_cast<uint64_t>(kWindowLines), lines);
    ReadLinesStatus status = READLINES_OK;
    const bool bytes =
        byteParsing && textFile.GetCodePage() == 65001 && !(textFile.GetEncodingFlags() & TEXT_ENC_16BIT);
    bool ok;
    size_t count;
    if (bytes)
    {
        byteStore.clear();
        ok = textFile.ReadLineBytes(first, last, byteStore, lineBytes, status, kWindowByteCap);
        count = lineBytes.size();
        byteStore.insert(byteStore.end(), 64, 0); // the line scan reads 64 bytes at a time
    }
    else
    {
        ok = textFile.ReadLines(first, last, lineCache, status, nullptr, kWindowByteCap);
        count = lineCache.size();
    }
    lastStatus = status;
    if (!ok)
    {
        // A failed read may leave part of a window behind: it is not a window.
        ResetCache();
        return false;
    }
    windowCutLines.clear();
    for (const uint64_t line : textFile.GetCutLines())
        windowCutLines.push_back(static_cast<int64_t>(line));
    cacheHoldsBytes = bytes;
    cacheFirst = currentLine;
    cacheLast = currentLine + static_cast<int64_t>(count) - 1;
    return true;
}

bool LCSVReader::ReadRecord(CSVRecord& out, bool joinWithoutNewline)
{
    if (!textFile.IsOpen())
        return false;
    CSVRecord::Store& store = out.Mutable();
    if (store.ends.empty())
        ReserveFor(store);
    const bool result = ReadFields(store, joinWithoutNewline);
    NoteSize(store);
    return result;
}

bool LCSVReader::ReadRecordInto(CSVRecord& record, bool joinWithoutNewline)
{
    CSVRecord::Store& store = record.Mutable();
    store.text.clear();
    store.ends.clear();
    bool result = false;
    if (textFile.IsOpen())
    {
        ReserveFor(store);
        result = ReadFields(store, joinWithoutNewline);
    }
    NoteSize(store);
    return result;
}

void LCSVReader::ReserveFor(CSVRecord::Store& store) const
{
    // Room for a record like the last one, so that the buffers do not grow step by step.
    if (store.ends.capacity() < fieldsHint)
        store.ends.reserve(fieldsHint);
    if (store.text.capacity() < textHint)
        store.text.reserve(textHint);
}

void LCSVReader::NoteSize(const CSVRecord::Store& store)
{
    fieldsHint = std::min<size_t>(store.ends.size(), kMaxFieldsHint);
    textHint = std::min<size_t>(store.text.size() + store.text.size() / 8, kMaxTextHint);
}

bool LCSVReader::ReadFields(CSVRecord::Store& store, bool joinWithoutNewline)
{
    lastRecordCut = false;
    lastRecordUnclosed = false;
    openQuoteLine = -1;
    recordCutLines.clear();
    RecordFields fields{store.text, store.ends};
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
            {
                result = EndOfTextInsideQuotes(inQuotes);
                break;
            }
        }
        if (cacheFirst < 0 || currentLine < cacheFirst || currentLine > cacheLast)
        {
            result = EndOfTextInsideQuotes(inQuotes);
            break;
        }
        const size_t at = static_cast<size_t>(currentLine - cacheFirst);
        if (!windowCutLines.empty()) [[unlikely]]
        {
            if (std::binary_search(windowCutLines.begin(), windowCutLines.end(), currentLine))
                recordCutLines.push_back(currentLine);
        }
        if (cacheHoldsBytes)
        {
            const LineBytes& line = lineBytes[at];
            // The line's bytes decoded straight onto the end of the record's buffer (the same
            // text as the decoded window holds) and split there.
            const size_t base = store.text.size();
            AppendUtf8(byteStore.data() + line.offset, line.length, store.text);
            recordChars +=
                ParseInPlace(fields, base, inQuotes, continuing, joinWithoutNewline, separator, true);
        }
        else
        {
            const size_t base = store.text.size();
            const std::u16string& text = lineCache[at].text;
            store.text.append(text.data(), text.size());
            recordChars +=
                ParseInPlace(fields, base, inQuotes, continuing, joinWithoutNewline, separator, true);
        }
        if (fields.quoteOpened)
        {
            // The quote still open after this line opened on it (the last one opened here).
            if (inQuotes)
                openQuoteLine = currentLine;
            fields.quoteOpened = false;
        }
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
    if (inQuotes && !store.ends.empty())
    {
        // The record ended with its last field still in quotes (the end of the text, the length
        // cap or a failed read): that field's marks are cut now.
        const size_t begin = fields.LastBegin();
        fields.CloseLast(CutFieldQuotes(store.text.data(), begin, store.ends.back() & CSVRecord::kEndMask));
        store.text.resize(store.ends.back() & CSVRecord::kEndMask);
    }
    if (!lastRecordUnclosed && !lastRecordCut)
        openQuoteLine = -1;
    return result;
}

bool LCSVReader::EndOfTextInsideQuotes(bool inQuotes)
{
    // The text ended (it was not a failed read) while a quote was open: the record is delivered
    // as read, its open field holding the rest of the text, and counted like any other.
    if (!inQuotes || lastStatus == READLINES_READ_ERROR || lastStatus == READLINES_NO_INDEX)
        return false;
    ++recordCount;
    lastRecordUnclosed = true;
    return true;
}

void LCSVReader::ParseLine(const std::u16string& line, CSVRecord& fields, bool& inQuotes) const
{
    CSVRecord::Store& store = fields.Mutable();
    store.text.clear();
    store.ends.clear();
    RecordFields into{store.text, store.ends};
    store.text.append(line.data(), line.size());
    ParseInPlace(into, 0, inQuotes, false, false, SeparatorChar(separatorKind), false);
}

void LCSVReader::StripQuotes(CSVRecord& record)
{
    // Each field's text moves down over the marks cut before it, and has its own marks cut as a
    // read record's fields have theirs cut while the line is split.
    if (record.empty())
        return;
    CSVRecord::Store& store = record.Mutable();
    char16_t* const data = store.text.data();
    size_t write = 0;
    size_t begin = 0;
    for (uint32_t& entry : store.ends)
    {
        const size_t end = entry & CSVRecord::kEndMask;
        if (write != begin)
            MoveDown(data + write, data + begin, end - begin);
        write = CutFieldQuotes(data, write, write + (end - begin));
        entry = (entry & CSVRecord::kQuotedBit) | static_cast<uint32_t>(write);
        begin = end;
    }
    store.text.resize(write);
}

void LCSVReader::ResetCache()
{
    lineCache.clear();
    lineBytes.clear();
    byteStore.clear();
    windowCutLines.clear();
    cacheHoldsBytes = false;
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

bool LCSVReader::CanScanRecords()
{
    return fastPaths && textFile.IsOpen() && !textFile.GetWorkingPath().empty() &&
           LRecordScanner::Supports(textFile.GetEncodingFlags(), textFile.GetCodePage(),
                                    SeparatorChar(separatorKind));
}

ScanStop LCSVReader::ScanRecords(int64_t count, const BytePattern* pattern, RecordScanObserver* observer,
                                 int64_t& advanced)
{
    advanced = 0;
    if (!CanScanRecords())
        return ScanStop::Unavailable;
    RecordScanSetup setup;
    setup.lineCount = textFile.GetLineCount(); // builds the index when it is still empty
    setup.path = textFile.GetWorkingPath();
    setup.index = &textFile.GetIndex();
    setup.encodingFlags = textFile.GetEncodingFlags();
    setup.codePage = textFile.GetCodePage();
    setup.separator = SeparatorChar(separatorKind);
    setup.maxRecordChars = maxRecordChars;
    setup.maxLineBytes = LTextFileReader::kMaxLineBytes;
    if (!scanner)
        scanner = std::make_unique<LRecordScanner>();
    const ScanStop stop = scanner->Scan(setup, currentLine, recordCount, count, pattern, observer, advanced);
    if (advanced > 0)
        lastRecordCut = false; // a record the scan passed never ends at the cap
    return stop;
}
