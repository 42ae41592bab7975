#include "RecordScanner.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CodePageDecoder.h"
#include "EncodingTable.h"
#include "FileReads.h"
#include "SimdCap.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {
constexpr uint8_t kQuote = '"';
constexpr uint8_t kCR = 13;
constexpr uint8_t kLF = 10;
constexpr uint64_t kNone = UINT64_MAX;
constexpr size_t kReadSize = CSVQ_READING_SIZE(256u << 10, 64); // stays in the second-level cache
constexpr size_t kPadding = 128;
constexpr int64_t kCheckpointLines = kCheckpointInterval;

// Bit i of masks[k] set when byte 64k + i is CR, LF, a quotation mark or NUL: the only bytes that
// change where a record ends. The bytes are read in whole blocks of 64.
void EventMasksScalar(const uint8_t* p, size_t blocks, uint64_t* masks)
{
    for (size_t k = 0; k < blocks; ++k, p += 64)
    {
        uint64_t bits = 0;
        for (int i = 0; i < 64; ++i)
        {
            const uint8_t b = p[i];
            bits |= uint64_t(b == kCR || b == kLF || b == kQuote || b == 0) << i;
        }
        masks[k] = bits;
    }
}

#if defined(__SSE2__)
void EventMasksSse2(const uint8_t* p, size_t blocks, uint64_t* masks)
{
    const __m128i cr = _mm_set1_epi8(static_cast<char>(kCR));
    const __m128i lf = _mm_set1_epi8(static_cast<char>(kLF));
    const __m128i quote = _mm_set1_epi8(static_cast<char>(kQuote));
    const __m128i zero = _mm_setzero_si128();
    for (size_t k = 0; k < blocks; ++k, p += 64)
    {
        uint64_t bits = 0;
        for (int part = 0; part < 4; ++part)
        {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
            const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                                           _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, zero)));
            bits |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(m))) << (16 * part);
        }
        masks[k] = bits;
    }
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void EventMasksAvx2(const uint8_t* p, size_t blocks, uint64_t* masks)
{
    const __m256i cr = _mm256_set1_epi8(static_cast<char>(kCR));
    const __m256i lf = _mm256_set1_epi8(static_cast<char>(kLF));
    const __m256i quote = _mm256_set1_epi8(static_cast<char>(kQuote));
    const __m256i zero = _mm256_setzero_si256();
    for (size_t k = 0; k < blocks; ++k, p += 64)
    {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i ma =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(a, cr), _mm256_cmpeq_epi8(a, lf)),
                            _mm256_or_si256(_mm256_cmpeq_epi8(a, quote), _mm256_cmpeq_epi8(a, zero)));
        const __m256i mb =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(b, cr), _mm256_cmpeq_epi8(b, lf)),
                            _mm256_or_si256(_mm256_cmpeq_epi8(b, quote), _mm256_cmpeq_epi8(b, zero)));
        masks[k] = static_cast<uint32_t>(_mm256_movemask_epi8(ma)) |
                   (static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(mb))) << 32);
    }
}

__attribute__((target("avx512f,avx512bw"))) void EventMasksAvx512(const uint8_t* p, size_t blocks,
                                                                  uint64_t* masks)
{
    const __m512i cr = _mm512_set1_epi8(static_cast<char>(kCR));
    const __m512i lf = _mm512_set1_epi8(static_cast<char>(kLF));
    const __m512i quote = _mm512_set1_epi8(static_cast<char>(kQuote));
    for (size_t k = 0; k < blocks; ++k, p += 64)
    {
        const __m512i v = _mm512_loadu_si512(p);
        masks[k] = _mm512_cmpeq_epi8_mask(v, cr) | _mm512_cmpeq_epi8_mask(v, lf) |
                   _mm512_cmpeq_epi8_mask(v, quote) | _mm512_testn_epi8_mask(v, v);
    }
}
#endif

using EventMasksFn = void (*)(const uint8_t*, size_t, uint64_t*);

EventMasksFn ChooseEventMasks()
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (SimdUse(SimdKernel::Avx512Bw))
        return EventMasksAvx512;
    if (SimdUse(SimdKernel::Avx2))
        return EventMasksAvx2;
#endif
#if defined(__SSE2__)
    if (SimdUse(SimdKernel::Sse2))
        return EventMasksSse2;
