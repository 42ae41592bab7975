// The fast line index scan against a slow, literal model of the index rules: blocks read one by
// one, units walked one at a time, a break at a block end left pending until the next block's
// first unit settles it. Thousands of random texts of CR, LF, letters and multi-byte characters,
// 8-bit and 16-bit, read in blocks of 1 to 9 bytes, full scans and re-scans with limits.
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "EncodingTable.h"
#include "LineIndex.h"
#include "MemChunkBuffer.h"
#include "ScanTestSupport.h"

using scantest::Bytes;

namespace {
struct ModelResult
{
    IndexList list;
    int64_t lineCount = 0; // as a context leaves it when a limit is given
    LineEndingKind lineEnding = LINE_ENDING_NONE;
    int32_t flags = 0;
    bool stoppedByLimit = false;
};

// The rules, walked literally over the given blocks (the text from start.byteOffset on, cut into
// pieces). In 16-bit text an odd byte at a block's end is carried into the next block.
ModelResult ModelScan(const Bytes& text, const std::vector<size_t>& blockLengths, int32_t flagsIn,
                      uint32_t interval, const IndexNode& start, const IndexNode* limit)
{
    ModelResult r;
    r.flags = flagsIn;
    const bool limitActive = limit && limit->line >= start.line;
    uint64_t nodeLine = start.line;
    uint64_t count = 0;
    uint64_t blockPos = start.byteOffset;
    bool pending = false;
    bool firstPending = false;
    uint16_t pendingUnit = 0;
    size_t markLeft = 0;
    bool sixteen = false;
    bool little = false;
    Bytes carry;
    uint64_t textPos = start.byteOffset;

    for (size_t b = 0; b < blockLengths.size(); ++b)
    {
        Bytes block = text.substr(static_cast<size_t>(textPos), blockLengths[b]);
        textPos += block.size();
        if (b == 0)
        {
            if (start.byteOffset == 0 && r.flags == 0)
                r.flags = DetectTextEncoding(reinterpret_cast<const uint8_t*>(block.data()), block.size(), 5);
            sixteen = (r.flags & TEXT_ENC_16BIT) != 0;
            little = (r.flags & TEXT_ENC_LITTLE_ENDIAN) != 0;
            if (start.byteOffset == 0 && (r.flags & TEXT_ENC_BOM))
                markLeft = sixteen ? 2 : 3;
            r.list.push_back(IndexNode(start.line, start.byteOffset + markLeft, true));
        }
        // A carried byte leads the block.
        block = carry + block;
        blockPos -= carry.size();
        carry.clear();
        size_t n = std::min(markLeft, block.size());
        markLeft -= n;
        const size_t unit = sixteen ? 2 : 1;
        size_t len = block.size();
        if (sixteen && ((len - n) % 2) == 1)
        {
            carry = block.substr(len - 1);
            len -= 1;
        }
        auto unitAt = [&](size_t at) -> uint16_t {
            uint8_t x = static_cast<uint8_t>(block[at]);
            if (!sixteen)
                return x;
            uint8_t y = static_cast<uint8_t>(block[at + 1]);
            return little ? static_cast<uint16_t>(x | (y << 8)) : static_cast<uint16_t>((x << 8) | y);
        };
        auto other = [](uint16_t u) -> uint16_t { return u == 13 ? 10 : 13; };
        auto lone = [](uint16_t u) { return u == 13 ? LINE_ENDING_CR : LINE_ENDING_LF; };

        for (; n + unit <= len; n += unit)
        {
            uint16_t u = unitAt(n);
            bool handled = false;
            if (pending)
            {
                pending = false;
                if (u == other(pendingUnit))
                {
                    if (firstPending)
                        r.lineEnding = LINE_ENDING_PAIR;
                    if (count >= interval)
                    {
                        nodeLine += count;
                        r.list.push_back(IndexNode(nodeLine, blockPos + n + unit, true));
                        count = 0;
                    }
                    handled = true;
                }
                else if (count >= interval)
                {
                    nodeLine += count;
                    r.list.push_back(IndexNode(nodeLine, blockPos, true));
                    count = 0;
                }
                firstPending = false;
            }
            if (!handled && (u == 13 || u == 10))
            {
                if (n + 2 * unit <= len)
                {
                    LineEndingKind kind = lone(u);
                    if (unitAt(n + unit) == other(u))
                    {
                        kind = LINE_ENDING_PAIR;
                        n += unit;
                    }
                    ++count;
                    if (r.lineEnding == LINE_ENDING_NONE)
                        r.lineEnding = kind;
                    if (count >= interval)
                    {
                        nodeLine += count;
                        r.list.push_back(IndexNode(nodeLine, blockPos + n + unit, true));
                        count = 0;
                    }
                }
                else
                {
                    ++count;
                    if (r.lineEnding == LINE_ENDING_NONE)
                    {
                        r.lineEnding = lone(u);
                        firstPending = true;
                    }
                    pending = true;
                    pendingUnit = u;
                }
            }
            if (limitActive && nodeLine >= limit->line)
            {
                r.stoppedByLimit = true;
                return r;
            }
        }
        blockPos += block.size();
    }
    // A stray byte at the end of 16-bit text settles a break pending before it, as any unit
    // other than a break would: the byte starts a line of its own.
    if (pending && !carry.empty())
    {
        if (count >= interval)
        {
            nodeLine += count;
            r.list.push_back(IndexNode(nodeLine, blockPos - carry.size(), true));
            count = 0;
        }
        if (limitActive && nodeLine >= limit->line)
        {
            r.stoppedByLimit = true;
            return r;
        }
    }
    r.list.push_back(IndexNode(nodeLine + count, blockPos, false));
    if (!limit)
        r.lineCount = static_cast<int64_t>(nodeLine + count + 1);
    return r;
}

// The file reads of `readSize` bytes from `from` on: full blocks, then the short last one (which
// is empty when the rest is a multiple of the read size).
std::vector<size_t> FileBlocks(size_t textSize, uint64_t from, size_t readSize)
{
    std::vector<size_t> blocks;
    size_t rest = from < textSize ? textSize - static_cast<size_t>(from) : 0;
    for (;;)
    {
        size_t piece = std::min(rest, readSize);
        blocks.push_back(piece);
        rest -= piece;
        if (piece < readSize)
            break;
    }
    return blocks;
}

class Generator
{
public:
    explicit Generator(uint32_t seed)
        : random(seed)
    {}

    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); }

    // Mostly short texts; one in four long enough for the 64-byte search steps.
    int Pieces() { return Pick(0, 3) == 0 ? Pick(60, 600) : Pick(0, 40); }

    // Intervals: mostly a checkpoint per line, sometimes sparse ones that let whole 64-byte
    // blocks be counted at once.
    uint32_t Interval()
    {
        switch (Pick(0, 5))
        {
        case 0:
            return static_cast<uint32_t>(Pick(2, 5));
        case 1:
            return static_cast<uint32_t>(Pick(10, 60));
        default:
            return 1;
        }
    }

    // Physical read sizes: tiny, around the 64-byte search step, or the default.
    int Bulk()
    {
        switch (Pick(0, 3))
        {
        case 0:
            return 0;
        case 1:
            return Pick(60, 130);
        default:
            return Pick(1, 9);
        }
    }

    Bytes Text8(int pieces)
    {
        static const char* const kPieces[] = {
            "\r",
            "\n",
            "a",
            "b",
            ";",
            "\xC3\xA9",
            "\xE2\x82\xAC",
            "\xF0\x9D\x84\x9E",
            "\r\n",
            "\n\r",
            "a run of letters long enough to cross a 64-byte step of the break search"};
        Bytes text;
        if (Pick(0, 9) == 0)
            text = "\xEF\xBB\xBF";
        for (int i = 0; i < pieces; ++i)
            text += kPieces[Pick(0, 10)];
        return text;
    }

    Bytes Text16(int units, bool little, bool mark)
    {
        // 0x4E0A and 0x0A4E hold the byte 10 on either side; 0x0D0A holds both break bytes.
        static const char16_t kUnits[] = {13, 10, u'a', 0x4E0A, 0x0A4E, 0x0D0A, 0x00E9, 0x20AC};
        std::u16string text;
        if (mark)
            text += char16_t(0xFEFF);
        for (int i = 0; i < units; ++i)
            text += kUnits[Pick(0, 7)];
        Bytes bytes = scantest::Utf16(text, little);
        if (Pick(0, 5) == 0)
            bytes += 'x'; // a trailing odd byte
        return bytes;
    }

    std::mt19937 random;
};

