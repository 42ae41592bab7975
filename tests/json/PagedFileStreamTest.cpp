// The paged file input stream: its character index over the whole file across blocks, line and
// position counting, marks and rewinds into another block, seek, substr over any range, the
// empty input, byte-order marks and NUL characters.
#include "PagedFileStream.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include <antlr3.h>

#include "JSONTestSupport.h"

namespace {
constexpr ANTLR3_UINT32 kEof = ANTLR3_CHARSTREAM_EOF;

PagedFileStream* Paged(JSONInput& input)
{
    return reinterpret_cast<PagedFileStream*>(input.Stream());
}

ANTLR3_UINT32 LA(JSONInput& input, ANTLR3_INT32 i = 1)
{
    pANTLR3_INT_STREAM is = input.Stream()->istream;
    return is->_LA(is, i);
}

void Consume(JSONInput& input)
{
    pANTLR3_INT_STREAM is = input.Stream()->istream;
    is->consume(is);
}

int64_t Index(JSONInput& input)
{
    pANTLR3_INT_STREAM is = input.Stream()->istream;
    return is->index(is);
}

// Every character the stream gives from its current index to the end.
std::u16string ReadToEnd(JSONInput& input)
{
    std::u16string text;
    for (ANTLR3_UINT32 c = LA(input); c != kEof; c = LA(input))
    {
        text += static_cast<char16_t>(c);
        Consume(input);
    }
    return text;
}

// The stream's substr as UTF-16, or "(null)".
std::u16string Substr(JSONInput& input, int64_t start, int64_t stop)
{
    pANTLR3_STRING s = input.Stream()->substr(input.Stream(), start, stop);
    if (s == nullptr)
        return u"(null)";
    std::u16string text(reinterpret_cast<const char16_t*>(s->chars), s->len);
    s->factory->destroy(s->factory, s);
    return text;
}

// ASCII text without a line break: lines of the reader are pseudo-lines, so blocks are ~2 MB.
std::string Filler(size_t bytes, unsigned seed = 1)
{
    std::string text;
    text.reserve(bytes);
    uint32_t state = seed;
    while (text.size() < bytes)
    {
        state = state * 1103515245u + 12345u;
        text += static_cast<char>('a' + (state >> 16) % 26);
    }
    return text;
}

// Reads the stream to its end and returns the start of each block it went through.
std::vector<int64_t> BlockStarts(JSONInput& input)
{
    std::vector<int64_t> starts;
    PagedFileStream* s = Paged(input);
    size_t seen = kNoCheckpoint;
    for (ANTLR3_UINT32 c = LA(input); c != kEof; c = LA(input))
    {
        if (s->current != seen)
        {
            seen = s->current;
            starts.push_back(s->currentStart);
        }
        Consume(input);
    }
    return starts;
}
} // namespace

TEST(PagedFileStream, RecordSetUp)
{
    TempDir dir;
    JSONInput input(dir.Write("a.json", "[1]"));
    pANTLR3_INPUT_STREAM stream = input.Stream();
    EXPECT_EQ(stream->encoding, static_cast<ANTLR3_UINT32>(ANTLR3_ENC_UTF16LE));
    EXPECT_EQ(stream->charByteSize, 2);
    EXPECT_EQ(stream->line, 1u);
    EXPECT_EQ(stream->charPositionInLine, -1);
    EXPECT_EQ(stream->newlineChar, static_cast<ANTLR3_UCHAR>('\n'));
    ASSERT_NE(stream->fileName, nullptr);
    EXPECT_EQ(ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(stream->fileName->chars),
                                    stream->fileName->len)),
              "input.json");
    // Error reports take the name from the int stream.
    ASSERT_NE(stream->istream->streamName, nullptr);
    EXPECT_EQ(ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(stream->istream->streamName->chars),
                                    stream->istream->streamName->len)),
              "input.json");
    EXPECT_EQ(Index(input), 0);
    EXPECT_EQ(ReadToEnd(input), u"[1]");
}