#endif
    return EventMasksScalar;
}

inline void EventMasks(const uint8_t* p, size_t blocks, uint64_t* masks)
{
    static const EventMasksFn chosen = ChooseEventMasks();
    chosen(p, blocks, masks);
}

// The class of a character for the record rules: itself for NUL, the quotation mark, the
// separator, CR and LF; 0xFFFF for every other.
char16_t RuleClass(char16_t c, char16_t separator)
{
    return c == 0 || c == u'"' || c == separator || c == u'\r' || c == u'\n' ? c : char16_t(0xFFFF);
}

struct FdCloser
{
    int& fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};
} // namespace

bool FastPathsEnabledByDefault()
{
    static const bool enabled = [] {
        const char* value = std::getenv("CSVQ_FAST_PATHS");
        if (!value)
            return true;
        return !(strcasecmp(value, "off") == 0 || strcasecmp(value, "0") == 0 ||
                 strcasecmp(value, "no") == 0 || strcasecmp(value, "false") == 0);
    }();
    return enabled;
}

LRecordScanner::LRecordScanner() = default;

LRecordScanner::~LRecordScanner()
{
    if (fd >= 0)
        ::close(fd);
}

bool LRecordScanner::Supports(int32_t encodingFlags, int32_t codePage, char16_t separator)
{
    // 16-bit text is found on its units: only when its units are also its characters.
    if (encodingFlags & TEXT_ENC_16BIT)
        return codePage == 1200;
    if (codePage == 65001)
        return true; // every byte of these five is the character, and no other byte gives one
    char16_t table[256];
    if (GetSingleByteTable(codePage, table))
    {
        // Each byte must decode to a character of its own class: no byte other than these five
        // gives a quotation mark, the separator, CR, LF or NUL (20127, for one, folds 0xA2 onto '"').
        for (unsigned b = 0; b < 256; ++b)
        {
            if (RuleClass(table[b], separator) != RuleClass(static_cast<char16_t>(b), separator))
                return false;
        }
        return true;
    }
    return DoubleByteAllowed(codePage, separator);
}

bool LRecordScanner::DoubleByteAllowed(int32_t codePage, char16_t separator)
{
    // Decided once per code page and separator: 65,536 pairs to look at.
    static std::mutex lock;
    static std::map<std::pair<int32_t, char16_t>, bool> known;
    std::lock_guard<std::mutex> guard(lock);
    const auto key = std::make_pair(codePage, separator);
    auto found = known.find(key);
    if (found != known.end())
        return found->second;
    bool lead[256];
    char16_t single[256];
    const char16_t* pairs = nullptr;
    bool allowed = GetDoubleByteTables(codePage, lead, single, pairs);
    for (unsigned b = 0; allowed && b < 256; ++b)
    {
        // A byte on its own (a lead byte too, at a line's end or before a NUL) decodes to a
        // character of its own class, and no pair to one of the five.
        if (RuleClass(single[b], separator) != RuleClass(static_cast<char16_t>(b), separator))
            allowed = false;
        for (unsigned trail = 1; allowed && lead[b] && trail < 256; ++trail)
        {
            if (RuleClass(pairs[b * 256 + trail], separator) != char16_t(0xFFFF))
                allowed = false;
        }
    }
    known[key] = allowed;
    return allowed;
}

void LRecordScanner::Reset()
{
    length = 0;
    base = 0;
    haveKnown = false;
    std::fill(std::begin(identity), std::end(identity), 0);
}

bool LRecordScanner::OpenFile(const RecordScanSetup& setup)
{
    fd = ::open(setup.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const uint64_t now[5] = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                             static_cast<uint64_t>(info.st_size), static_cast<uint64_t>(info.st_mtim.tv_sec),
                             static_cast<uint64_t>(info.st_mtim.tv_nsec)};
    if (!std::equal(std::begin(now), std::end(now), std::begin(identity)))
    {
        // Another file, or the same one changed: nothing kept from before holds.
        Reset();
        std::copy(std::begin(now), std::end(now), std::begin(identity));
    }
    // Reading past the end of what was indexed means the file is not what the index says.
    return static_cast<uint64_t>(info.st_size) >= setup.index->back().byteOffset;
}