// The model's list cut right after the first checkpoint past the start that reaches the limit
// line. Where a break is pending at a read boundary when it reaches the limit, the model settles
// it and handles the unit behind it before it tests the limit; the scanner, whose breaks pair
// whatever the read boundaries, stops at once. A limit at the start line cuts nothing: the scan
// handles its first unit (and the checkpoint behind it) before it stops.
IndexList CutAtLimit(const ModelResult& model, const IndexNode* limit)
{
    IndexList list = model.list;
    if (!model.stoppedByLimit || !limit)
        return list;
    for (size_t i = 1; i < list.size(); ++i)
    {
        if (list[i].line >= limit->line)
        {
            list.resize(i + 1);
            break;
        }
    }
    return list;
}

std::string Describe(const Bytes& text, size_t readSize, int bulk, uint32_t interval, const IndexNode& start,
                     const IndexNode* limit, int32_t flags)
{
    std::string hex;
    for (unsigned char c : text.substr(0, 120))
    {
        char buf[4];
        std::snprintf(buf, sizeof(buf), "%02X ", c);
        hex += buf;
    }
    std::string out = "text[" + std::to_string(text.size()) + "] " + hex +
                      " readSize=" + std::to_string(readSize) + " bulk=" + std::to_string(bulk) +
                      " interval=" + std::to_string(interval) + " start={" + std::to_string(start.line) +
                      "," + std::to_string(start.byteOffset) + "}" + " flags=" + std::to_string(flags);
    if (limit)
        out += " limit=" + std::to_string(limit->line);
    return out;
}

