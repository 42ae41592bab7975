#include "LineIndex.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "EncodingTable.h"
#include "FileReads.h"
#include "MemChunkBuffer.h"
#include "SimdCap.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// Two scanners share the rules of the line index:
//  - BreakScanner, for the CSV path (neither pseudo-line option). Breaks pair greedily from left
//    to right (CR LF and LF CR are one break, CR CR and LF LF two) whatever the read boundaries,
//    so the text is read in large bulk reads and searched 64 bytes at a time.
//  - PseudoLineScanner, for the two pseudo-line options. Its cuts depend on the grid of
//    `readSize` reads (a measure restarts with every read), so it walks the text unit by unit
//    in exactly those reads.
// Both stop right after the checkpoint that reaches the limit line, and both treat a lone break
// that is the text's last unit as counted but without a checkpoint of its own: the end checkpoint
// covers it.

namespace {
constexpr size_t kDefaultBulkRead = CSVQ_READING_SIZE(1024 * 1024, 64);
constexpr uint16_t kUnitCR = 13;
constexpr uint16_t kUnitLF = 10;

inline uint16_t OtherBreak(uint16_t unit)
{
    return unit == kUnitCR ? kUnitLF : kUnitCR;
}

inline LineEndingKind LoneKind(uint16_t unit)
{
    return unit == kUnitCR ? LINE_ENDING_CR : LINE_ENDING_LF;
}

// A source of consecutive spans of the text: pread on a file, or the chunks of a buffer.
class TextSource
{
public:
    TextSource(int fd, uint64_t offset)
        : fd(fd)
        , position(offset)
    {}
    TextSource(const LMemChunkBuffer* buffer, uint64_t offset)
        : chunks(&buffer->GetChunks())
    {
        // Find the chunk holding `offset`; the first span is the rest of that chunk.
        uint64_t chunkStart = 0;
        for (; chunkIndex < chunks->size(); ++chunkIndex)
        {
            const LMemChunk* chunk = (*chunks)[chunkIndex];
            if (!chunk)
                continue;
            if (offset < chunkStart + chunk->used)
                break;
            chunkStart += chunk->used;
        }
        inChunk = offset >= chunkStart ? offset - chunkStart : 0;
        position = offset;
    }

    bool IsMemory() const { return chunks != nullptr; }

    // A file is read no further than `end`: bytes written behind it are not part of the text.
    void SetEnd(uint64_t end) { textEnd = end; }

    // Bytes of a regular file from `offset` on as it is now; UINT64_MAX when unknown.
    uint64_t BytesLeft(uint64_t offset) const
    {
        struct stat info;
        if (chunks || fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            return UINT64_MAX;
        const uint64_t size = std::min(static_cast<uint64_t>(info.st_size), textEnd);
        return size > offset ? size - offset : 0;
    }

    // The next span of at most `wanted` bytes (file mode; memory spans are whole chunks).
    // Returns false on a read error; an empty span is the end of the text.
    bool Next(uint8_t* scratch, size_t wanted, const uint8_t*& bytes, size_t& length, std::string& error)
    {
        if (chunks)
        {
            while (chunkIndex < chunks->size())
            {
                const LMemChunk* chunk = (*chunks)[chunkIndex++];
                if (!chunk || !chunk->data)
                    continue;
                uint64_t skip = inChunk;
                inChunk = 0;
                if (skip >= chunk->used)
                    continue;
                bytes = chunk->data + skip;
                length = chunk->used - skip;
                position += length;
                return true;
            }
            bytes = scratch;
            length = 0;
            return true;
        }
        if (textEnd - std::min(position, textEnd) < wanted)
            wanted = static_cast<size_t>(textEnd - std::min(position, textEnd));
        ssize_t got = PreadFully(fd, scratch, wanted, position);
        if (got < 0)
        {
            error = ErrnoText(errno);
            return false;
        }
        bytes = scratch;
        length = static_cast<size_t>(got);
        position += length;
        return true;
    }

    uint64_t Position() const { return position; }

private:
    int fd = -1;
    const std::vector<LMemChunk*>* chunks = nullptr;
    size_t chunkIndex = 0;
    uint64_t inChunk = 0;
    uint64_t position = 0;
    uint64_t textEnd = UINT64_MAX;
};

// State and rules shared by both scanners: counting, checkpoints, the limit, the end.
class ScanState
{
public:
    ScanState(TextScanContext& context, IndexList& list, uint32_t interval, const IndexNode& start,
              const IndexNode* limit, bool stopOnKind)
        : context(context)
        , list(list)
        , interval(interval == 0 ? 1 : interval)
        , nodeLine(start.line)
        , limitGiven(limit != nullptr)
        , limitActive(limit != nullptr && limit->line >= start.line)
        , limitLine(limit ? limit->line : 0)
        , stopOnKind(stopOnKind)
    {}