bool LRecordScanner::Load(uint64_t from, uint64_t keepFrom, uint64_t textEnd)
{
    keepFrom = std::min(keepFrom, from);
    size_t kept = 0;
    if (length > 0 && keepFrom >= base && keepFrom <= base + length && from <= base + length)
    {
        kept = static_cast<size_t>(base + length - keepFrom);
        std::memmove(buffer.data(), buffer.data() + (keepFrom - base), kept);
        base = keepFrom;
    }
    else
    {
        base = from;
    }
    length = kept;
    const uint64_t readAt = base + kept;
    if (readAt >= textEnd)
        return false;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadSize, textEnd - readAt));
    if (buffer.size() < kept + want + kPadding)
        buffer.resize(kept + std::max(want, kReadSize) + kPadding);
    const ssize_t got = PreadFully(fd, buffer.data() + kept, want, static_cast<off_t>(readAt));
    if (got < 0 || static_cast<size_t>(got) != want)
    {
        length = 0;
        return false;
    }
    length = kept + want;
    std::memset(buffer.data() + length, 0, kPadding);
    const size_t blocks = (length + 63) / 64;
    if (masks.size() < blocks)
        masks.resize(blocks);
    if (unitSize == 1)
    {
        EventMasks(buffer.data(), blocks, masks.data());
    }
    else
    {
        // 16-bit units (at even offsets from base): the bit of a unit's first byte.
        std::fill(masks.begin(), masks.begin() + static_cast<ptrdiff_t>(blocks), 0);
        for (size_t i = 0; i + 1 < length; i += 2)
        {
            const uint16_t unit = UnitAt(base + i);
            if (unit == kCR || unit == kLF || unit == kQuote || unit == 0)
                masks[i >> 6] |= uint64_t(1) << (i & 63);
        }
    }
    return true;
}