void RunFileCase(const scantest::TempFolder& folder, const Bytes& text, size_t readSize, int bulk,
                 uint32_t interval, int32_t flagsIn, const IndexNode& start, const IndexNode* limit,
                 int& compared)
{
    static int fileNumber = 0;
    std::string path = folder.Write("model" + std::to_string(fileNumber++ % 8) + ".txt", text);
    // A limit at the start line ends the scan after its first unit, before any read boundary
    // could settle a break there: the model then reads in blocks of 32,768 bytes, which hold
    // the whole of these texts, so that the break pairs with its partner as in one long read.
    const bool firstUnitOnly = limit && limit->line == start.line;
    ModelResult model =
        ModelScan(text, FileBlocks(text.size(), start.byteOffset, firstUnitOnly ? 32768 : readSize), flagsIn,
                  interval, start, limit);
    TextScanContext context;
    context.readSize = static_cast<int32_t>(readSize);
    context.bulkReadSize = bulk;
    context.encodingFlags = flagsIn;
    IndexList real;
    ASSERT_TRUE(BuildLineIndex(context, path.c_str(), nullptr, real, false, interval, false, start, limit));
    std::string what = Describe(text, readSize, bulk, interval, start, limit, flagsIn);
    ASSERT_EQ(CutAtLimit(model, limit), real) << what;
    EXPECT_EQ(model.lineCount, context.lineCount) << what;
    EXPECT_EQ(model.lineEnding, context.lineEnding) << what;
    EXPECT_EQ(model.flags, context.encodingFlags) << what;
    ++compared;
}

