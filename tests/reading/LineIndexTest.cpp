#include "LineIndex.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "EncodingTable.h"
#include "MemChunkBuffer.h"
#include "ScanTestSupport.h"

using scantest::Bytes;
using scantest::Node;

namespace {
struct ScanCase
{
    const char* name;
    Bytes text;
    uint32_t interval;
    bool ignoreBreaks;
    bool withLimit;
    IndexNode limit;
    IndexList expected;
    int64_t lineCount; // -1: not set by the scan
    LineEndingKind lineEnding;
    int32_t flags; // expected flags; 0: not checked
};

struct ScanRun
{
    bool ok;
    IndexList list;
    TextScanContext context;
};

ScanRun ScanFile(const scantest::TempFolder& folder, const Bytes& text, uint32_t interval, bool ignoreBreaks,
                 const IndexNode* limit, int32_t readSize = kTextScanReadSize, int32_t bulk = 0,
                 const IndexNode& start = IndexNode(), int32_t flags = 0)
{
    std::string path = folder.Write("scan.txt", text);
    ScanRun run;
    run.context.readSize = readSize;
    run.context.bulkReadSize = bulk;
    run.context.encodingFlags = flags;
    run.context.lineCount = -1;
    run.ok = BuildLineIndex(run.context, path.c_str(), nullptr, run.list, false, interval, ignoreBreaks,
                            start, limit);
    return run;
}

Bytes Lines(int count, const Bytes& line)
{
    Bytes text;
    for (int i = 0; i < count; ++i)
        text += line;
    return text;
}

TEST(BuildLineIndex, EdgeCaseTable)
{
    const Bytes kUtf16Le("\xFF\xFE\x61\x00\x0D\x00\x0A\x00\x62\x00", 10);
    const Bytes kUtf16LeUnit0A4E("\xFF\xFE\x61\x00\x0A\x4E\x62\x00", 8);
    const Bytes kUtf16Be("\xFE\xFF\x00\x61\x00\x0D\x00\x0A\x00\x62", 10);
    const Bytes k12000 = Lines(12000, "x\n");
    const Bytes kX1000(1000, 'x');
    Bytes kSplitUtf8(1000, 'x');
    kSplitUtf8[400] = '\xC3'; // a two-byte character whose second byte lies at 401
    kSplitUtf8[401] = '\xA9';

    const ScanCase cases[] = {
        {"a CR LF b CR LF",
         "a\r\nb\r\n",
         1,
         false,
         false,
         {},
         {Node(0, 0, true), Node(1, 3, true), Node(2, 6, true), Node(2, 6, false)},
         3,
         LINE_ENDING_PAIR,
         0x10},
        {"a LF b",
         "a\nb",
         1,
         false,
         false,
         {},
         {Node(0, 0, true), Node(1, 2, true), Node(1, 3, false)},
         2,
         LINE_ENDING_LF,
         0x10},
        {"a CR CR b",
         "a\r\rb",
         1,
         false,
         false,
         {},
         {Node(0, 0, true), Node(1, 2, true), Node(2, 3, true), Node(2, 4, false)},
         3,
         LINE_ENDING_CR,
         0x10},
        {"a LF CR b",
         "a\n\rb",
         1,
         false,
         false,
         {},
         {Node(0, 0, true), Node(1, 3, true), Node(1, 4, false)},
         2,
         LINE_ENDING_PAIR,
         0x10},
        {"empty", "", 1, false, false, {}, {Node(0, 0, true), Node(0, 0, false)}, 1, LINE_ENDING_NONE, 0x10},
        {"UTF-8 mark",
         "\xEF\xBB\xBF"
         "a\nb",
         1,
         false,
         false,
         {},
         {Node(0, 3, true), Node(1, 5, true), Node(1, 6, false)},
         2,
         LINE_ENDING_LF,
         0x11},
        {"final lone LF",
         "a\nb\n",
         1,
         false,
         false,
         {},
         {Node(0, 0, true), Node(1, 2, true), Node(2, 4, false)},
         3,
         LINE_ENDING_LF,
         0x10},
        {"final lone CR",
         "a\r",
         1,
         false,
         false,
         {},
         {Node(0, 0, true), Node(1, 2, false)},
         2,
         LINE_ENDING_CR,
         0x10},
        {"UTF-16 LE with mark",
         kUtf16Le,
         1,
         false,
         false,
         {},
         {Node(0, 2, true), Node(1, 8, true), Node(1, 10, false)},
         2,
         LINE_ENDING_PAIR,
         0x23},
        {"UTF-16 BE with mark",
         kUtf16Be,
         1,
         false,
         false,
         {},
         {Node(0, 2, true), Node(1, 8, true), Node(1, 10, false)},
         2,
         LINE_ENDING_PAIR,
         0x21},
        {"unit 0A 4E is no break",
         kUtf16LeUnit0A4E,
         1,
         false,
         false,
         {},
         {Node(0, 2, true), Node(0, 8, false)},
         1,
         LINE_ENDING_NONE,
         0x23},
        {"pseudo-lines",
         kX1000,
         1,
         true,
         false,
         {},
         {Node(0, 0, true), Node(1, 401, false), Node(2, 802, false), Node(2, 1000, false)},
         3,
         LINE_ENDING_NONE,
         0x10},
        {"pseudo-line cut moves off a continuation byte",
         kSplitUtf8,
         1,
         true,
         false,
         {},
         {Node(0, 0, true), Node(1, 400, false), Node(2, 801, false), Node(2, 1000, false)},
         3,
         LINE_ENDING_NONE,
         0x10},
        {"12,000 lines at interval 5000",
         k12000,
         5000,
         false,
         false,
         {},
         {Node(0, 0, true), Node(5000, 10000, true), Node(10000, 20000, true), Node(12000, 24000, false)},
         12001,
         LINE_ENDING_LF,
         0x10},
        {"12,000 lines with limit line 100",
         k12000,
         5000,
         false,
         true,
         Node(100, 0, false),
         {Node(0, 0, true), Node(5000, 10000, true)},
         -1,
         LINE_ENDING_LF,
         0x10},
        {"limit at the start line",
         "a",
         1,
         false,
         true,
         Node(0, 1, false),
         {Node(0, 0, true)},
         -1,
         LINE_ENDING_NONE,
         0x10},
        // The first unit is handled before the limit is tested: a break there is counted, gets its
        // checkpoint and sets the kind.
        {"limit at the start line, LF first",
         "\na",
         1,
         false,
         true,
         Node(0, 1, false),
         {Node(0, 0, true), Node(1, 1, true)},
         -1,
         LINE_ENDING_LF,
         0x10},
        {"limit at the start line, CR LF first",
         "\r\na",
         1,
         false,
         true,
         Node(0, 1, false),
         {Node(0, 0, true), Node(1, 2, true)},
         -1,
         LINE_ENDING_PAIR,
         0x10},
        {"limit at the start line, a lone CR as the whole text",
         "\r",
         1,
         false,
         true,
         Node(0, 1, false),
         {Node(0, 0, true)},
         -1,
         LINE_ENDING_CR,
         0x10},
        // A stray last byte of 16-bit text is a line of its own behind every kind of break.
        {"UTF-16 LF, stray byte",
         Bytes("\xFF\xFE\x61\x00\x0A\x00\x7A", 7),
         1,
         false,
         false,
         {},
         {Node(0, 2, true), Node(1, 6, true), Node(1, 7, false)},
         2,
         LINE_ENDING_LF,
         0x23},
        {"UTF-16 CR, stray byte",
         Bytes("\xFF\xFE\x61\x00\x0D\x00\x7A", 7),
         1,
         false,
         false,
         {},
         {Node(0, 2, true), Node(1, 6, true), Node(1, 7, false)},
         2,
         LINE_ENDING_CR,
         0x23},
        {"UTF-16 CR LF, stray byte",
         Bytes("\xFF\xFE\x61\x00\x0D\x00\x0A\x00\x7A", 9),
         1,
         false,
         false,
         {},
         {Node(0, 2, true), Node(1, 8, true), Node(1, 9, false)},
         2,
         LINE_ENDING_PAIR,
         0x23},
        {"UTF-16 LF, stray byte, limit at its line",
         Bytes("\xFF\xFE\x61\x00\x0A\x00\x7A", 7),
         1,
         false,
         true,
         Node(1, 7, false),
         {Node(0, 2, true), Node(1, 6, true)},
         -1,
         LINE_ENDING_LF,
         0x23},
        {"limit at the start line, UTF-16 LF first",
         Bytes("\xFF\xFE\x0A\x00\x61\x00", 6),
         1,
         false,
         true,
         Node(0, 1, false),
         {Node(0, 2, true), Node(1, 4, true)},
         -1,
         LINE_ENDING_LF,
         0x23},
    };

    scantest::TempFolder folder;
    for (const ScanCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScanRun run = ScanFile(folder, c.text, c.interval, c.ignoreBreaks, c.withLimit ? &c.limit : nullptr);
        ASSERT_TRUE(run.ok);
        EXPECT_EQ(c.expected, run.list);
        EXPECT_EQ(c.lineCount, run.context.lineCount);
        EXPECT_EQ(c.lineEnding, run.context.lineEnding);
        if (c.flags)
        {
            EXPECT_EQ(c.flags, run.context.encodingFlags);
        }
    }
}

TEST(BuildLineIndex, BreakPairAcrossAReadBoundaryIsOneBreak)
{
    // CR as the last byte of the first 32,768-byte read, LF as the first byte of the next.
    Bytes text(32767, 'x');
    text += "\r\nend";
    scantest::TempFolder folder;
    for (int32_t bulk : {0, kTextScanReadSize, 7})
    {
        ScanRun run = ScanFile(folder, text, 1, false, nullptr, kTextScanReadSize, bulk);
        ASSERT_TRUE(run.ok);
        EXPECT_EQ((IndexList{Node(0, 0, true), Node(1, 32769, true), Node(1, 32772, false)}), run.list);
        EXPECT_EQ(LINE_ENDING_PAIR, run.context.lineEnding);
    }
}

TEST(BuildLineIndex, SmallReadSizesGiveTheSameIndex)
{
    const Bytes texts[] = {"a\r\nb\r\n",
                           "a\nb",
                           "a\r\rb",
                           "a\n\rb",
                           "",
                           "\r",
                           "\n\n\r\r\n",
                           "\xEF\xBB\xBF"
                           "a\nb"};
    scantest::TempFolder folder;
    for (const Bytes& text : texts)
    {
        ScanRun reference = ScanFile(folder, text, 1, false, nullptr);
        for (int32_t size = 4; size <= 7; ++size)
        {
            ScanRun run = ScanFile(folder, text, 1, false, nullptr, size, size);
            EXPECT_EQ(reference.list, run.list) << "read size " << size;
            EXPECT_EQ(reference.context.lineCount, run.context.lineCount);
            EXPECT_EQ(reference.context.lineEnding, run.context.lineEnding);
        }
        // Reads shorter than the mark detect no mark; the breaks are still the same.
        for (int32_t size = 1; size <= 3; ++size)
        {
            ScanRun run = ScanFile(folder, text, 1, false, nullptr, size, size);
            EXPECT_EQ(reference.context.lineCount, run.context.lineCount) << "read size " << size;
        }
    }
}

TEST(BuildLineIndex, SixteenBitReScanCountsTheFullScansLines)
{
    // UTF-16 LE, 12,000 lines: a re-scan from the checkpoint of line 5000 to the one of line
    // 10000 finds exactly the lines the full scan counted between them.
    std::u16string text = u"\xFEFF";
    for (int i = 0; i < 12000; ++i)
        text += (i % 3 == 0) ? u"ab\r\n" : (i % 3 == 1 ? u"\x4E0A\n" : u"c\r");
    Bytes bytes = scantest::Utf16(text, true);
    scantest::TempFolder folder;
    ScanRun full = ScanFile(folder, bytes, 5000, false, nullptr);
    ASSERT_TRUE(full.ok);
    ASSERT_EQ(4u, full.list.size());
    EXPECT_EQ(12001, full.context.lineCount);
    ScanRun local = ScanFile(folder, bytes, 1, false, &full.list[2], kTextScanReadSize, 0, full.list[1],
                             full.context.encodingFlags);
    ASSERT_TRUE(local.ok);
    ASSERT_EQ(5001u, local.list.size());
    EXPECT_EQ(full.list[1], local.list.front());
    EXPECT_EQ(full.list[2], local.list.back());
}

TEST(BuildLineIndex, PseudoLinesInSixteenBitTextAndThroughReads)
{
    scantest::TempFolder folder;
    // 16-bit units: a cut needs n - start > 400, so cuts fall at 402 and 804.
    std::u16string units(600, u'x');
    Bytes bytes = scantest::Utf16(units, true);
    ScanRun run = ScanFile(folder, bytes, 1, true, nullptr, kTextScanReadSize, 0, IndexNode(),
                           TEXT_ENC_16BIT | TEXT_ENC_LITTLE_ENDIAN);
    ASSERT_TRUE(run.ok);
    EXPECT_EQ((IndexList{Node(0, 0, true), Node(1, 402, false), Node(2, 804, false), Node(2, 1200, false)}),
              run.list);
    // The measure restarts with every read of 32,768 bytes.
    Bytes wide(33000, 'x');
    run = ScanFile(folder, wide, 5000, true, nullptr);
    ASSERT_TRUE(run.ok);
    // 81 cuts in the first read (401 .. 32481), then 0 more in the 232 bytes of the second.
    EXPECT_EQ((IndexList{Node(0, 0, true), Node(81, 33000, false)}), run.list);
    EXPECT_EQ(82, run.context.lineCount);
}

TEST(BuildLineIndex, MemoryModeScansTheChunks)
{
    LMemChunkBuffer buffer;
    ASSERT_TRUE(buffer.Append("a\r\nb", 4));
    TextScanContext context;
    IndexList list;
    ASSERT_TRUE(BuildLineIndex(context, nullptr, &buffer, list, false, 1, false, IndexNode(), nullptr));
    EXPECT_EQ((IndexList{Node(0, 0, true), Node(1, 3, true), Node(1, 4, false)}), list);
    EXPECT_EQ(2, context.lineCount);

    // A buffer without chunks: no checkpoint at all, one line.
    LMemChunkBuffer empty;
    TextScanContext none;
    ASSERT_TRUE(BuildLineIndex(none, nullptr, &empty, list, false, 1, false, IndexNode(7, 0, true), nullptr));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(8, none.lineCount);
}

TEST(BuildLineIndex, UnopenablePathFailsWithTheSystemsMessage)
{
    TextScanContext context;
    IndexList list{Node(1, 1, true)};
    EXPECT_FALSE(BuildLineIndex(context, "/nonexistent/folder/file.csv", nullptr, list, false, 1, false,
                                IndexNode(), nullptr));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ("No such file or directory", context.error);
    EXPECT_EQ(0, context.encodingFlags);
}

TEST(BuildLineIndex, ReadErrorEndsTheScanWithFalse)
{
    // A directory opens for reading but every read fails.
    scantest::TempFolder folder;
    TextScanContext context;
    IndexList list;
    EXPECT_FALSE(
        BuildLineIndex(context, folder.path.c_str(), nullptr, list, false, 1, false, IndexNode(), nullptr));
    EXPECT_EQ("Is a directory", context.error);
    EXPECT_TRUE(context.readError);
}

TEST(PreScanText, GivesFlagsAndTheFirstBreaksKind)
{
    scantest::TempFolder folder;
    struct Case
    {
        Bytes text;
        int32_t flags;
        LineEndingKind kind;
    };
    // CR as the last byte of the first bulk read (1 MiB), LF as the first of the next.
    Bytes crAtReadEnd(1024 * 1024 - 1, 'x');
    crAtReadEnd += "\r\n";
    const Case cases[] = {
        {"a\r\nb", 0x10, LINE_ENDING_PAIR},
        {"a\nb\r\n", 0x10, LINE_ENDING_LF},
        {"a\r", 0x10, LINE_ENDING_CR},
        {"abc", 0x10, LINE_ENDING_NONE},
        {Bytes("\xFF\xFE\x61\x00\x0A\x00", 6), 0x23, LINE_ENDING_LF},
        {crAtReadEnd, 0x10, LINE_ENDING_PAIR},
    };
    for (const Case& c : cases)
    {
        std::string path = folder.Write("pre.txt", c.text);
        TextScanContext context;
        ASSERT_TRUE(PreScanText(context, path.c_str(), nullptr, false, false));
        EXPECT_EQ(c.flags, context.encodingFlags);
        EXPECT_EQ(c.kind, context.lineEnding);
    }
}
} // namespace