bool LRecordScanner::Locate(const RecordScanSetup& setup, int64_t line, uint64_t textEnd, uint64_t& offset)
{
    int64_t atLine;
    uint64_t at;
    if (haveKnown && knownLine <= line && line - knownLine <= kCheckpointLines)
    {
        atLine = knownLine;
        at = knownOffset;
    }
    else
    {
        const IndexList& index = *setup.index;
        // The last checkpoint at or before the line that starts a line (not the end checkpoint).
        auto after =
            std::upper_bound(index.begin(), index.end() - 1, static_cast<uint64_t>(line),
                             [](uint64_t value, const IndexNode& node) { return value < node.line; });
        if (after == index.begin())
            return false;
        const IndexNode& node = *(after - 1);
        if (!node.atLineBreak)
            return false;
        atLine = static_cast<int64_t>(node.line);
        at = node.byteOffset;
    }
    // Line breaks counted forward, paired as the index pairs them.
    while (atLine < line)
    {
        if (at < base || at + unitSize > base + length ||
            (at + 2 * unitSize > base + length && base + length < textEnd))
        {
            if (at >= textEnd || !Load(at, at, textEnd))
                return false;
        }
        const uint64_t end = base + length;
        const uint64_t procEnd = end < textEnd ? end - unitSize : textEnd;
        bool found = false;
        while (at < procEnd && !found)
        {
            const uint64_t block = base + ((at - base) & ~uint64_t(63));
            uint64_t mask = masks[(at - base) >> 6] & (~uint64_t(0) << ((at - base) & 63));
            const uint64_t span = std::min<uint64_t>(64, procEnd - block);
            if (span < 64)
                mask &= (uint64_t(1) << span) - 1;
            while (mask)
            {
                const uint64_t p = block + static_cast<uint64_t>(__builtin_ctzll(mask));
                mask &= mask - 1;
                const uint16_t c = UnitAt(p);
                if (c != kCR && c != kLF)
                    continue;
                uint64_t next = p + unitSize;
                if (next + unitSize <= textEnd && UnitAt(next) == (c == kCR ? kLF : kCR))
                    next += unitSize;
                at = next;
                if (++atLine == line)
                {
                    found = true;
                    break;
                }
                const uint64_t used = at - block;
                mask = used >= 64 ? 0 : mask & (~uint64_t(0) << used);
            }
            if (!found)
                at = std::max(at, block + span);
        }
        if (!found && at >= textEnd)
            return false;
    }
    offset = at;
    haveKnown = true;
    knownLine = line;
    knownOffset = at;
    return true;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The places 0 .. last of s, 64 at a time while 64 fit: true with the first match, or false with
// `next` the first place not looked at.
static __attribute__((target("avx512f,avx512bw"))) bool
FindPatternAvx512(const BytePattern& pattern, const uint8_t* s, size_t last, size_t& next, size_t& match)
{
    const size_t size = pattern.bytes.size();
    const __m512i a0 = _mm512_set1_epi8(static_cast<char>(pattern.bytes[0][0]));
    const __m512i b0 = _mm512_set1_epi8(static_cast<char>(pattern.bytes[0][1]));
    const __m512i aL = _mm512_set1_epi8(static_cast<char>(pattern.bytes[size - 1][0]));
    const __m512i bL = _mm512_set1_epi8(static_cast<char>(pattern.bytes[size - 1][1]));
    size_t i = 0;
    for (; i + 64 <= last + 1; i += 64)
    {
        const __m512i f = _mm512_loadu_si512(s + i);
        const __m512i l = _mm512_loadu_si512(s + i + size - 1);
        uint64_t bits = (_mm512_cmpeq_epi8_mask(f, a0) | _mm512_cmpeq_epi8_mask(f, b0)) &
                        (_mm512_cmpeq_epi8_mask(l, aL) | _mm512_cmpeq_epi8_mask(l, bL));
        while (bits)
        {
            const size_t j = i + static_cast<size_t>(__builtin_ctzll(bits));
            if (pattern.MatchesAt(s + j))
            {
                match = j;
                return true;
            }
            bits &= bits - 1;
        }
    }
    next = i;
    return false;
}
#endif

uint64_t LRecordScanner::FindPattern(const BytePattern& pattern, uint64_t from, uint64_t to) const
{
    const size_t size = pattern.bytes.size();
    if (to < from || to - from < size)
        return kNone;
    const uint8_t* s = buffer.data() + (from - base);
    const size_t last = static_cast<size_t>(to - from) - size; // the last place a match can start
    size_t i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool wide = SimdUse(SimdKernel::Avx512Bw);
    if (wide)
    {
        size_t match = 0;
        if (FindPatternAvx512(pattern, s, last, i, match))
            return from + match;
    }
#endif
#if defined(__SSE2__)
    static const bool vector = SimdUse(SimdKernel::Sse2);
    const __m128i a0 = _mm_set1_epi8(static_cast<char>(pattern.bytes[0][0]));
    const __m128i b0 = _mm_set1_epi8(static_cast<char>(pattern.bytes[0][1]));
    const __m128i aL = _mm_set1_epi8(static_cast<char>(pattern.bytes[size - 1][0]));
    const __m128i bL = _mm_set1_epi8(static_cast<char>(pattern.bytes[size - 1][1]));
    for (; vector && i + 16 <= last + 1; i += 16)
    {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + size - 1));
        const __m128i m = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(f, a0), _mm_cmpeq_epi8(f, b0)),
                                        _mm_or_si128(_mm_cmpeq_epi8(l, aL), _mm_cmpeq_epi8(l, bL)));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(m));
        while (bits)
        {
            const size_t j = i + static_cast<size_t>(__builtin_ctz(bits));
            if (pattern.MatchesAt(s + j))
                return from + j;
            bits &= bits - 1;
        }
    }
#endif
    for (; i <= last; ++i)
    {
        if (pattern.MatchesAt(s + i))
            return from + i;
    }
    return kNone;
}