TEST(PagedFileStream, EmptyOrUnreadableInputsAreAtTheEndAtOnce)
{
    TempDir dir;
    const std::string cases[] = {dir.Write("empty.json", ""), dir.Path() + "/missing.json"};
    for (const std::string& path : cases)
    {
        SCOPED_TRACE(path);
        JSONInput input(path);
        EXPECT_EQ(LA(input), kEof);
        Consume(input);
        EXPECT_EQ(Index(input), 0);
        EXPECT_EQ(Substr(input, 0, 0), u"(null)");
    }
    // A path that cannot be read leaves the stream without any block: seek only sets the index.
    JSONInput missing(cases[1]);
    EXPECT_EQ(Paged(missing)->first, kNoCheckpoint);
    pANTLR3_INT_STREAM is = missing.Stream()->istream;
    is->seek(is, 5);
    EXPECT_EQ(Index(missing), 5);
    EXPECT_EQ(LA(missing), kEof);
}

TEST(PagedFileStream, PathsOfNoRegularFileGiveNoStream)
{
    // A FIFO without a writer would block, /dev/zero never ends, a socket and a folder hold no
    // text: no stream, and at once (each call runs on its own thread, so a hang fails the test).
    TempDir dir;
    const std::string fifo = dir.Path() + "/fifo";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const std::string socketPath = dir.Path() + "/socket";
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(0, bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    for (const std::string& path : {fifo, std::string("/dev/zero"), socketPath, dir.Path()})
    {
        SCOPED_TRACE(path);
        auto made = std::make_shared<std::promise<pANTLR3_INPUT_STREAM>>();
        std::future<pANTLR3_INPUT_STREAM> stream = made->get_future();
        std::thread([made, wide = WidePath(path)] {
            made->set_value(antlr3StringStreamFromFile(
                wide.c_str(), reinterpret_cast<unsigned char*>(const_cast<char*>("special"))));
        }).detach();
        ASSERT_EQ(std::future_status::ready, stream.wait_for(std::chrono::seconds(20))) << "the stream hangs";
        pANTLR3_INPUT_STREAM got = stream.get();
        EXPECT_EQ(got, nullptr);
        if (got != nullptr)
            got->close(got);
    }
    close(socketFd);
}

TEST(PagedFileStream, LinesAndPositions)
{
    TempDir dir;
    JSONInput input(dir.Write("lines.json", "a\nb\r\nc\rd"));
    struct Seen
    {
        char16_t c;
        uint32_t line;
        int32_t position;
    };
    std::vector<Seen> seen;
    for (ANTLR3_UINT32 c = LA(input); c != kEof; c = LA(input))
    {
        seen.push_back({static_cast<char16_t>(c), input.Stream()->line, input.Stream()->charPositionInLine});
        Consume(input);
    }
    // Position -1 before the first character; LF starts a line at position 0; CR is ordinary.
    const std::vector<std::tuple<char16_t, uint32_t, int32_t>> expected = {
        {u'a', 1, -1}, {u'\n', 1, 0}, {u'b', 2, 0},  {u'\r', 2, 1},
        {u'\n', 2, 2}, {u'c', 3, 0},  {u'\r', 3, 1}, {u'd', 3, 2}};
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].c, std::get<0>(expected[i]));
        EXPECT_EQ(seen[i].line, std::get<1>(expected[i]));
        EXPECT_EQ(seen[i].position, std::get<2>(expected[i]));
    }
    EXPECT_EQ(input.Stream()->line, 3u);
    EXPECT_EQ(reinterpret_cast<intptr_t>(input.Stream()->currentLine), 5); // the character after the last LF
}