    void AddCheckpoint(uint64_t offset, bool atBreak)
    {
        nodeLine += count;
        count = 0;
        list.emplace_back(nodeLine, offset, atBreak);
        if (limitActive && nodeLine >= limitLine)
            stopped = true;
    }

    void SetKind(LineEndingKind kind)
    {
        if (context.lineEnding == LINE_ENDING_NONE)
        {
            context.lineEnding = kind;
            if (stopOnKind)
                stopped = true;
        }
    }

    // A break counted last is settled by what follows it at `offset` (a stray byte at the end of
    // 16-bit text): its checkpoint when one is due. True when that reaches the limit.
    bool SettleBefore(uint64_t offset)
    {
        if (count >= interval)
            AddCheckpoint(offset, true);
        if (limitActive && nodeLine >= limitLine)
        {
            stopped = true;
            return true;
        }
        return false;
    }

    // The end of the text: the end checkpoint and, without a limit, the line count.
    void Finish(uint64_t textEnd)
    {
        if (stopped)
            return;
        list.emplace_back(nodeLine + count, textEnd, false);
        if (!limitGiven)
            context.lineCount = static_cast<int64_t>(nodeLine + count + 1);
    }

    TextScanContext& context;
    IndexList& list;
    const uint64_t interval;
    uint64_t nodeLine;
    uint64_t count = 0;
    const bool limitGiven;
    const bool limitActive;
    const uint64_t limitLine;
    const bool stopOnKind;
    bool stopped = false;
};

// Bit i set when byte i of the 64 is CR or LF: the portable loop, and SSE2 where it may be used.
inline uint64_t BreakMask64Portable(const uint8_t* p)
{
    uint64_t bits = 0;
    for (int i = 0; i < 64; ++i)
        bits |= uint64_t(p[i] == 13 || p[i] == 10) << i;
    return bits;
}

#if defined(__SSE2__)
inline uint64_t BreakMask64Sse2(const uint8_t* p)
{
    const __m128i cr = _mm_set1_epi8(13);
    const __m128i lf = _mm_set1_epi8(10);
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    __m128i ma = _mm_or_si128(_mm_cmpeq_epi8(a, cr), _mm_cmpeq_epi8(a, lf));
    __m128i mb = _mm_or_si128(_mm_cmpeq_epi8(b, cr), _mm_cmpeq_epi8(b, lf));
    __m128i mc = _mm_or_si128(_mm_cmpeq_epi8(c, cr), _mm_cmpeq_epi8(c, lf));
    __m128i md = _mm_or_si128(_mm_cmpeq_epi8(d, cr), _mm_cmpeq_epi8(d, lf));
    uint64_t bits = static_cast<uint16_t>(_mm_movemask_epi8(ma));
    bits |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(mb))) << 16;
    bits |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(mc))) << 32;
    bits |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(md))) << 48;
    return bits;
}

inline bool VectorBreakMask()
{
    static const bool allowed = SimdUse(SimdKernel::Sse2);
    return allowed;
}

inline uint64_t BreakMask64(const uint8_t* p)
{
    return VectorBreakMask() ? BreakMask64Sse2(p) : BreakMask64Portable(p);
}
#else
inline uint64_t BreakMask64(const uint8_t* p)
{
    return BreakMask64Portable(p);
}
#endif

