#include "CSVReader.h"

#include "EncodingTable.h"
#include "MemChunkBuffer.h"
#include "SimdCap.h"
#include "Utf8Decode.h"

#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

// The fields of the record being read, in its one buffer: the field being parsed is always the
// last one, its text the buffer's tail; its end is written when it is closed.
struct RecordFields
{
    RecordFields(RecordText& text, std::vector<uint32_t>& ends) : text(text), ends(ends) {}

    RecordText& text;
    std::vector<uint32_t>& ends;
    bool quoteOpened = false;  // a quote opened in the line parsed last

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

// Where the quote, CR and LF (`quoteOrBreak`) and the separator lie in a line of units, one bit
// per unit in words of 64, so that the end of each plain run is found with a few bit operations.
class UnitMasks
{
public:
    UnitMasks(const char16_t* t, size_t n, char16_t separator)
    {
        const size_t words = (n + 63) / 64;
        uint64_t* store = local;
        if (words > kLocalWords)
        {
            heap.resize(2 * words);
            store = heap.data();
        }
        quoteOrBreak = store;
        separators = store + words;
        Build()(t, n, separator, quoteOrBreak, separators);
    }

    // The first unit at or after j that ends a run (the separator only outside quotes), or n.
    size_t RunEnd(size_t j, size_t n, bool inQuotes) const
    {
        size_t word = j >> 6;
        uint64_t stop = (quoteOrBreak[word] | (inQuotes ? 0 : separators[word])) & (~uint64_t(0) << (j & 63));
        const size_t words = (n + 63) / 64;
        while (!stop)
        {
            if (++word >= words)
                return n;
            stop = quoteOrBreak[word] | (inQuotes ? 0 : separators[word]);
        }
        return (word << 6) + static_cast<size_t>(__builtin_ctzll(stop));
    }

private:
    using BuildFunction = void (*)(const char16_t*, size_t, char16_t, uint64_t*, uint64_t*);
    static BuildFunction Build();

    static constexpr size_t kLocalWords = 32;  // lines of up to 1,024 units need no allocation
    uint64_t local[2 * kLocalWords];
    std::vector<uint64_t> heap;
    uint64_t* quoteOrBreak;
    uint64_t* separators;
};

// The bits of the units from `from` to n (at most 64) one at a time.
inline void TailMasks(const char16_t* t, size_t from, size_t n, char16_t separator, uint64_t& qb, uint64_t& sp)
{
    qb = sp = 0;
    for (size_t k = from; k < n; ++k)
    {
        const char16_t c = t[k];
        qb |= uint64_t(c == kQuoteMark || c == kLineFeed || c == kCarriageReturn) << (k - from);
        sp |= uint64_t(c == separator) << (k - from);
    }
}

void BuildMasksPortable(const char16_t* t, size_t n, char16_t separator, uint64_t* qb, uint64_t* sp)
{
    for (size_t i = 0, word = 0; i < n; i += 64, ++word)
        TailMasks(t, i, std::min(n, i + 64), separator, qb[word], sp[word]);
}

void BuildMasksSse2(const char16_t* t, size_t n, char16_t separator, uint64_t* qb, uint64_t* sp)
{
    size_t i = 0;
    size_t word = 0;
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi16(static_cast<short>(kQuoteMark));
    const __m128i sepUnit = _mm_set1_epi16(static_cast<short>(separator));
    const __m128i lf = _mm_set1_epi16(static_cast<short>(kLineFeed));
    const __m128i cr = _mm_set1_epi16(static_cast<short>(kCarriageReturn));
    for (; i + 64 <= n; i += 64, ++word)
    {
        uint64_t q = 0;
        uint64_t s = 0;
        for (int part = 0; part < 4; ++part)
        {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + 16 * part));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + 16 * part + 8));
            const __m128i qa = _mm_or_si128(_mm_cmpeq_epi16(a, quote), _mm_or_si128(_mm_cmpeq_epi16(a, lf), _mm_cmpeq_epi16(a, cr)));
            const __m128i qbv = _mm_or_si128(_mm_cmpeq_epi16(b, quote), _mm_or_si128(_mm_cmpeq_epi16(b, lf), _mm_cmpeq_epi16(b, cr)));
            const unsigned qm = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(qa, qbv)));
            const unsigned sm = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, sepUnit), _mm_cmpeq_epi16(b, sepUnit))));
            q |= static_cast<uint64_t>(qm) << (16 * part);
            s |= static_cast<uint64_t>(sm) << (16 * part);
        }
        qb[word] = q;
        sp[word] = s;
    }
    if (i < n)
    {
        // The last word: eight units at a time, the few behind them one by one.
        uint64_t q = 0;
        uint64_t s = 0;
        size_t k = i;
        const __m128i none = _mm_setzero_si128();
        for (; k + 8 <= n; k += 8)
        {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k));
            const __m128i qa = _mm_or_si128(_mm_cmpeq_epi16(a, quote), _mm_or_si128(_mm_cmpeq_epi16(a, lf), _mm_cmpeq_epi16(a, cr)));
            const unsigned qm = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(qa, none))) & 0xFFu;
            const unsigned sm =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, sepUnit), none))) & 0xFFu;
            q |= static_cast<uint64_t>(qm) << (k - i);
            s |= static_cast<uint64_t>(sm) << (k - i);
        }
        uint64_t qt = 0;
        uint64_t st = 0;
        TailMasks(t, k, n, separator, qt, st);
        qb[word] = q | (qt << (k - i));
        sp[word] = s | (st << (k - i));
        return;
    }