TEST(PagedFileStream, LongFileWithoutBreaksRunsOnAcrossBlocks)
{
    TempDir dir;
    const std::string text = Filler(5'000'000);
    JSONInput input(dir.Write("long.json", text));
    const std::vector<int64_t> starts = BlockStarts(input);
    ASSERT_GE(starts.size(), 3u);
    EXPECT_EQ(starts[0], 0);
    for (size_t i = 1; i < starts.size(); ++i)
        EXPECT_GT(starts[i], starts[i - 1]);
    EXPECT_EQ(Index(input), static_cast<int64_t>(text.size()));

    JSONInput again(dir.Path() + "/long.json");
    EXPECT_EQ(ToUtf8(ReadToEnd(again)), text);
}

TEST(PagedFileStream, EndOfInput)
{
    TempDir dir;
    const std::string text = Filler(3'000'000);
    JSONInput input(dir.Write("end.json", text));
    ReadToEnd(input);
    const int64_t end = Index(input);
    EXPECT_EQ(end, static_cast<int64_t>(text.size()));
    EXPECT_EQ(LA(input), kEof);
    Consume(input);
    EXPECT_EQ(Index(input), end);
    EXPECT_EQ(ToUtf8(Substr(input, end - 3, end - 1)), text.substr(text.size() - 3));
    EXPECT_EQ(Substr(input, end - 1, end), u"(null)"); // nothing after the last character
}

TEST(PagedFileStream, RewindIntoThePreviousBlock)
{
    TempDir dir;
    const std::string text = Filler(3'000'000);
    const std::string path = dir.Write("rewind.json", text);
    int64_t secondStart = 0;
    {
        JSONInput probe(path);
        const std::vector<int64_t> starts = BlockStarts(probe);
        ASSERT_GE(starts.size(), 2u);
        secondStart = starts[1];
    }
    JSONInput input(path);
    pANTLR3_INT_STREAM is = input.Stream()->istream;
    for (int64_t i = 0; i < secondStart - 3; ++i)
        Consume(input);
    const uint32_t line = input.Stream()->line;
    const int32_t position = input.Stream()->charPositionInLine;
    const ANTLR3_MARKER mark = is->mark(is);
    for (int i = 0; i < 10; ++i)
        Consume(input);
    ASSERT_EQ(Paged(input)->current, 1u);
    EXPECT_EQ(input.Stream()->charPositionInLine, position + 10);

    is->rewind(is, mark);
    EXPECT_EQ(Paged(input)->current, 0u);
    EXPECT_EQ(Index(input), secondStart - 3);
    EXPECT_EQ(input.Stream()->line, line);
    EXPECT_EQ(input.Stream()->charPositionInLine, position);
    EXPECT_EQ(LA(input), static_cast<ANTLR3_UINT32>(text[secondStart - 3]));
}

TEST(PagedFileStream, SeekAndLookAround)
{
    TempDir dir;
    const std::string text = Filler(5'000'000, 7);
    const std::string path = dir.Write("seek.json", text);
    std::vector<int64_t> starts;
    {
        JSONInput probe(path);
        starts = BlockStarts(probe);
        ASSERT_GE(starts.size(), 3u);
    }
    JSONInput input(path);
    pANTLR3_INT_STREAM is = input.Stream()->istream;
    // Forward seeks consume, so the stream follows into later blocks.
    is->seek(is, starts[2] + 5);
    EXPECT_EQ(Paged(input)->current, 2u);
    EXPECT_EQ(LA(input), static_cast<ANTLR3_UINT32>(text[starts[2] + 5]));
    // Back two blocks.
    is->seek(is, 10);
    EXPECT_EQ(Paged(input)->current, 0u);
    EXPECT_EQ(LA(input), static_cast<ANTLR3_UINT32>(text[10]));
    // Looking ahead past the block and behind its start does not move the stream.
    is->seek(is, starts[1] - 1);
    EXPECT_EQ(Paged(input)->current, 0u);
    EXPECT_EQ(LA(input, 3), static_cast<ANTLR3_UINT32>(text[starts[1] + 1]));
    EXPECT_EQ(LA(input, -1), static_cast<ANTLR3_UINT32>(text[starts[1] - 2]));
    EXPECT_EQ(Index(input), starts[1] - 1);
    EXPECT_EQ(LA(input, 0), 0u);
    EXPECT_EQ(LA(input, static_cast<ANTLR3_INT32>(text.size())), kEof);
    // Past the end only the index is set.
    is->seek(is, static_cast<ANTLR3_MARKER>(text.size()) + 100);
    EXPECT_EQ(LA(input), kEof);
}