// Counting whole 64-byte blocks at once. A block is counted without walking it when it needs no
// checkpoint, its last byte is no break (whose partner would lie in the next block) and it holds
// no run of three break bytes: then its breaks are its break bytes less its CR LF / LF CR pairs.
// Returns the position of the first block that must be walked; adds the breaks to `count`.
struct BlockMasks
{
    uint64_t cr;
    uint64_t lf;
};

inline bool CountBlock(BlockMasks masks, uint64_t& count, uint64_t& room, int (*popcount)(uint64_t))
{
    const uint64_t any = masks.cr | masks.lf;
    if (!any)
        return true;
    const uint64_t adjacent = any & (any >> 1);
    if ((any >> 63) || (adjacent & (adjacent >> 1)))
        return false;
    const uint64_t pairs = adjacent & (masks.cr ^ (masks.cr >> 1));
    const uint64_t breaks = static_cast<uint64_t>(popcount(any) - popcount(pairs));
    if (breaks > room)
        return false;
    room -= breaks;
    count += breaks;
    return true;
}

int PortablePopcount(uint64_t value)
{
    return __builtin_popcountll(value);
}

size_t SkipBlocksPortable(const uint8_t* p, size_t i, size_t n, uint64_t& count, uint64_t room)
{
    for (; n - i >= 64; i += 64)
    {
        BlockMasks masks{0, 0};
        for (int k = 0; k < 64; ++k)
        {
            masks.cr |= uint64_t(p[i + k] == 13) << k;
            masks.lf |= uint64_t(p[i + k] == 10) << k;
        }
        if (!CountBlock(masks, count, room, PortablePopcount))
            break;
    }
    return i;
}

#if defined(__SSE2__)
size_t SkipBlocksSse2(const uint8_t* p, size_t i, size_t n, uint64_t& count, uint64_t room)
{
    const __m128i cr = _mm_set1_epi8(13);
    const __m128i lf = _mm_set1_epi8(10);
    for (; n - i >= 64; i += 64)
    {
        BlockMasks masks{0, 0};
        for (int part = 0; part < 4; ++part)
        {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16 * part));
            masks.cr |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr))))
                        << (16 * part);
            masks.lf |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))))
                        << (16 * part);
        }
        if (!CountBlock(masks, count, room, PortablePopcount))
            break;
    }
    return i;
}

__attribute__((target("avx2,popcnt"))) size_t SkipBlocksAvx2(const uint8_t* p, size_t i, size_t n,
                                                             uint64_t& count, uint64_t room)
{
    const __m256i cr = _mm256_set1_epi8(13);
    const __m256i lf = _mm256_set1_epi8(10);
    for (; n - i >= 64; i += 64)
    {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
        BlockMasks masks;
        masks.cr =
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, cr))) |
            (static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, cr))))
             << 32);
        masks.lf =
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, lf))) |
            (static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, lf))))
             << 32);
        const uint64_t any = masks.cr | masks.lf;
        if (!any)
            continue;
        const uint64_t adjacent = any & (any >> 1);
        if ((any >> 63) || (adjacent & (adjacent >> 1)))
            break;
        const uint64_t pairs = adjacent & (masks.cr ^ (masks.cr >> 1));
        const uint64_t breaks =
            static_cast<uint64_t>(__builtin_popcountll(any) - __builtin_popcountll(pairs));
        if (breaks > room)
            break;
        room -= breaks;
        count += breaks;
    }
    return i;
}

using SkipBlocksFn = size_t (*)(const uint8_t*, size_t, size_t, uint64_t&, uint64_t);

SkipBlocksFn ChooseSkipBlocks()
{
    if (SimdUse(SimdKernel::Avx2))
        return SkipBlocksAvx2;
    if (SimdUse(SimdKernel::Sse2))
        return SkipBlocksSse2;
    return SkipBlocksPortable;
}