namespace {
TEST(BuildLineIndex, SplitLongLinesCutsOnlyUntilTheFirstBreak)
{
    scantest::TempFolder folder;
    std::string path = folder.Write("split.txt", Bytes(1000, 'x') + "\n" + Bytes(1000, 'y'));
    TextScanContext context;
    IndexList list;
    ASSERT_TRUE(BuildLineIndex(context, path.c_str(), nullptr, list, true, 1, false, IndexNode(), nullptr));
    EXPECT_EQ((IndexList{Node(0, 0, true), Node(1, 401, false), Node(2, 802, false), Node(3, 1001, true),
                         Node(3, 2001, false)}),
              list);
    EXPECT_EQ(LINE_ENDING_LF, context.lineEnding);
    EXPECT_EQ(4, context.lineCount);
}

TEST(BuildLineIndex, PseudoLineCutNeverMovesBackToTheLastCheckpoint)
{
    // 1000 continuation bytes: the cut may not move back onto or before the checkpoint of the
    // previous cut, which would give an empty or negative line.
    scantest::TempFolder folder;
    std::string path = folder.Write("cont.txt", Bytes(1000, '\x80'));
    TextScanContext context;
    IndexList list;
    ASSERT_TRUE(BuildLineIndex(context, path.c_str(), nullptr, list, false, 1, true, IndexNode(), nullptr));
    ASSERT_GE(list.size(), 2u);
    for (size_t i = 1; i < list.size(); ++i)
        EXPECT_LT(list[i - 1].byteOffset, list[i].byteOffset) << i;
}
} // namespace