// Token texts must be served wherever they lie: the common token stream lexes the whole file
// before the parser asks for the first text.
TEST(PagedFileStream, SubstrServesAnyRange)
{
    TempDir dir;
    const std::string text = Filler(7'000'000, 3);
    JSONInput input(dir.Write("substr.json", text));
    const std::vector<int64_t> starts = BlockStarts(input);
    ASSERT_GE(starts.size(), 4u);
    const auto expect = [&](int64_t start, int64_t stop) {
        SCOPED_TRACE(std::to_string(start) + ".." + std::to_string(stop));
        EXPECT_EQ(ToUtf8(Substr(input, start, stop)), text.substr(start, stop - start + 1));
    };
    expect(0, 9);                              // three blocks back
    expect(starts[1] - 5, starts[1] + 5);      // across one block edge
    expect(starts[1] - 5, starts[3] + 5);      // across three
    expect(starts[2] + 100, starts[2] + 100);  // a single character
    expect(starts.back(), starts.back() + 20); // the current block
    EXPECT_EQ(Substr(input, 5, 4), u"");       // empty range
    EXPECT_EQ(Substr(input, 5, 3), u"(null)");
    EXPECT_EQ(Substr(input, -1, 3), u"(null)");
    EXPECT_EQ(Substr(input, static_cast<int64_t>(text.size()) - 2, static_cast<int64_t>(text.size())),
              u"(null)");
}

// The parser asks for token texts from the first block on after the lexer has read the whole
// file; the stream keeps two blocks decoded (about 4 MB each as UTF-16), not the file.
TEST(PagedFileStream, MemoryStaysAtTwoBlocks)
{
    TempDir dir;
    const std::string text = Filler(12'000'000, 9);
    JSONInput input(dir.Write("memory.json", text));
    const std::vector<int64_t> starts = BlockStarts(input);
    ASSERT_GE(starts.size(), 5u);
    for (int64_t start : starts)
    {
        for (int64_t offset : {int64_t{0}, int64_t{1000}, int64_t{100000}})
            EXPECT_EQ(ToUtf8(Substr(input, start + offset, start + offset + 9)),
                      text.substr(start + offset, 10));
    }
    EXPECT_LT(Paged(input)->peakMemoryBytes, 10'000'000u);
}

TEST(PagedFileStream, ByteOrderMarksAreSkipped)
{
    TempDir dir;
    struct Case
    {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-8", std::string("\xEF\xBB\xBF{}", 5)},
        {"UTF-16 LE", std::string("\xFF\xFE{\0}\0", 6)},
        {"UTF-16 BE", std::string("\xFE\xFF\0{\0}", 6)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        JSONInput input(dir.Write("bom.json", c.bytes));
        EXPECT_EQ(Index(input), 0);
        EXPECT_EQ(ReadToEnd(input), u"{}");
    }
}

// A NUL ends the decoded text of its block: the rest of that block is never seen and the next
// block starts right behind the shortened text.
TEST(PagedFileStream, NulCutsItsBlockShort)
{
    TempDir dir;
    const std::string tail = Filler(3'000'000, 5);
    const std::string text = std::string("ab\0", 3) + tail;
    JSONInput input(dir.Write("nul.json", text));
    const std::vector<int64_t> starts = BlockStarts(input);
    ASSERT_GE(starts.size(), 2u);
    EXPECT_EQ(starts[1], 2);
    JSONInput again(dir.Path() + "/nul.json");
    const std::u16string read = ReadToEnd(again);
    ASSERT_GE(read.size(), 2u);
    EXPECT_EQ(read.substr(0, 2), u"ab");
    EXPECT_LT(read.size(), text.size());
}