inline size_t SkipBlocks(const uint8_t* p, size_t i, size_t n, uint64_t& count, uint64_t room)
{
    static const SkipBlocksFn chosen = ChooseSkipBlocks();
    return chosen(p, i, n, count, room);
}
#else
inline size_t SkipBlocks(const uint8_t* p, size_t i, size_t n, uint64_t& count, uint64_t room)
{
    return SkipBlocksPortable(p, i, n, count, room);
}
#endif

// The CSV path: greedy pairing over a stream of spans.
class BreakScanner
{
public:
    BreakScanner(ScanState& state, bool sixteenBit, bool littleEndian)
        : state(state)
        , sixteenBit(sixteenBit)
        , littleEndian(littleEndian)
    {
        // A limit at the start line holds from the start: the limit is tested after each unit,
        // so the first unit (with the partner that pairs with it) is the only one handled.
        firstUnitEndsScan = state.limitActive && state.nodeLine >= state.limitLine;
    }

    void Feed(const uint8_t* p, size_t n, uint64_t base)
    {
        if (sixteenBit)
            Feed16(p, n, base);
        else
            Span8(p, n, base);
    }

    // The end of the text at `textEnd`.
    void Finish(uint64_t textEnd)
    {
        if (state.stopped)
            return;
        if (pending)
        {
            // A lone break as the text's last unit: counted, covered by the end checkpoint.
            state.SetKind(LoneKind(pendingUnit));
            pending = false;
            ++state.count;
            if (firstUnitEndsScan)
            {
                state.stopped = true; // it was the first unit: the limit ends the scan here
                return;
            }
            // A stray byte behind it (16-bit text of odd length) starts a line of its own, as it
            // does behind a CR LF pair.
            if (hasCarry && state.SettleBefore(carryOffset))
                return;
        }
        state.stopped = false; // a kind found only here does not stop the end
        state.Finish(textEnd);
    }

private:
    inline void OnBreak(uint64_t end, LineEndingKind kind)
    {
        state.SetKind(kind);
        if (++state.count >= state.interval)
            state.AddCheckpoint(end, true);
    }

    // Counts the 8-bit break that starts at p[k] and sets `next` behind it. False when the scan
    // of this span ends there: the break is its last unit (kept pending) or the scan stopped.
    inline bool TakeBreak8(const uint8_t* p, size_t k, size_t n, uint64_t base, size_t& next)
    {
        const uint8_t unit = p[k];
        next = k + 1;
        if (next == n)
        {
            pending = true;
            pendingUnit = unit;
            return false;
        }
        if (p[next] == OtherBreak(unit))
        {
            ++next;
            OnBreak(base + next, LINE_ENDING_PAIR);
        }
        else
        {
            OnBreak(base + next, LoneKind(unit));
        }
        return !state.stopped;
    }

    void Span8(const uint8_t* p, size_t n, uint64_t base)
    {
        if (n == 0 || state.stopped)
            return;
        size_t i = 0;
        if (pending)
        {
            pending = false;
            if (p[0] == OtherBreak(pendingUnit))
            {
                OnBreak(base + 1, LINE_ENDING_PAIR);
                i = 1;
            }
            else
            {
                OnBreak(base, LoneKind(pendingUnit));
            }
            if (firstUnitEndsScan)
                state.stopped = true;
            if (state.stopped)
                return;
        }
        if (firstUnitEndsScan)
        {
            size_t next;
            if ((p[0] == 13 || p[0] == 10) && !TakeBreak8(p, 0, n, base, next) && pending)
                return; // the text's next unit (or its end) settles it
            state.stopped = true;
            return;
        }
        while (n - i >= 64)
        {
            if (state.context.lineEnding != LINE_ENDING_NONE)
            {
                // count < interval holds between breaks, so a block may add up to the room.
                i = SkipBlocks(p, i, n, state.count, state.interval - 1 - state.count);
                if (n - i < 64)
                    break;
            }
            uint64_t mask = BreakMask64(p + i);
            size_t resume = i + 64;
            while (mask)
            {
                size_t k = i + static_cast<size_t>(__builtin_ctzll(mask));
                size_t next;
                if (!TakeBreak8(p, k, n, base, next))
                    return;
                size_t consumed = next - i;
                if (consumed >= 64)
                {
                    resume = next;
                    mask = 0;
                }
                else
                {
                    mask &= ~uint64_t(0) << consumed;
                }
            }
            i = resume;
        }
        while (i < n)
        {
            if (p[i] != 13 && p[i] != 10)
            {
                ++i;
                continue;
            }
            size_t next;
            if (!TakeBreak8(p, i, n, base, next))
                return;
            i = next;
        }
    }