ScanStop LRecordScanner::Scan(const RecordScanSetup& setup, int64_t& line, int64_t& records, int64_t count,
                              const BytePattern* pattern, RecordScanObserver* observer, int64_t& advanced)
{
    advanced = 0;
    if (setup.path.empty() || !setup.index || setup.index->size() < 2 ||
        !Supports(setup.encodingFlags, setup.codePage, setup.separator))
        return ScanStop::Unavailable;
    // How the bytes are walked: 16-bit units in their byte order, or bytes, with the lead bytes of
    // a double-byte page taking the byte after them.
    const unsigned units = (setup.encodingFlags & TEXT_ENC_16BIT) ? 2 : 1;
    const bool swapped = units == 2 && !(setup.encodingFlags & TEXT_ENC_LITTLE_ENDIAN);
    char16_t unusedSingle[256];
    const char16_t* unusedPairs = nullptr;
    const bool doubleByte = units == 1 && setup.codePage != 65001 &&
                            GetDoubleByteTables(setup.codePage, leadBytes, unusedSingle, unusedPairs);
    if (pattern && pattern->Empty())
        pattern = nullptr;
    // The byte pattern speaks of the bytes of one-byte characters only.
    if (pattern && (units != 1 || doubleByte))
        return ScanStop::Unavailable;
    if (units != unitSize || swapped != bigEndian)
    {
        Reset();
        unitSize = units;
        bigEndian = swapped;
    }
    if (count <= 0)
        return ScanStop::Done;
    const int64_t lastLine = setup.lineCount - 1;
    // The file's last line has no break of its own: the record reader reads it.
    if (line < 0 || line >= lastLine)
        return ScanStop::Deferred;
    FdCloser closer{fd};
    if (!OpenFile(setup))
        return ScanStop::Deferred;
    const IndexList& index = *setup.index;
    const uint64_t textEnd = index.back().byteOffset;
    uint64_t offset = 0;
    if (!Locate(setup, line, textEnd, offset))
        return ScanStop::Deferred;

    const uint16_t separator = setup.separator;
    const uint64_t unit = unitSize;
    const int64_t recordsBefore = records;
    // The record being passed starts at recordLine / recordStart; the scan stops at a record's
    // start, so that the reader takes over there.
    int64_t recordLine = line;
    uint64_t recordStart = offset;
    int64_t current = line;
    uint64_t lineStart = offset;
    bool inQuotes = false;
    bool afterNul = false; // the line's text ended at a NUL: the rest of it up to the break is no text
    uint64_t pos = offset;
    // Double-byte pages: a position known to start a character of the current line.
    uint64_t charStart = offset;
    // The first place at or after candidateFrom where the pattern matches within the bytes loaded
    // then (up to candidateTo), or kNone.
    uint64_t candidateFrom = kNone;
    uint64_t candidateTo = 0;
    uint64_t candidate = kNone;

    auto stop = [&](ScanStop why) {
        line = recordLine;
        records = recordsBefore + advanced;
        haveKnown = true;
        knownLine = recordLine;
        knownOffset = recordStart;
        return why;
    };

    for (;;)
    {
        if (pos >= textEnd)
            return stop(ScanStop::Deferred);
        if (pos < base || pos + unit > base + length ||
            (pos + 2 * unit > base + length && base + length < textEnd))
        {
            if (!Load(pos, std::min(recordStart, pos >= unit ? pos - unit : 0), textEnd))
                return stop(ScanStop::Deferred);
            candidateFrom = kNone;
        }
        const uint64_t end = base + length;
        // A unit is looked at with the one after it: both must be loaded, unless the text ends.
        // (end - unit keeps the positions on unit boundaries.)
        const uint64_t procEnd = end < textEnd ? end - unit : textEnd;
        // What stays the same until the next load, in locals: the loop below calls out (the
        // observer, the pattern search), after which members would be read from memory again.
        const uint8_t* const loaded = buffer.data();
        const uint64_t loadedBase = base;
        const uint64_t* const eventMasks = masks.data();
        const bool wideUnits = unit == 2;
        const bool swappedUnits = bigEndian;
        const auto unitAt = [loaded, loadedBase, wideUnits, swappedUnits](uint64_t at) -> uint16_t {
            const uint8_t* b = loaded + (at - loadedBase);
            if (!wideUnits)
                return b[0];
            return swappedUnits ? static_cast<uint16_t>((b[0] << 8) | b[1])
                                : static_cast<uint16_t>(b[0] | (b[1] << 8));
        };
        while (pos < procEnd)
        {
            const uint64_t block = loadedBase + ((pos - loadedBase) & ~uint64_t(63));
            uint64_t mask = eventMasks[(pos - loadedBase) >> 6] & (~uint64_t(0) << ((pos - loadedBase) & 63));
            const uint64_t span = std::min<uint64_t>(64, procEnd - block);
            if (span < 64)
                mask &= (uint64_t(1) << span) - 1;
            while (mask)
            {
                const uint64_t p = block + static_cast<uint64_t>(__builtin_ctzll(mask));
                const uint16_t c = unitAt(p);
                if (c == kCR || c == kLF)
                {
                    uint64_t next = p + unit;
                    if (next + unit <= textEnd && unitAt(next) == (c == kCR ? kLF : kCR))
                        next += unit;
                    // A line the reader would cut for its length.
                    if (next - lineStart > setup.maxLineBytes)
                        return stop(ScanStop::Deferred);
                    ++current;
                    lineStart = next;
                    charStart = next;
                    afterNul = false;
                    pos = next;
                    if (current % kCheckpointLines == 0)
                    {
                        // The index must agree on where this line starts, or the file changed.
                        const size_t k = static_cast<size_t>(current / kCheckpointLines);
                        if (k + 1 < index.size() && index[k].line == static_cast<uint64_t>(current) &&
                            index[k].byteOffset != next)
                            return stop(ScanStop::Deferred);
                    }
                    if (!inQuotes)
                    {
                        if (pattern)
                        {
                            const bool known =
                                candidateFrom != kNone && candidateFrom <= recordStart &&
                                (candidate != kNone ? candidate >= recordStart : candidateTo >= next);
                            if (!known)
                            {
                                candidateFrom = recordStart;
                                candidateTo = end;
                                candidate = FindPattern(*pattern, recordStart, end);
                            }
                            if (candidate < next)
                                return stop(ScanStop::MaybeHit);
                        }
                        ++advanced;
                        if (observer && current - recordLine > 1)
                            observer->OnMultiLineRecord(recordsBefore + advanced, recordLine, current);
                        recordLine = current;
                        recordStart = next;
                        if (advanced == count)
                            return stop(ScanStop::Done);
                        if (current >= lastLine)
                            return stop(ScanStop::Deferred);
                    }
                    else
                    {
                        if (current >= lastLine)
                            return stop(ScanStop::Deferred);
                        // What the open quote has gathered is at most the record's bytes and one
                        // line feed per line: far from the cap, no need to count it exactly.
                        if ((next - recordStart) + static_cast<uint64_t>(current - recordLine) >=
                            setup.maxRecordChars)
                            return stop(ScanStop::Deferred);
                    }
                }
                else if (afterNul)
                {
                    pos = p + unit;
                }
                else if (c == 0)
                {
                    // A NUL is always a character of its own, also right behind a lead byte.
                    afterNul = true;
                    pos = p + unit;
                }
                else
                {
                    // A quotation mark. In a double-byte page it may be the second byte of a pair.
                    bool fieldStart = p == lineStart;
                    bool isCharacter = true;
                    if (doubleByte)
                    {
                        uint64_t q = charStart;
                        uint64_t previous = kNone;
                        while (q < p)
                        {
                            previous = q;
                            const uint8_t b = loaded[q - loadedBase];
                            q += leadBytes[b] && q + 1 < textEnd && loaded[q + 1 - loadedBase] != 0 ? 2 : 1;
                        }
                        isCharacter = q == p;
                        charStart = q;
                        fieldStart = fieldStart || (isCharacter && previous != kNone && previous + 1 == p &&
                                                    loaded[previous - loadedBase] == separator);
                    }
                    else
                    {
                        fieldStart = fieldStart || unitAt(p - unit) == separator;
                    }
                    if (!isCharacter)
                    {
                        pos = p + 1;
                    }
                    else
                    {
                        // What follows it in the line's text (NUL: the text ends there).
                        const uint16_t following = p + 2 * unit <= textEnd ? unitAt(p + unit) : 0;
                        if (inQuotes)
                        {
                            if (following == kQuote)
                            {
                                pos = p + 2 * unit; // an escaped quotation mark
                            }
                            else
                            {
                                if (following == separator || following == kCR || following == kLF ||
                                    following == 0)
                                    inQuotes = false;
                                pos = p + unit;
                            }
                        }
                        else
                        {
                            // It opens a quote only as the first character of a field.
                            if (fieldStart && following != kQuote)
                                inQuotes = true;
                            pos = p + unit;
                        }
                        charStart = pos;
                    }
                }
                const uint64_t used = pos - block;
                mask = used >= 64 ? 0 : mask & (~uint64_t(0) << used);
            }
            if (pos < block + span)
                pos = block + span;
        }
    }
}