TEST(LineIndexModel, FullScansOf8BitTextMatchTheRules)
{
    scantest::TempFolder folder;
    Generator gen(20261210);
    int compared = 0;
    for (int round = 0; round < 4000; ++round)
    {
        Bytes text = gen.Text8(gen.Pieces());
        size_t readSize = static_cast<size_t>(gen.Pick(1, 9));
        int bulk = gen.Bulk();
        uint32_t interval = gen.Interval();
        RunFileCase(folder, text, readSize, bulk, interval, 0, IndexNode(), nullptr, compared);
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(4000, compared);
}

TEST(LineIndexModel, FullScansOf16BitTextMatchTheRules)
{
    scantest::TempFolder folder;
    Generator gen(1200);
    int compared = 0;
    for (int round = 0; round < 3000; ++round)
    {
        bool little = gen.Pick(0, 1) == 1;
        bool mark = gen.Pick(0, 1) == 1;
        Bytes text = gen.Text16(gen.Pick(0, 30), little, mark);
        // Either the flags are known (as in every re-scan), or the first read detects them.
        int32_t flags = 0;
        size_t readSize = static_cast<size_t>(gen.Pick(1, 9));
        if (gen.Pick(0, 1) == 0)
            flags = TEXT_ENC_16BIT | (little ? TEXT_ENC_LITTLE_ENDIAN : 0) | (mark ? TEXT_ENC_BOM : 0);
        else
            readSize = static_cast<size_t>(gen.Pick(4, 9));
        int bulk = gen.Bulk();
        uint32_t interval = gen.Interval();
        RunFileCase(folder, text, readSize, bulk, interval, flags, IndexNode(), nullptr, compared);
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(3000, compared);
}

TEST(LineIndexModel, ReScansBetweenCheckpointsMatchTheRules)
{
    scantest::TempFolder folder;
    Generator gen(5000);
    int compared = 0;
    for (int round = 0; round < 3000; ++round)
    {
        const bool sixteen = gen.Pick(0, 3) == 0;
        const bool little = gen.Pick(0, 1) == 1;
        Bytes text =
            sixteen ? gen.Text16(gen.Pick(0, 30), little, gen.Pick(0, 1) == 1) : gen.Text8(gen.Pieces());
        // The full scan with a checkpoint per line gives the starts and limits a reader uses.
        TextScanContext full;
        std::string path = folder.Write("full.txt", text);
        IndexList index;
        ASSERT_TRUE(
            BuildLineIndex(full, path.c_str(), nullptr, index, false, 1, false, IndexNode(), nullptr));
        const int32_t flags = full.encodingFlags;
        const IndexNode start = index[static_cast<size_t>(gen.Pick(0, static_cast<int>(index.size()) - 1))];
        IndexNode limit = index[static_cast<size_t>(gen.Pick(0, static_cast<int>(index.size()) - 1))];
        if (gen.Pick(0, 5) == 0)
            limit.line = start.line; // a limit at the start line
        size_t readSize = static_cast<size_t>(gen.Pick(1, 9));
        int bulk = gen.Bulk();
        uint32_t interval = gen.Interval();
        const bool withLimit = gen.Pick(0, 4) != 0;
        RunFileCase(folder, text, readSize, bulk, interval, flags, start, withLimit ? &limit : nullptr,
                    compared);
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(3000, compared);
}

TEST(LineIndexModel, ReScanWithIntervalOneReproducesTheFullScansBreaks)
{
    // Between any two checkpoints of a full scan, a re-scan finds exactly the full scan's lines.
    scantest::TempFolder folder;
    Generator gen(77);
    for (int round = 0; round < 500; ++round)
    {
        Bytes text = gen.Text8(gen.Pick(20, 200));
        std::string path = folder.Write("rescan.txt", text);
        TextScanContext full;
        IndexList every;
        ASSERT_TRUE(
            BuildLineIndex(full, path.c_str(), nullptr, every, false, 1, false, IndexNode(), nullptr));
        TextScanContext sparse;
        IndexList index;
        ASSERT_TRUE(
            BuildLineIndex(sparse, path.c_str(), nullptr, index, false, 7, false, IndexNode(), nullptr));
        for (size_t i = 0; i + 1 < index.size(); ++i)
        {
            TextScanContext local;
            local.encodingFlags = sparse.encodingFlags;
            IndexList part;
            ASSERT_TRUE(
                BuildLineIndex(local, path.c_str(), nullptr, part, false, 1, false, index[i], &index[i + 1]));
            // The full scan's checkpoints from index[i] up to the first that reaches the limit
            // line (index[i] alone when it already does).
            auto from = std::find(every.begin(), every.end(), index[i]);
            ASSERT_NE(every.end(), from) << index[i];
            IndexList expected{*from};
            for (auto at = from + 1; at != every.end() && expected.back().line < index[i + 1].line; ++at)
                expected.push_back(*at);
            // A start at the text's end has no unit to test the limit after: the end follows.
            if (index[i].byteOffset == every.back().byteOffset && expected.back() != every.back())
                expected.push_back(every.back());
            ASSERT_EQ(expected, part) << "between " << index[i] << " and " << index[i + 1];
        }
    }
}

TEST(LineIndexModel, MemoryChunksMatchTheRules)
{
    Generator gen(101);
    for (int round = 0; round < 1500; ++round)
    {
        Bytes text = gen.Pick(0, 2) == 0 ? gen.Text16(gen.Pick(0, 20), true, true) : gen.Text8(gen.Pieces());
        // Chunks of random sizes, each the clone of a one-piece buffer.
        LMemChunkBuffer buffer;
        std::vector<size_t> pieces;
        for (size_t at = 0; at < text.size();)
        {
            size_t piece = std::min<size_t>(static_cast<size_t>(gen.Pick(1, 9)), text.size() - at);
            LMemChunkBuffer one;
            ASSERT_TRUE(one.Append(text.data() + at, static_cast<int32_t>(piece)));
            ASSERT_TRUE(buffer.AppendFrom(one, true));
            pieces.push_back(piece);
            at += piece;
        }
        if (pieces.empty())
            continue; // a buffer without chunks has no checkpoint at all (tested elsewhere)
        ModelResult model = ModelScan(text, pieces, 0, 1, IndexNode(), nullptr);
        TextScanContext context;
        IndexList real;
        ASSERT_TRUE(BuildLineIndex(context, nullptr, &buffer, real, false, 1, false, IndexNode(), nullptr));
        std::string what = Describe(text, 0, 0, 1, IndexNode(), nullptr, 0);
        ASSERT_EQ(model.list, real) << what;
        EXPECT_EQ(model.lineCount, context.lineCount) << what;
        EXPECT_EQ(model.lineEnding, context.lineEnding) << what;
        EXPECT_EQ(model.flags, context.encodingFlags) << what;
    }
}
} // namespace