    inline uint16_t Unit16(const uint8_t* p) const
    {
        return littleEndian ? static_cast<uint16_t>(p[0] | (p[1] << 8))
                            : static_cast<uint16_t>((p[0] << 8) | p[1]);
    }

    // 16-bit units counted from the scan start; an odd byte at a span end is carried over.
    void Feed16(const uint8_t* p, size_t n, uint64_t base)
    {
        if (state.stopped || n == 0)
            return;
        if (hasCarry)
        {
            uint8_t pair[2] = {carry, p[0]};
            hasCarry = false;
            Span16(pair, 2, carryOffset);
            ++p;
            --n;
            ++base;
            if (state.stopped)
                return;
        }
        Span16(p, n & ~size_t(1), base);
        if ((n & 1) && !state.stopped)
        {
            hasCarry = true;
            carry = p[n - 1];
            carryOffset = base + n - 1;
        }
    }

    void Span16(const uint8_t* p, size_t n, uint64_t base)
    {
        for (size_t k = 0; k + 1 < n; k += 2)
        {
            uint16_t unit = Unit16(p + k);
            if (pending)
            {
                pending = false;
                if (unit == OtherBreak(pendingUnit))
                {
                    OnBreak(base + k + 2, LINE_ENDING_PAIR);
                    if (firstUnitEndsScan)
                        state.stopped = true;
                    if (state.stopped)
                        return;
                    continue;
                }
                OnBreak(base + k, LoneKind(pendingUnit));
                if (firstUnitEndsScan)
                    state.stopped = true;
                if (state.stopped)
                    return;
            }
            if (unit != kUnitCR && unit != kUnitLF)
            {
                if (firstUnitEndsScan)
                {
                    state.stopped = true;
                    return;
                }
                continue;
            }
            if (k + 3 >= n)
            {
                pending = true;
                pendingUnit = unit;
                return;
            }
            if (Unit16(p + k + 2) == OtherBreak(unit))
            {
                OnBreak(base + k + 4, LINE_ENDING_PAIR);
                k += 2;
            }
            else
            {
                OnBreak(base + k + 2, LoneKind(unit));
            }
            if (firstUnitEndsScan)
                state.stopped = true;
            if (state.stopped)
                return;
        }
    }

    ScanState& state;
    const bool sixteenBit;
    const bool littleEndian;
    bool firstUnitEndsScan = false;
    bool pending = false;
    uint16_t pendingUnit = 0;
    bool hasCarry = false;
    uint8_t carry = 0;
    uint64_t carryOffset = 0;
};

// The pseudo-line path: the rules walked unit by unit, block by block.
class PseudoLineScanner
{
public:
    PseudoLineScanner(ScanState& state, bool sixteenBit, bool littleEndian, bool ignoreBreaks,
                      bool splitLongLines, uint64_t maxPseudoLine)
        : state(state)
        , sixteenBit(sixteenBit)
        , littleEndian(littleEndian)
        , ignoreBreaks(ignoreBreaks)
        , splitLongLines(splitLongLines)
        , maxPseudoLine(maxPseudoLine)
    {}

