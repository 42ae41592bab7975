#include "TextFileReader.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <malloc.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "CodePageDecoder.h"
#include "EncodingTable.h"
#include "LineIndex.h"
#include "MemChunkBuffer.h"
#include "ScanTestSupport.h"
#include "TextConvert.h"

using scantest::Bytes;
using scantest::Node;

namespace {
class TextFileReaderTest : public ::testing::Test
{
protected:
    // Opens a file holding `bytes` as the CSV reader does.
    bool OpenText(const Bytes& bytes, bool ignoreBreaks = false)
    {
        path = folder.Write("text.txt", bytes);
        LMemChunkBuffer none;
        return reader.Open(path.c_str(), none, nullptr, false, true, ignoreBreaks);
    }

    std::vector<std::u16string> Texts(const std::vector<LineEntry>& lines)
    {
        std::vector<std::u16string> texts;
        for (const LineEntry& line : lines)
            texts.push_back(line.text);
        return texts;
    }

    scantest::TempFolder folder;
    std::string path;
    LTextFileReader reader;
    std::vector<LineEntry> lines;
    ReadLinesStatus status = READLINES_OK;
};

TEST_F(TextFileReaderTest, SmallFilesTable)
{
    struct Case
    {
        Bytes bytes;
        int64_t lineCount;
        uint64_t last;
        std::vector<std::u16string> texts;
        std::vector<IndexNode> nodes;
    };
    const Case cases[] = {
        {"a\r\nb\r\n",
         3,
         3,
         {u"a\r\n", u"b\r\n", u""},
         {Node(0, 0, true), Node(1, 3, true), Node(2, 6, true)}},
        {"a\r\nb", 2, 2, {u"a\r\n", u"b"}, {Node(0, 0, true), Node(1, 3, true)}},
        {"a", 1, 1, {u"a"}, {Node(0, 0, true)}},
        {"", 1, 1, {u""}, {Node(0, 0, false)}},
        {"a\nb\n", 3, 3, {u"a\n", u"b\n", u""}, {Node(0, 0, true), Node(1, 2, true), Node(2, 4, false)}},
        {Bytes("ab\0c\nd", 6), 2, 1, {u"ab", u"d"}, {Node(0, 0, true), Node(1, 5, true)}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        ASSERT_TRUE(OpenText(c.bytes));
        EXPECT_EQ(65001, reader.GetCodePage());
        EXPECT_EQ(c.lineCount, reader.GetLineCount());
        ASSERT_TRUE(reader.ReadLines(0, c.last, lines, status, nullptr));
        EXPECT_EQ(READLINES_OK, status);
        EXPECT_EQ(c.texts, Texts(lines));
        ASSERT_EQ(c.nodes.size(), lines.size());
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(c.nodes[i], lines[i].node);
    }
}

TEST_F(TextFileReaderTest, RangeReachingPastTheEndReadsToTheEnd)
{
    // 12,000 lines over three checkpoints; every last line at or past the end means "to the end",
    // UINT64_MAX included.
    Bytes text;
    for (int i = 0; i < 12000; ++i)
        text += "line " + std::to_string(i) + "\n";
    ASSERT_TRUE(OpenText(text));
    ASSERT_EQ(12001, reader.GetLineCount());
    for (uint64_t first : {uint64_t(0), uint64_t(4999), uint64_t(11990), uint64_t(12000)})
    {
        for (uint64_t last :
             {uint64_t(12000), uint64_t(12001), uint64_t(1) << 32, UINT64_MAX - 1, UINT64_MAX})
        {
            SCOPED_TRACE(std::to_string(first) + ".." + std::to_string(last));
            ASSERT_TRUE(reader.ReadLines(first, last, lines, status, nullptr));
            EXPECT_EQ(READLINES_OK, status);
            ASSERT_EQ(12001 - first, lines.size());
            EXPECT_EQ(first, lines.front().node.line);
            const std::string expected = first < 12000 ? "line " + std::to_string(first) + "\n" : "";
            EXPECT_EQ(std::u16string(expected.begin(), expected.end()), lines.front().text);
            EXPECT_EQ(u"", lines.back().text);
            std::vector<uint8_t> bytes;
            std::vector<LineBytes> raw;
            ASSERT_TRUE(reader.ReadLineBytes(first, last, bytes, raw, status));
            EXPECT_EQ(12001 - first, raw.size());
        }
    }
}

TEST_F(TextFileReaderTest, BadRangesLeaveTheOutputAlone)
{
    ASSERT_TRUE(OpenText("a\r\nb\r\n"));
    lines.resize(2);
    lines[0].text = u"kept";
    EXPECT_FALSE(reader.ReadLines(5, 3, lines, status, nullptr));
    EXPECT_EQ(READLINES_BAD_RANGE, status);
    EXPECT_FALSE(reader.ReadLines(3, 7, lines, status, nullptr));
    EXPECT_EQ(READLINES_BAD_RANGE, status);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(u"kept", lines[0].text);
}

TEST_F(TextFileReaderTest, WindowOfTenThousandLines)
{
    Bytes text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(OpenText(text));
    EXPECT_EQ(20001, reader.GetLineCount());
    ASSERT_EQ(6u, reader.GetIndex().size()); // 0, 5000, 10000, 15000, 20000 and the end
    ASSERT_TRUE(reader.ReadLines(0, 10000, lines, status, nullptr));
    ASSERT_EQ(10001u, lines.size());
    EXPECT_EQ(u"line 0\r\n", lines[0].text);
    EXPECT_EQ(u"line 4999\r\n", lines[4999].text);
    EXPECT_EQ(u"line 10000\r\n", lines[10000].text);
    EXPECT_EQ(10000u, lines[10000].node.line);

    // A window in the middle, and one that reaches the empty last line.
    ASSERT_TRUE(reader.ReadLines(12345, 12347, lines, status, nullptr));
    EXPECT_EQ((std::vector<std::u16string>{u"line 12345\r\n", u"line 12346\r\n", u"line 12347\r\n"}),
              Texts(lines));
    ASSERT_TRUE(reader.ReadLines(19999, 30000, lines, status, nullptr));
    EXPECT_EQ((std::vector<std::u16string>{u"line 19999\r\n", u""}), Texts(lines));
}

TEST_F(TextFileReaderTest, WindowsReuseOneReadBlock)
{
    // Each window is re-scanned from a checkpoint, reading the file in blocks of a megabyte. A
    // block made for each window came from a fresh mapping whenever the allocator served that
    // size by mapping (here made sure of), and the scan's reads faulted all its pages in again:
    // a whole file read window by window took several times as long for some files as for others.
#if defined(M_MMAP_THRESHOLD) && !defined(__SANITIZE_ADDRESS__)
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    Bytes text;
    for (int i = 0; i < 100000; ++i)
        text += "line " + std::to_string(i) + " of the text;with;fields\n";
    ASSERT_TRUE(OpenText(text));
    ASSERT_EQ(100001, reader.GetLineCount());
    ASSERT_TRUE(reader.ReadLines(10, 12, lines, status, nullptr));
    const auto faults = [] {
        rusage usage = {};
        getrusage(RUSAGE_THREAD, &usage);
        return usage.ru_minflt;
    };
    const long before = faults();
    constexpr int kWindows = 60;
    for (int i = 0; i < kWindows; ++i)
    {
        const uint64_t first = static_cast<uint64_t>(i) * 1000 + 7;
        ASSERT_TRUE(reader.ReadLines(first, first + 2, lines, status, nullptr));
        ASSERT_EQ(3u, lines.size());
        EXPECT_EQ(Utf8ToUtf16("line " + std::to_string(first) + " of the text;with;fields\n"), lines[0].text);
    }
    // A fresh megabyte is 256 pages; the windows' own lines need next to none.
    EXPECT_LT(faults() - before, kWindows * 16);
}

TEST_F(TextFileReaderTest, ByteCapEndsAWindowEarly)
{
    ASSERT_TRUE(OpenText("aaaa\nbbbb\ncccc\ndddd\n"));
    ASSERT_TRUE(reader.ReadLines(0, 4, lines, status, nullptr, 9));
    EXPECT_EQ((std::vector<std::u16string>{u"aaaa\n", u"bbbb\n"}), Texts(lines));
    ASSERT_TRUE(reader.ReadLines(1, 4, lines, status, nullptr, 1));
    EXPECT_EQ((std::vector<std::u16string>{u"bbbb\n"}), Texts(lines));
}

TEST_F(TextFileReaderTest, LongLineIsCutAndReadingGoesOn)
{
    const size_t kLong = 2500000;
    Bytes text = "first\n" + Bytes(kLong, 'x') + "\nafter\n";
    ASSERT_TRUE(OpenText(text));
    EXPECT_EQ(4, reader.GetLineCount());
    ASSERT_TRUE(reader.ReadLines(0, 3, lines, status, nullptr));
    EXPECT_EQ(READLINES_LINE_TOO_LONG, status);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(u"first\n", lines[0].text);
    EXPECT_EQ(LTextFileReader::kMaxLineBytes, lines[1].text.size());
    EXPECT_EQ(u"after\n", lines[2].text);
    EXPECT_EQ(u"", lines[3].text);

    // The same line at the end of the file: its first 1,999,998 bytes.
    ASSERT_TRUE(OpenText("first\n" + Bytes(kLong, 'y')));
    ASSERT_TRUE(reader.ReadLines(0, 1, lines, status, nullptr));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(LTextFileReader::kMaxLineBytes, lines[1].text.size());
}

TEST_F(TextFileReaderTest, Utf16InBothByteOrdersReadsIdentically)
{
    const std::u16string text = u"\uFEFFab\r\n\u4E0A\u0A4E\r\nz";
    std::vector<std::u16string> expected = {u"ab\r\n", u"\u4E0A\u0A4E\r\n", u"z"};
    for (bool little : {true, false})
    {
        SCOPED_TRACE(little ? "little-endian" : "big-endian");
        ASSERT_TRUE(OpenText(scantest::Utf16(text, little)));
        EXPECT_EQ(1200, reader.GetCodePage());
        EXPECT_EQ(little ? 0x23 : 0x21, reader.GetEncodingFlags());
        EXPECT_EQ(LINE_ENDING_PAIR, reader.GetLineEnding());
        EXPECT_EQ(3, reader.GetLineCount());
        ASSERT_TRUE(reader.ReadLines(0, 2, lines, status, nullptr));
        EXPECT_EQ(expected, Texts(lines));
        EXPECT_EQ(2u, lines[0].node.byteOffset); // the mark is not part of line 0
    }
    // Decoded as UTF-8, each line stops at its first zero byte.
    ASSERT_TRUE(OpenText(scantest::Utf16(u"ab\r\ncd", true)));
    reader.SetCodePage(65001);
    ASSERT_TRUE(reader.ReadLines(0, 1, lines, status, nullptr));
    EXPECT_EQ((std::vector<std::u16string>{u"a", u"c"}), Texts(lines));
}

TEST_F(TextFileReaderTest, CodePageDecidesTheDecoding)
{
    ASSERT_TRUE(OpenText("caf\xE9\n\xC0"));
    reader.SetCodePage(1252);
    ASSERT_TRUE(reader.ReadLines(0, 1, lines, status, nullptr));
    EXPECT_EQ((std::vector<std::u16string>{u"caf\u00E9\n", u"\u00C0"}), Texts(lines));
    reader.SetCodePage(65001);
    ASSERT_TRUE(reader.ReadLines(0, 1, lines, status, nullptr));
    EXPECT_EQ((std::vector<std::u16string>{u"caf\uFFFD\n", u"\uFFFD"}), Texts(lines));
    // A code page without a decoder is an error, not a silent empty result.
    reader.SetCodePage(12345);
    EXPECT_FALSE(reader.ReadLines(0, 1, lines, status, nullptr));
    EXPECT_EQ(READLINES_READ_ERROR, status);
}

TEST_F(TextFileReaderTest, UnreadablePathOpensWithoutLines)
{
    LMemChunkBuffer none;
    ASSERT_TRUE(reader.Open("/nonexistent/x.csv", none, nullptr, false, true, false));
    EXPECT_TRUE(reader.IsOpen());
    EXPECT_EQ(65001, reader.GetCodePage());
    EXPECT_EQ(0, reader.GetEncodingFlags());
    EXPECT_EQ(0, reader.GetLineCount());
    EXPECT_FALSE(reader.ReadLines(0, 1, lines, status, nullptr));
    EXPECT_EQ(READLINES_NO_INDEX, status);
    EXPECT_EQ("No such file or directory", reader.GetLastError());
    EXPECT_FALSE(reader.ReadBlock(0, lines));
}

TEST_F(TextFileReaderTest, IndexBuiltLaterKeepsTheDetectedFlags)
{
    // The file appears only after the open: the full scan detects its flags and keeps them.
    std::string later = folder.path + "/later.txt";
    LMemChunkBuffer none;
    ASSERT_TRUE(reader.Open(later.c_str(), none, nullptr, false, true, false));
    EXPECT_EQ(0, reader.GetLineCount());
    folder.Write("later.txt", scantest::Utf16(u"\uFEFFx\ny\nz", true));
    ASSERT_TRUE(reader.RebuildIndex(nullptr));
    EXPECT_EQ(0x23, reader.GetEncodingFlags());
    EXPECT_EQ(3, reader.GetLineCount());
    reader.SetCodePage(1200);
    ASSERT_TRUE(reader.ReadLines(1, 2, lines, status, nullptr));
    EXPECT_EQ((std::vector<std::u16string>{u"y\n", u"z"}), Texts(lines));
}

TEST_F(TextFileReaderTest, FindCheckpointAndIndexEnd)
{
    ASSERT_TRUE(OpenText("a\nb\n"));
    ASSERT_EQ(3, reader.GetLineCount());
    IndexPosition pos = 99, prev = 99;
    bool isLast = true;
    ASSERT_TRUE(reader.FindCheckpoint(0, pos, prev, isLast));
    EXPECT_EQ(0u, pos);
    EXPECT_EQ(0u, prev);
    EXPECT_FALSE(isLast);
    ASSERT_TRUE(reader.FindCheckpoint(1, pos, prev, isLast));
    EXPECT_EQ(1u, pos); // the end checkpoint {2, 4, F}
    EXPECT_EQ(0u, prev);
    EXPECT_TRUE(isLast);
    EXPECT_FALSE(reader.FindCheckpoint(3, pos, prev, isLast));
    EXPECT_TRUE(reader.IsIndexEnd(pos));
    EXPECT_EQ(1u, prev);
    EXPECT_EQ(nullptr, reader.GetCheckpoint(pos));
    ASSERT_NE(nullptr, reader.GetCheckpoint(0));
    reader.GetCheckpoint(0)->charStart = 42;
    EXPECT_EQ(42, reader.GetIndex()[0].charStart);
}

TEST_F(TextFileReaderTest, BlocksOfAFileWithoutBreaksCoverItWhole)
{
    // Line breaks ignored: checkpoints every 5000 pseudo-lines, about every 2 MB.
    Bytes text;
    for (int i = 0; text.size() < 5000000; ++i)
        text += "{\"k\":" + std::to_string(i) + ",\"v\":\"\xC3\xA9t\xC3\xA9\"}\n";
    ASSERT_TRUE(OpenText(text, true));
    EXPECT_EQ(LINE_ENDING_NONE, reader.GetLineEnding());
    ASSERT_TRUE(reader.RebuildIndex(nullptr));
    const IndexList& index = reader.GetIndex();
    ASSERT_EQ(4u, index.size());
    std::u16string joined;
    for (IndexPosition pos = 0; pos + 1 < index.size(); ++pos)
    {
        EXPECT_FALSE(pos > 0 && index[pos].atLineBreak);
        ASSERT_TRUE(reader.ReadBlock(pos, lines));
        ASSERT_EQ(1u, lines.size());
        joined += lines[0].text;
    }
    EXPECT_FALSE(reader.ReadBlock(index.size() - 1, lines)); // the end checkpoint has no bytes
    EXPECT_FALSE(reader.ReadBlock(index.size(), lines));
    std::u16string expected;
    ASSERT_TRUE(DecodeCodePage(65001, reinterpret_cast<const uint8_t*>(text.data()), text.size(), expected));
    EXPECT_EQ(expected, joined);

    LMemChunkBuffer bytes;
    ASSERT_TRUE(reader.ReadBlockBytes(1, bytes));
    EXPECT_EQ(index[2].byteOffset - index[1].byteOffset, bytes.GetSize());
}

TEST_F(TextFileReaderTest, MemoryModeReadsTheCopiedBuffer)
{
    LMemChunkBuffer source;
    ASSERT_TRUE(source.Append("one\ntwo\nthree", 13));
    ASSERT_TRUE(reader.Open(nullptr, source, nullptr, false, true, false));
    EXPECT_TRUE(reader.IsOpen());
    EXPECT_EQ(13u, source.GetSize()); // the source is copied, not taken
    EXPECT_EQ(3, reader.GetLineCount());
    ASSERT_TRUE(reader.ReadLines(1, 2, lines, status, nullptr));
    EXPECT_EQ((std::vector<std::u16string>{u"two\n", u"three"}), Texts(lines));
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
}

TEST_F(TextFileReaderTest, WorkingCopyIsMadeBesideTheFileAndRemovedOnClose)
{
    path = folder.Write("source.txt", "x\ny\n");
    LMemChunkBuffer none;
    ASSERT_TRUE(reader.Open(path.c_str(), none, nullptr, false, false, false));
    std::string copy = reader.GetWorkingPath();
    EXPECT_NE(path, copy);
    EXPECT_EQ(folder.path + "/", copy.substr(0, folder.path.size() + 1));
    EXPECT_EQ(".bak", copy.substr(copy.size() - 4));
    EXPECT_TRUE(std::filesystem::exists(copy));
    EXPECT_EQ(3, reader.GetLineCount());
    reader.Close();
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_TRUE(std::filesystem::exists(path));

    // A bare file name has no folder to put a copy in.
    LTextFileReader other;
    EXPECT_FALSE(other.Open("bare-name.txt", none, nullptr, false, false, false));
    EXPECT_FALSE(other.IsOpen());
}
} // namespace

namespace {
TEST_F(TextFileReaderTest, LineBytesAreTheUndecodedLines)
{
    ASSERT_TRUE(OpenText(Bytes("ab\0c\r\n\xC3\xA9\n", 9) + Bytes(2500000, 'z')));
    std::vector<uint8_t> store{'k'}; // appended to, not replaced
    std::vector<LineBytes> found;
    ASSERT_TRUE(reader.ReadLineBytes(0, 2, store, found, status));
    EXPECT_EQ(READLINES_OK, status); // the long last line is read for its first 1,999,998 bytes
    ASSERT_EQ(3u, found.size());
    auto text = [&](const LineBytes& line) {
        return std::string(store.begin() + static_cast<std::ptrdiff_t>(line.offset),
                           store.begin() + static_cast<std::ptrdiff_t>(line.offset + line.length));
    };
    EXPECT_EQ("ab", text(found[0])); // cut at the zero byte
    EXPECT_EQ("\xC3\xA9\n", text(found[1]));
    EXPECT_EQ(LTextFileReader::kMaxLineBytes, found[2].length);
    EXPECT_EQ(IndexNode(1, 6, true), found[1].node);
    EXPECT_EQ('k', store[0]);

    EXPECT_FALSE(reader.ReadLineBytes(5, 3, store, found, status));
    EXPECT_EQ(READLINES_BAD_RANGE, status);
    EXPECT_EQ(3u, found.size());
}
} // namespace

namespace {
TEST(TextFileReaderWindows, WindowsMatchTheFullScansLines)
{
    // Texts of some 12,000 lines (several index intervals) with every kind of break, read in
    // windows of random ranges: each entry is the bytes between two checkpoints of a full scan
    // with a checkpoint per line.
    static const char* const kPieces[] = {"\n", "\r", "\r\n", "\n\r", "\n\n", "\r\r", "a", "bc", "def"};
    scantest::TempFolder folder;
    std::mt19937 random(1104);
    for (int round = 0; round < 12; ++round)
    {
        Bytes text;
        while (text.size() < 60000)
            text += kPieces[random() % 9];
        const std::string file = folder.Write("windows.txt", text);

        TextScanContext context;
        IndexList all;
        ASSERT_TRUE(
            BuildLineIndex(context, file.c_str(), nullptr, all, false, 1, false, Node(0, 0, true), nullptr));

        LTextFileReader reader;
        LMemChunkBuffer none;
        ASSERT_TRUE(reader.Open(file.c_str(), none, nullptr, false, true, false));
        const uint64_t lineCount = static_cast<uint64_t>(reader.GetLineCount());
        for (int window = 0; window < 40; ++window)
        {
            const uint64_t first = random() % lineCount;
            const uint64_t last = std::min<uint64_t>(lineCount, first + random() % (window % 2 ? 30 : 12000));
            std::vector<LineEntry> lines;
            ReadLinesStatus status = READLINES_OK;
            ASSERT_TRUE(reader.ReadLines(first, last, lines, status, nullptr));

            std::vector<LineEntry> expected;
            for (size_t i = 0; i < all.size(); ++i)
            {
                // The end checkpoint of a text whose last line has no break repeats that
                // line: the line is read to the end once.
                if (all[i].line < first || all[i].line > last || (i > 0 && all[i - 1].line == all[i].line))
                    continue;
                const bool lastLine = i + 1 == all.size() || all[i + 1].line == all[i].line;
                const uint64_t end = lastLine ? text.size() : all[i + 1].byteOffset;
                if (end == all[i].byteOffset && !lastLine)
                    continue; // an empty span gives no entry
                const Bytes bytes = text.substr(all[i].byteOffset, end - all[i].byteOffset);
                expected.push_back({std::u16string(bytes.begin(), bytes.end()), all[i]});
            }
            ASSERT_EQ(expected.size(), lines.size()) << first << ".." << last;
            for (size_t k = 0; k < lines.size(); ++k)
            {
                ASSERT_EQ(expected[k].node, lines[k].node) << first << ".." << last << " entry " << k;
                ASSERT_TRUE(expected[k].text == lines[k].text) << first << ".." << last << " entry " << k;
            }
        }
    }
}
} // namespace