#endif
    BuildMasksPortable(t + i, n - i, separator, qb + word, sp + word);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx512f,avx512bw"))) void BuildMasksAvx512(const char16_t* t, size_t n, char16_t separator,
                                                                   uint64_t* qb, uint64_t* sp)
{
    const __m512i quote = _mm512_set1_epi16(static_cast<short>(kQuoteMark));
    const __m512i sepUnit = _mm512_set1_epi16(static_cast<short>(separator));
    const __m512i lf = _mm512_set1_epi16(static_cast<short>(kLineFeed));
    const __m512i cr = _mm512_set1_epi16(static_cast<short>(kCarriageReturn));
    size_t word = 0;
    for (size_t i = 0; i < n; i += 64, ++word)
    {
        const size_t left = n - i;
        const __mmask32 lowValid = left >= 32 ? ~__mmask32(0) : static_cast<__mmask32>((uint64_t(1) << left) - 1);
        const __mmask32 highValid = left >= 64   ? ~__mmask32(0)
                                    : left <= 32 ? __mmask32(0)
                                                 : static_cast<__mmask32>((uint64_t(1) << (left - 32)) - 1);
        const __m512i a = _mm512_maskz_loadu_epi16(lowValid, t + i);
        const __m512i b = _mm512_maskz_loadu_epi16(highValid, t + i + 32);
        const uint64_t qa = _mm512_cmpeq_epi16_mask(a, quote) | _mm512_cmpeq_epi16_mask(a, lf) | _mm512_cmpeq_epi16_mask(a, cr);
        const uint64_t qbv = _mm512_cmpeq_epi16_mask(b, quote) | _mm512_cmpeq_epi16_mask(b, lf) | _mm512_cmpeq_epi16_mask(b, cr);
        // Units behind the line load as 0, which is never one of these characters.
        qb[word] = (qa & lowValid) | ((qbv & highValid) << 32);
        sp[word] = (_mm512_cmpeq_epi16_mask(a, sepUnit) & lowValid) |
                   (static_cast<uint64_t>(_mm512_cmpeq_epi16_mask(b, sepUnit) & highValid) << 32);
    }
}
#endif

UnitMasks::BuildFunction UnitMasks::Build()
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const BuildFunction chosen = [] {
        if (SimdUse(SimdKernel::Avx512Bw))
            return BuildMasksAvx512;
        return SimdUse(SimdKernel::Sse2) ? BuildMasksSse2 : BuildMasksPortable;
    }();
    return chosen;
#else
    return BuildMasksPortable;