    // One block at text position blockPos; the walk begins at `from` (behind a mark).
    void Block(const uint8_t* b, size_t len, uint64_t blockPos, size_t from)
    {
        const size_t unitSize = sixteenBit ? 2 : 1;
        size_t measureStart = 0;
        for (size_t n = from; n + unitSize <= len; n += unitSize)
        {
            uint16_t unit = Unit(b + n);
            bool handled = false;
            if (pending)
            {
                pending = false;
                if (unit == OtherBreak(pendingUnit))
                {
                    if (firstBreakPending)
                        state.context.lineEnding = LINE_ENDING_PAIR;
                    if (state.count >= state.interval)
                        state.AddCheckpoint(blockPos + n + unitSize, true);
                    handled = true;
                }
                else if (state.count >= state.interval)
                {
                    state.AddCheckpoint(blockPos, true);
                }
                firstBreakPending = false;
            }
            if (!handled)
            {
                bool isBreak = !ignoreBreaks && (unit == kUnitCR || unit == kUnitLF);
                if (isBreak)
                {
                    if (n + 2 * unitSize <= len)
                    {
                        LineEndingKind kind = LoneKind(unit);
                        if (Unit(b + n + unitSize) == OtherBreak(unit))
                        {
                            kind = LINE_ENDING_PAIR;
                            n += unitSize;
                        }
                        ++state.count;
                        if (state.context.lineEnding == LINE_ENDING_NONE)
                            state.context.lineEnding = kind;
                        if (state.count >= state.interval)
                            state.AddCheckpoint(blockPos + n + unitSize, true);
                    }
                    else
                    {
                        ++state.count;
                        if (state.context.lineEnding == LINE_ENDING_NONE)
                        {
                            state.context.lineEnding = LoneKind(unit);
                            firstBreakPending = true;
                        }
                        pending = true;
                        pendingUnit = unit;
                    }
                }
                else if (state.context.lineEnding == LINE_ENDING_NONE && (ignoreBreaks || splitLongLines) &&
                         n - measureStart > maxPseudoLine)
                {
                    ++state.count;
                    measureStart = n;
                    if (state.count >= state.interval)
                    {
                        if (!sixteenBit)
                        {
                            // Never cut inside a UTF-8 sequence, nor back to or before the
                            // previous checkpoint.
                            size_t lowest = 0;
                            uint64_t lastOffset = state.list.empty() ? 0 : state.list.back().byteOffset;
                            if (!state.list.empty() && lastOffset >= blockPos)
                                lowest = static_cast<size_t>(lastOffset - blockPos) + 1;
                            while (n > lowest && (b[n] & 0xC0) == 0x80)
                                --n;
                        }
                        state.AddCheckpoint(blockPos + n, false);
                        measureStart = n;
                    }
                }
            }
            if (state.stopOnKind && state.context.lineEnding != LINE_ENDING_NONE && !firstBreakPending)
                state.stopped = true;
            if (state.limitActive && state.nodeLine >= state.limitLine)
                state.stopped = true;
            if (state.stopped)
                return;
        }
    }

    // The end of the text; `strayByte`: its last byte is a stray one of 16-bit text.
    void Finish(uint64_t textEnd, bool strayByte)
    {
        if (state.stopped)
            return;
        // A stray byte behind a break starts a line of its own.
        if (pending && strayByte && state.SettleBefore(textEnd - 1))
            return;
        state.Finish(textEnd);
    }

private:
    inline uint16_t Unit(const uint8_t* p) const
    {
        if (!sixteenBit)
            return p[0];
        return littleEndian ? static_cast<uint16_t>(p[0] | (p[1] << 8))
                            : static_cast<uint16_t>((p[0] << 8) | p[1]);
    }

    ScanState& state;
    const bool sixteenBit;
    const bool littleEndian;
    const bool ignoreBreaks;
    const bool splitLongLines;
    const uint64_t maxPseudoLine;
    bool pending = false;
    bool firstBreakPending = false;
    uint16_t pendingUnit = 0;
};

size_t MarkLength(int32_t flags)
{
    if (!(flags & TEXT_ENC_BOM))
        return 0;
    return (flags & TEXT_ENC_16BIT) ? 2 : 3;
}

