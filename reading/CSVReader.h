// LCSVReader: reads CSV records forward from any recorded position of a text file: fields split
// at the separator, quoted fields that may span lines, each field remembering whether it was
// quoted.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "RecordScanner.h"
#include "TextFileReader.h"

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

// A field as a record holds it: its text seen in the record's buffer, and its quoted flag. Valid
// while the record it came from is neither changed nor destroyed.
struct CSVFieldView
{
    std::u16string_view text;
    bool quoted = false;
    // The units that may be read from text.data() on: up to the end of the record's buffer (its
    // capacity and the terminator), so that block scans may read past the field's end.
    size_t storage = 0;

    operator CSVField() const { return CSVField{std::u16string(text), quoted}; }
    bool operator==(const CSVFieldView& other) const { return text == other.text && quoted == other.quoted; }
    bool operator==(const CSVField& other) const { return text == other.text && quoted == other.quoted; }
};

// The allocator of record texts: a large text gets memory of its own that the system may back
// with huge pages, so that filling it costs a fault per 2 MiB instead of per 4 KiB.
void* RecordTextAllocate(size_t bytes);
void RecordTextFree(void* p, size_t bytes) noexcept;

template <typename T>
struct RecordTextAllocator
{
    using value_type = T;
    RecordTextAllocator() = default;
    template <typename U>
    RecordTextAllocator(const RecordTextAllocator<U>&) noexcept
    {}
    T* allocate(size_t n) { return static_cast<T*>(RecordTextAllocate(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { RecordTextFree(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const RecordTextAllocator<U>&) const noexcept
    {
        return true;
    }
};

using RecordText = std::basic_string<char16_t, std::char_traits<char16_t>, RecordTextAllocator<char16_t>>;

// One record: its fields in file order (possibly none). The text of all its fields lies in one
// buffer, one field after the other, with each field's end and quoted flag beside it: a record of
// many short fields costs its text and four bytes per field. Copies share the buffer until one of
// them is changed, so that a copy kept for the grid costs nothing.
class CSVRecord
{
    friend class LCSVReader;
    friend struct CSVRecordBuilder;

    static constexpr uint32_t kQuotedBit = 0x80000000u;
    static constexpr uint32_t kEndMask = 0x7FFFFFFFu;

    struct Store
    {
        RecordText text;
        std::vector<uint32_t> ends; // each field's end in text, the quoted flag in the top bit
    };

public:
    using value_type = CSVFieldView;

    class const_iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = CSVFieldView;
        using difference_type = std::ptrdiff_t;
        using reference = CSVFieldView;
        using pointer = void;

        const_iterator() = default;
        const_iterator(const CSVRecord* record, size_t index)
            : record(record)
            , index(index)
        {}
        CSVFieldView operator*() const { return (*record)[index]; }
        CSVFieldView operator[](difference_type n) const { return (*record)[index + static_cast<size_t>(n)]; }
        const_iterator& operator++()
        {
            ++index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            ++index;
            return old;
        }
        const_iterator& operator--()
        {
            --index;
            return *this;
        }
        const_iterator operator--(int)
        {
            const_iterator old = *this;
            --index;
            return old;
        }
        const_iterator& operator+=(difference_type n)
        {
            index += static_cast<size_t>(n);
            return *this;
        }
        const_iterator& operator-=(difference_type n)
        {
            index -= static_cast<size_t>(n);
            return *this;
        }
        const_iterator operator+(difference_type n) const
        {
            return const_iterator(record, index + static_cast<size_t>(n));
        }
        friend const_iterator operator+(difference_type n, const const_iterator& it) { return it + n; }
        const_iterator operator-(difference_type n) const
        {
            return const_iterator(record, index - static_cast<size_t>(n));
        }
        difference_type operator-(const const_iterator& other) const
        {
            return static_cast<difference_type>(index) - static_cast<difference_type>(other.index);
        }
        bool operator==(const const_iterator& other) const { return index == other.index; }
        auto operator<=>(const const_iterator& other) const { return index <=> other.index; }

    private:
        const CSVRecord* record = nullptr;
        size_t index = 0;
    };
    using iterator = const_iterator;

    CSVRecord() = default;
    CSVRecord(std::initializer_list<CSVField> fields);
    // A record of `count` empty fields, none quoted.
    explicit CSVRecord(size_t count);

    size_t size() const { return store ? store->ends.size() : 0; }
    bool empty() const { return size() == 0; }
    CSVFieldView operator[](size_t i) const
    {
        const Store& s = *store;
        const uint32_t end = s.ends[i] & kEndMask;
        const uint32_t begin = i == 0 ? 0 : (s.ends[i - 1] & kEndMask);
        return CSVFieldView{std::u16string_view(s.text.data() + begin, end - begin),
                            (s.ends[i] & kQuotedBit) != 0, s.text.capacity() + 1 - begin};
    }
    CSVFieldView front() const { return (*this)[0]; }
    CSVFieldView back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

    void push_back(const CSVField& field);
    void swap(CSVRecord& other) noexcept { store.swap(other.store); }
    void clear();
    // Room for fields (the count) without another allocation.
    void reserve(size_t fields);
    // Gives back the room far beyond what the record holds.
    void TrimSlack();
    // The units the text buffer holds room for, and the fields.
    size_t TextCapacity() const { return store ? store->text.capacity() : 0; }
    // Every field's text one after the other, without separators.
    std::u16string_view Text() const
    {
        return store ? std::u16string_view(store->text.data(), store->text.size()) : std::u16string_view();
    }

    bool operator==(const CSVRecord& other) const;

private:
    // The buffer to change: a new one when none exists or another record shares it.
    Store& Mutable();

    std::shared_ptr<Store> store;
};

class LCSVReader
{
public:
    static constexpr int64_t kWindowLines = CSVQ_READING_SIZE(10000, 4); // a window is up to 10,001 lines
    static constexpr uint64_t kWindowByteCap =
        CSVQ_READING_SIZE(8u << 20, 128);               // ends a window of huge lines early
    static constexpr size_t kMaxRecordChars = 16777216; // an open quote ends a record here

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
    // position as ReadRecord into an empty record, but the record's buffers are reused (unless
    // another record shares them), so that a record read again and again allocates nothing.
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
    // Parses the next record's lines onto the end of the buffer.
    bool ReadFields(CSVRecord::Store& store, bool joinWithoutNewline);
    void ReserveFor(CSVRecord::Store& store) const;
    void NoteSize(const CSVRecord::Store& store);

    static constexpr size_t kMaxFieldsHint = 1u << 20;
    static constexpr size_t kMaxTextHint = 1u << 22;

    std::string path;
    LTextFileReader textFile;
    int64_t currentLine = 0;
    int64_t recordCount = 0;
    int64_t cacheFirst = -1;
    int64_t cacheLast = -1;
    std::vector<LineEntry> lineCache; // decoded window
    bool cacheHoldsBytes = false;     // the window is in lineBytes/byteStore instead
    std::vector<LineBytes> lineBytes;
    std::vector<uint8_t> byteStore;
    bool byteParsing = true;
    size_t fieldsHint = 0; // fields of the last record: reserved for the next
    size_t textHint = 0;   // and its text
    SeparatorKind separatorKind = SEPARATOR_SEMICOLON;
    ReadLinesStatus lastStatus = READLINES_OK;
    bool lastRecordCut = false;
    bool lastRecordUnclosed = false;
    int64_t openQuoteLine = -1;
    std::vector<int64_t> windowCutLines; // lines of the window read cut, ascending
    std::vector<int64_t> recordCutLines; // those of the last record
    size_t maxRecordChars = kMaxRecordChars;
    bool fastPaths = FastPathsEnabledByDefault();
    std::unique_ptr<LRecordScanner> scanner;
};