#endif
}

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
size_t ParseInPlace(RecordFields& out, size_t base, bool& inQuotes, bool continueLast, bool joinWithoutNewline,
                    char16_t separator, bool cutQuotes)
{
    RecordText& text = out.text;
    const size_t n = text.size() - base;
    if (n == 0)
        return 0;

    size_t added = 0;
    bool continuation = false;
    size_t fieldBegin = base;
    if (continueLast && !out.Empty())
    {
        if (joinWithoutNewline)
        {
            const size_t begin = out.LastBegin();
            size_t end = base;
            while (end > begin && text[end - 1] == kLineFeed)
                --end;
            size_t lead = begin;
            while (lead < end && text[lead] == kLineFeed)
                ++lead;
            if (end < base)
                text.erase(end, base - end);
            if (lead > begin)
                text.erase(begin, lead - begin);
            base -= (base - end) + (lead - begin);
        }
        else
        {
            text.insert(base, 1, kLineFeed);
            ++base;
            ++added;
        }
        continuation = true;
        fieldBegin = out.LastBegin();
    }
    else
    {
        out.Next(base);
    }
    char16_t* const d = text.data();
    const char16_t* const t = d + base;
    size_t w = base;
    size_t fieldStart = w;
    bool quoted = false;

    const UnitMasks masks(t, n, separator);
    size_t j = 0;
    while (j < n)
    {
        size_t run = j;
        j = masks.RunEnd(j, n, inQuotes);
        if (j > run)
        {
            if (w != base + run)
                MoveDown(d + w, t + run, j - run);
            w += j - run;
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
                if (!lastChar && t[j + 1] == kQuoteMark)
                {
                    // Two in a row inside quotes are one escaped quotation mark: both stay in the
                    // text, and neither closes the field, whatever follows them.
                    d[w] = kQuoteMark;
                    d[w + 1] = kQuoteMark;
                    w += 2;
                    added += 2;
                    j += 2;
                    continue;
                }
                // A single one closes the field at the end of the line or before the separator,
                // CR or LF; elsewhere it is text.
                if (lastChar || t[j + 1] == separator || t[j + 1] == kLineFeed || t[j + 1] == kCarriageReturn)
                    inQuotes = false;
            }
            else if (w == fieldStart && (lastChar || t[j + 1] != kQuoteMark))
            {
                inQuotes = true;
                quoted = true;
                out.quoteOpened = true;
            }
            d[w++] = c;
            ++added;
        }
        else if (c == separator && !inQuotes)
        {
            if (!continuation)
                out.SetLastQuoted(quoted);
            if (cutQuotes)
                w = CutFieldQuotes(d, fieldBegin, w);
            out.CloseLast(w);
            continuation = false;
            out.Next(w);
            fieldStart = w;
            fieldBegin = w;
            quoted = false;
        }
        else if (c != kLineFeed && c != kCarriageReturn)
        {
            // The separator inside quotes.
            d[w++] = c;
            ++added;
        }
        ++j;
    }
    if (!continuation)
        out.SetLastQuoted(quoted);
    if (cutQuotes && !inQuotes)
        w = CutFieldQuotes(d, fieldBegin, w);
    out.CloseLast(w);
    text.resize(w);
    return added;
}

// Appends the UTF-8 bytes decoded to UTF-16, as the code page decoder decodes them.
void AppendUtf8(const uint8_t* s, size_t n, RecordText& out)
{
    if (n == 0)
        return;
    const size_t base = out.size();
    out.resize(base + n);  // never more units than bytes
    out.resize(base + DecodeUtf8Fast(s, n, out.data() + base));
}

}

namespace
{
constexpr size_t kHugePage = size_t(2) << 20;
// Texts from this size on are mapped on their own; smaller ones come from the heap.
constexpr size_t kMappedTextBytes = size_t(4) << 20;

size_t MappedLength(size_t bytes)
{
    const size_t page = 4096;
    return (bytes + page - 1) / page * page;
}
}

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
    const bool bytes = byteParsing && textFile.GetCodePage() == 65001 &&
                       !(textFile.GetEncodingFlags() & TEXT_ENC_16BIT);
    bool ok;
    size_t count;
    if (bytes)
    {
        byteStore.clear();
        ok = textFile.ReadLineBytes(first, last, byteStore, lineBytes, status, kWindowByteCap);
        count = lineBytes.size();
        byteStore.insert(byteStore.end(), 64, 0);  // the line scan reads 64 bytes at a time
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
            recordChars += ParseInPlace(fields, base, inQuotes, continuing, joinWithoutNewline, separator, true);
        }
        else
        {
            const size_t base = store.text.size();
            const std::u16string& text = lineCache[at].text;
            store.text.append(text.data(), text.size());
            recordChars += ParseInPlace(fields, base, inQuotes, continuing, joinWithoutNewline, separator, true);
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
    setup.lineCount = textFile.GetLineCount();  // builds the index when it is still empty
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
        lastRecordCut = false;  // a record the scan passed never ends at the cap
    return stop;
}