// The scan over a source. `stopOnKind` ends it once the first break's kind is known.
bool Scan(TextScanContext& context, TextSource& source, IndexList& list, bool splitLongLines,
          uint32_t interval, bool ignoreBreaks, const IndexNode& start, const IndexNode* limit,
          bool stopOnKind)
{
    list.clear();
    context.readError = false;
    source.SetEnd(context.textEnd);
    const size_t readSize = context.readSize > 0 ? static_cast<size_t>(context.readSize) : 1;
    const bool pseudoPath = ignoreBreaks || splitLongLines;
    size_t bulk = context.bulkReadSize > 0 ? static_cast<size_t>(context.bulkReadSize) : kDefaultBulkRead;
    if (pseudoPath)
        bulk = readSize;
    // Memory spans are the chunks themselves; a small file is read in one read a little larger
    // than it (a read that returns less than it asked for is the last), not into a block of the
    // full bulk size. Should the file grow meanwhile, reading simply goes on in such reads.
    if (source.IsMemory())
        bulk = std::min(bulk, readSize);
    else if (!pseudoPath)
    {
        const uint64_t left = source.BytesLeft(start.byteOffset);
        if (left < bulk)
            bulk = std::min(bulk, std::max<size_t>(static_cast<size_t>(left + 1 + 4095) / 4096 * 4096, 4096));
    }
    // The first read is at least readSize bytes: the encoding is detected on them.
    const size_t firstRead = std::max(bulk, readSize);
    // Page-aligned: the kernel copies into an aligned block much faster.
    TextScanBlock ownBlock;
    TextScanBlock& block = context.readBlock ? *context.readBlock : ownBlock;
    uint8_t* const scratch = block.Get(firstRead);
    if (!scratch)
    {
        context.error = "Out of memory";
        context.readError = true;
        return false;
    }

    ScanState state(context, list, interval, start, limit, stopOnKind);

    const uint8_t* bytes = nullptr;
    size_t length = 0;
    // The next span into bytes/length, told to the progress; false on a read error.
    auto readNext = [&](size_t wanted) {
        if (!source.Next(scratch, wanted, bytes, length, context.error))
        {
            context.readError = true;
            return false;
        }
        if (context.progress)
            context.progress->OnBlockRead(static_cast<uint32_t>(length));
        return true;
    };
    uint64_t blockPos = source.Position();
    if (!readNext(firstRead))
        return false;

    if (start.byteOffset == 0 && context.encodingFlags == 0)
        context.encodingFlags = DetectTextEncoding(bytes, std::min<uint64_t>(length, readSize), 5);
    const int32_t flags = context.encodingFlags;
    const bool sixteenBit = (flags & TEXT_ENC_16BIT) != 0;
    const bool littleEndian = (flags & TEXT_ENC_LITTLE_ENDIAN) != 0;
    size_t markLeft = start.byteOffset == 0 ? MarkLength(flags) : 0;
    list.emplace_back(start.line, start.byteOffset + markLeft, true);

    if (pseudoPath)
    {
        if (stopOnKind && ignoreBreaks)
            return true; // nothing but the flags can be learnt
        PseudoLineScanner scanner(state, sixteenBit, littleEndian, ignoreBreaks, splitLongLines,
                                  context.maxPseudoLine);
        std::vector<uint8_t> carried;
        uint64_t carriedPos = 0;
        for (;;)
        {
            const uint8_t* block = bytes;
            size_t blockLength = length;
            uint64_t pos = blockPos;
            // Memory chunks of odd size in 16-bit text: the odd byte leads the next block.
            if (!carried.empty())
            {
                carried.insert(carried.end(), bytes, bytes + length);
                block = carried.data();
                blockLength = carried.size();
                pos = carriedPos;
            }
            size_t from = std::min(markLeft, blockLength);
            markLeft -= from;
            bool last = source.IsMemory() ? false : length < readSize;
            size_t walkLength = blockLength;
            std::vector<uint8_t> nextCarry;
            if (sixteenBit && ((blockLength - from) & 1) && length > 0)
            {
                nextCarry.assign(block + blockLength - 1, block + blockLength);
                walkLength = blockLength - 1;
            }
            scanner.Block(block, walkLength, pos, from);
            if (state.stopped)
                return true;
            uint64_t endPos = pos + blockLength;
            if (last || length == 0)
            {
                scanner.Finish(endPos, !nextCarry.empty());
                return true;
            }
            carried = std::move(nextCarry);
            carriedPos = endPos - carried.size();
            blockPos = source.Position();
            if (!readNext(readSize))
                return false;
            if (length == 0)
            {
                scanner.Finish(endPos, !carried.empty());
                return true;
            }
        }
    }

    BreakScanner scanner(state, sixteenBit, littleEndian);
    for (;;)
    {
        const uint8_t* walk = bytes;
        size_t walkLength = length;
        uint64_t walkPos = blockPos;
        if (markLeft > 0)
        {
            size_t skip = std::min(markLeft, walkLength);
            markLeft -= skip;
            walk += skip;
            walkLength -= skip;
            walkPos += skip;
        }
        scanner.Feed(walk, walkLength, walkPos);
        if (state.stopped)
            return true;
        uint64_t endPos = blockPos + length;
        if (length == 0 || (!source.IsMemory() && length < (blockPos == start.byteOffset ? firstRead : bulk)))
        {
            scanner.Finish(endPos);
            return true;
        }
        blockPos = endPos;
        if (!readNext(bulk))
            return false;
        if (length == 0)
        {
            scanner.Finish(endPos);
            return true;
        }
    }
}

bool ScanPath(TextScanContext& context, const char* path, const LMemChunkBuffer* buffer, IndexList& list,
              bool splitLongLines, uint32_t interval, bool ignoreBreaks, const IndexNode& start,
              const IndexNode* limit, bool stopOnKind)
{
    list.clear();
    if (path)
    {
        int fd = OpenForReading(path, context.error);
        if (fd < 0)
            return false;
        TextSource source(fd, start.byteOffset);
        bool ok =
            Scan(context, source, list, splitLongLines, interval, ignoreBreaks, start, limit, stopOnKind);
        close(fd);
        return ok;
    }
    if (!buffer || buffer->GetChunks().empty())
    {
        // No text at all: no checkpoint.
        if (!limit)
            context.lineCount = static_cast<int64_t>(start.line + 1);
        return true;
    }
    TextSource source(buffer, start.byteOffset);
    return Scan(context, source, list, splitLongLines, interval, ignoreBreaks, start, limit, stopOnKind);
}
} // namespace

uint8_t* TextScanBlock::Get(size_t size)
{
    const size_t rounded = (std::max<size_t>(size, 1) + 4095) / 4096 * 4096;
    if (rounded > capacity)
    {
        block.reset();
        capacity = 0;
        block.reset(static_cast<uint8_t*>(std::aligned_alloc(4096, rounded)));
        if (!block)
            return nullptr;
        capacity = rounded;
    }
    return block.get();
}

bool BuildLineIndex(TextScanContext& context, const char* path, const LMemChunkBuffer* buffer,
                    IndexList& list, bool splitLongLines, uint32_t interval, bool ignoreBreaks,
                    const IndexNode& start, const IndexNode* limit)
{
    return ScanPath(context, path, buffer, list, splitLongLines, interval, ignoreBreaks, start, limit, false);
}

bool BuildLineIndexFromFd(TextScanContext& context, int fd, IndexList& list, bool splitLongLines,
                          uint32_t interval, bool ignoreBreaks, const IndexNode& start,
                          const IndexNode* limit)
{
    TextSource source(fd, start.byteOffset);
    return Scan(context, source, list, splitLongLines, interval, ignoreBreaks, start, limit, false);
}

bool PreScanText(TextScanContext& context, const char* path, const LMemChunkBuffer* buffer,
                 bool splitLongLines, bool ignoreBreaks)
{
    IndexList list;
    IndexNode start;
    return ScanPath(context, path, buffer, list, splitLongLines, UINT32_MAX, ignoreBreaks, start, nullptr,
                    true);
}
