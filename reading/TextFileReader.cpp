#include "TextFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "CodePageDecoder.h"
#include "EncodingTable.h"
#include "FileReads.h"
#include "MemChunkBuffer.h"

namespace {
constexpr int32_t kUtf16CodePage = 1200;
// Bytes of consecutive lines fetched by one read; never below the longest line.
constexpr size_t kSpanBufferSize = CSVQ_READING_SIZE(4u << 20, 160);
// Decoded strings kept for reuse between windows only up to this capacity.
constexpr size_t kReuseTextCapacity = 1u << 16;
constexpr const char* kShrunkText = "The file has become shorter since it was indexed";

// Whether a line's bytes end with a line-break unit.
bool EndsWithBreak(const uint8_t* bytes, uint64_t length, int32_t encodingFlags)
{
    auto isBreak = [](uint8_t b) { return b == '\n' || b == '\r'; };
    if (!(encodingFlags & TEXT_ENC_16BIT))
        return length > 0 && isBreak(bytes[length - 1]);
    if (length < 2)
        return false;
    const bool little = (encodingFlags & TEXT_ENC_LITTLE_ENDIAN) != 0;
    const uint8_t low = little ? bytes[length - 2] : bytes[length - 1];
    const uint8_t high = little ? bytes[length - 1] : bytes[length - 2];
    return high == 0 && isBreak(low);
}

// 16-bit units (swapped for big-endian text) up to the first zero unit; an odd last byte is the
// low half of a unit whose other half is the zero padding.
void DecodeUtf16Units(const uint8_t* bytes, size_t length, bool bigEndian, std::u16string& text)
{
    size_t units = (length + 1) / 2;
    text.resize(units);
    size_t count = 0;
    for (; count < units; ++count)
    {
        uint8_t first = bytes[2 * count];
        uint8_t second = 2 * count + 1 < length ? bytes[2 * count + 1] : 0;
        char16_t unit = bigEndian ? static_cast<char16_t>((first << 8) | second)
                                  : static_cast<char16_t>(first | (second << 8));
        if (unit == 0)
            break;
        text[count] = unit;
    }
    text.resize(count);
}

// Decodes with a code page's decoder and cuts at the first NUL. False: no decoder.
bool DecodeWithCodePage(int32_t codePage, const uint8_t* bytes, size_t length, std::u16string& text)
{
    if (codePage == 65001)
    {
        // In UTF-8 only the byte 0 decodes to NUL, and decoding the bytes before it gives the
        // same text as decoding everything and cutting.
        const void* zero = std::memchr(bytes, 0, length);
        if (zero)
            length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes);
        return DecodeCodePage(codePage, bytes, length, text);
    }
    if (!DecodeCodePage(codePage, bytes, length, text))
        return false;
    size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos)
        text.resize(nul);
    return true;
}

std::string MakeGuidText()
{
    std::random_device device;
    uint8_t bytes[16];
    for (int i = 0; i < 16; i += 4)
    {
        uint32_t value = device();
        std::memcpy(bytes + i, &value, 4);
    }
    char text[40];
    std::snprintf(text, sizeof(text), "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}
} // namespace

LTextFileReader::LTextFileReader()
    : buffer(std::make_unique<LMemChunkBuffer>())
{}

LTextFileReader::~LTextFileReader() = default;

bool LTextFileReader::Open(const char* path, LMemChunkBuffer& source, TextScanProgress* progress,
                           bool splitLong, bool useSource, bool ignoreBreaks)
{
    Close();
    buffer->Clear();
    lastError.clear();
    // A FIFO would block the first read, a device or a socket might never end it, and a folder
    // holds no text: only regular files are opened.
    if (path && !MayOpenAsText(path, lastError))
        return false;
    if (!path)
        buffer->AppendFrom(source, true);
    splitLongLines = splitLong;
    useSourceFile = useSource;
    ignoreLineBreaks = ignoreBreaks;
    index.clear();

    TextScanContext context;
    context.progress = progress;
    lastError.clear();
    if (!PreScanText(context, path, path ? nullptr : buffer.get(), splitLongLines, ignoreLineBreaks))
        lastError = context.error;
    encodingFlags = context.encodingFlags;
    lineEnding = context.lineEnding;
    codePage = (encodingFlags & TEXT_ENC_16BIT) ? kUtf16CodePage : 65001;
    sourcePath = path ? path : "";

    if (useSourceFile)
    {
        workingPath = sourcePath;
        return true;
    }
    if (!CreateWorkingCopy())
    {
        Close();
        return false;
    }
    return true;
}

void LTextFileReader::Close()
{
    if (!useSourceFile && !workingPath.empty() && workingPath != sourcePath)
        unlink(workingPath.c_str());
    sourcePath.clear();
    workingPath.clear();
    encodingFlags = 0;
    index.clear();
    workingCopyMade = false;
    // Without this a reader in memory mode would still count as open.
    buffer->Clear();
}

bool LTextFileReader::IsOpen() const
{
    return (!sourcePath.empty() && !workingPath.empty()) || buffer->HasData();
}

bool LTextFileReader::RebuildIndex(TextScanProgress* progress)
{
    index.clear();
    lastError.clear();
    TextScanContext context;
    context.encodingFlags = encodingFlags;
    context.progress = progress;
    const char* path = workingPath.empty() ? nullptr : workingPath.c_str();
    bool ok = BuildLineIndex(context, path, buffer.get(), index, splitLongLines, kIndexInterval,
                             ignoreLineBreaks, IndexNode(), nullptr);
    if (!ok)
    {
        lastError = context.error;
        index.clear();
        lineCount = 0;
        return false;
    }
    lineCount = context.lineCount;
    // A file that could not be read at open is detected here: keep what the scan found, or
    // lines away from the start would be walked in the wrong unit size.
    if (encodingFlags == 0)
        encodingFlags = context.encodingFlags;
    if (lineEnding == LINE_ENDING_NONE)
        lineEnding = context.lineEnding;
    return true;
}

int64_t LTextFileReader::GetLineCount()
{
    if (index.empty())
        RebuildIndex(nullptr);
    return lineCount;
}

bool LTextFileReader::ReadLines(uint64_t first, uint64_t last, std::vector<LineEntry>& out,
                                ReadLinesStatus& status, TextScanProgress* progress, uint64_t maxBytes)
{
    struct Decoder : LineVisitor
    {
        Decoder(std::vector<LineEntry>& lines, int32_t page, bool swap)
            : lines(lines)
            , codePage(page)
            , bigEndian(swap)
        {}
        void Visit(const uint8_t* bytes, size_t length, const IndexNode& node) override
        {
            if (produced == lines.size())
                lines.emplace_back();
            LineEntry& entry = lines[produced++];
            if (entry.text.capacity() > kReuseTextCapacity)
                std::u16string().swap(entry.text);
            if (codePage == kUtf16CodePage)
                DecodeUtf16Units(bytes, length, bigEndian, entry.text);
            else
                DecodeWithCodePage(codePage, bytes, length, entry.text);
            entry.node = node;
        }
        std::vector<LineEntry>& lines;
        const int32_t codePage;
        const bool bigEndian;
        size_t produced = 0;
    };
    const bool bigEndian = (encodingFlags & TEXT_ENC_16BIT) && !(encodingFlags & TEXT_ENC_LITTLE_ENDIAN);
    // `out` stays untouched unless lines are delivered; its strings are reused.
    Decoder decoder(out, codePage, bigEndian);
    bool ok = WalkLines(first, last, status, progress, maxBytes, true, decoder);
    if (decoder.produced > 0 || status == READLINES_OK || status == READLINES_LINE_TOO_LONG)
        out.resize(decoder.produced);
    return ok;
}

bool LTextFileReader::ReadLineBytes(uint64_t first, uint64_t last, std::vector<uint8_t>& bytes,
                                    std::vector<LineBytes>& out, ReadLinesStatus& status, uint64_t maxBytes)
{
    struct Collector : LineVisitor
    {
        Collector(std::vector<uint8_t>& store, std::vector<LineBytes>& lines)
            : store(store)
            , lines(lines)
        {}
        void Visit(const uint8_t* data, size_t length, const IndexNode& node) override
        {
            const void* zero = std::memchr(data, 0, length);
            if (zero)
                length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data);
            LineBytes line;
            line.offset = store.size();
            line.length = length;
            line.node = node;
            store.insert(store.end(), data, data + length);
            lines.push_back(line);
        }
        std::vector<uint8_t>& store;
        std::vector<LineBytes>& lines;
    };
    // The lines are gathered in a list kept between reads, which then trades places with `out`:
    // a list grown afresh for every window would be mapped and faulted in anew each time.
    std::vector<LineBytes>& lines = spareLineBytes;
    lines.clear();
    size_t storeStart = bytes.size();
    Collector collector(bytes, lines);
    bool ok = WalkLines(first, last, status, nullptr, maxBytes, false, collector);
    if (!lines.empty() || status == READLINES_OK || status == READLINES_LINE_TOO_LONG)
        out.swap(lines);
    else
        bytes.resize(storeStart);
    lines.clear();
    return ok;
}

bool LTextFileReader::WalkLines(uint64_t first, uint64_t last, ReadLinesStatus& status,
                                TextScanProgress* progress, uint64_t maxBytes, bool decoded,
                                LineVisitor& visitor)
{
    lastError.clear();
    cutLines.clear();
    if (index.empty())
    {
        RebuildIndex(progress);
        if (index.empty())
        {
            status = READLINES_NO_INDEX;
            return false;
        }
    }
    if (last < first)
    {
        status = READLINES_BAD_RANGE;
        return false;
    }
    if (decoded && codePage != kUtf16CodePage && !IsCodePageSupported(codePage))
    {
        lastError = "No decoder for code page " + std::to_string(codePage);
        status = READLINES_READ_ERROR;
        return false;
    }

    // The re-scan runs from the last checkpoint before `first` to the first one after `last`.
    auto byLine = [](const IndexNode& node, uint64_t line) { return node.line < line; };
    auto lineBefore = [](uint64_t line, const IndexNode& node) { return line < node.line; };
    size_t limitPos =
        static_cast<size_t>(std::upper_bound(index.begin(), index.end(), last, lineBefore) - index.begin());
    if (limitPos == index.size())
        limitPos = index.size() - 1;
    size_t startPos =
        static_cast<size_t>(std::lower_bound(index.begin(), index.end(), first, byLine) - index.begin());
    startPos = (startPos >= 2 && startPos - 1 <= limitPos) ? startPos - 1 : 0;
    const IndexNode start = index[startPos];
    IndexNode limit = index[limitPos];
    // Line breaks pair the same way whatever follows them, so a re-scan that stops at the line
    // after `last` gives the same checkpoints up to it as one that goes on to the checkpoint.
    // (A `last` at or past the end keeps the end as the limit; last + 1 would wrap at UINT64_MAX.)
    if (!ignoreLineBreaks && last < limit.line && last + 1 < limit.line)
        limit.line = last + 1;

    int fd = -1;
    // Where the text ends, when known: it tells whether the last line goes on behind the limit.
    uint64_t textEnd = workingPath.empty() && buffer ? buffer->GetSize() : UINT64_MAX;
    bool shrunk = false;
    TextScanContext context;
    context.encodingFlags = encodingFlags;
    context.readBlock = &scanBlock;
    bool scanned;
    if (!workingPath.empty())
    {
        fd = OpenForReading(workingPath.c_str(), lastError);
        if (fd < 0)
        {
            status = READLINES_READ_ERROR;
            return false;
        }
        struct stat info;
        const bool sized = fstat(fd, &info) == 0;
        if (sized)
            textEnd = static_cast<uint64_t>(info.st_size);
        // A file that has become shorter since it was indexed still gives the lines that lie
        // wholly before its new end; the others are gone.
        shrunk = sized && textEnd < index.back().byteOffset;
        if (shrunk && start.byteOffset >= textEnd)
        {
            close(fd);
            lastError = kShrunkText;
            status = READLINES_READ_ERROR;
            return false;
        }
        // The text is what was indexed: bytes written behind its end since then (lines appended
        // while the file is open) are neither scanned nor read until the index is built again.
        textEnd = std::min(textEnd, index.back().byteOffset);
        context.textEnd = index.back().byteOffset;
        scanned = BuildLineIndexFromFd(context, fd, scratchList, splitLongLines, 1, ignoreLineBreaks, start,
                                       &limit);
    }
    else
    {
        scanned = BuildLineIndex(context, nullptr, buffer.get(), scratchList, splitLongLines, 1,
                                 ignoreLineBreaks, start, &limit);
    }
    if (!scanned)
    {
        if (fd >= 0)
            close(fd);
        lastError = context.error;
        status = READLINES_READ_ERROR;
        return false;
    }

    size_t from = static_cast<size_t>(
        std::lower_bound(scratchList.begin(), scratchList.end(), first, byLine) - scratchList.begin());
    if (from == scratchList.size())
    {
        if (fd >= 0)
            close(fd);
        status = shrunk ? READLINES_READ_ERROR : READLINES_BAD_RANGE;
        if (shrunk)
            lastError = kShrunkText;
        return false;
    }
    size_t to = static_cast<size_t>(
        std::upper_bound(scratchList.begin() + from, scratchList.end(), last, lineBefore) -
        scratchList.begin());

    status = READLINES_OK;
    if (!lineBuffer)
        lineBuffer.reset(new uint8_t[kSpanBufferSize]);
    const uint64_t spanEnd =
        to < scratchList.size() ? scratchList[to].byteOffset : scratchList[to - 1].byteOffset + kMaxLineBytes;
    // The bytes of [windowStart, windowStart + windowLength) are in lineBuffer; windowAtEnd
    // tells that nothing follows them in the text.
    uint64_t windowStart = 0;
    uint64_t windowLength = 0;
    bool windowAtEnd = false;
    bool haveWindow = false;
    uint64_t bytesDelivered = 0;
    bool ok = true;
    bool endedByShrink = false;

    for (size_t i = from; i < to; ++i)
    {
        const IndexNode& node = scratchList[i];
        if (shrunk && (i + 1 >= scratchList.size() || scratchList[i + 1].byteOffset > textEnd))
        {
            // The rest of the range lies past the shortened file's end.
            endedByShrink = true;
            break;
        }
        uint64_t length =
            i + 1 < scratchList.size() ? scratchList[i + 1].byteOffset - node.byteOffset : kMaxLineBytes;
        if (length + 2 > kLineBufferSize)
        {
            // Delivered cut; reading goes on with the next line.
            length = kMaxLineBytes;
            status = READLINES_LINE_TOO_LONG;
            cutLines.push_back(node.line);
        }
        if (length == 0 && (!decoded || codePage != kUtf16CodePage))
            continue;

        const uint64_t offset = node.byteOffset;
        const uint8_t* bytes = nullptr;
        uint64_t available = 0;
        bool inside = haveWindow && offset >= windowStart &&
                      (offset + length <= windowStart + windowLength ||
                       (windowAtEnd && offset <= windowStart + windowLength));
        if (!inside)
        {
            uint64_t want = std::max<uint64_t>(length, spanEnd > offset ? spanEnd - offset : 0);
            want = std::min<uint64_t>(want, kSpanBufferSize);
            if (textEnd != UINT64_MAX)
                want = std::min<uint64_t>(want, textEnd > offset ? textEnd - offset : 0);
            uint64_t got = 0;
            if (fd >= 0)
            {
                ssize_t read = PreadFully(fd, lineBuffer.get(), static_cast<size_t>(want), offset);
                if (read < 0)
                {
                    lastError = ErrnoText(errno);
                    status = READLINES_READ_ERROR;
                    ok = false;
                    break;
                }
                got = static_cast<uint64_t>(read);
            }
            else
            {
                got = want;
                buffer->Read(offset, got, lineBuffer.get());
            }
            haveWindow = true;
            windowStart = offset;
            windowLength = got;
            windowAtEnd = got < want || (textEnd != UINT64_MAX && offset + got >= textEnd);
        }
        bytes = lineBuffer.get() + (offset - windowStart);
        available = std::min<uint64_t>(length, windowStart + windowLength - offset);
        // The text's last line is read for its first kMaxLineBytes bytes: cut when more follow.
        if (i + 1 == scratchList.size() && available == kMaxLineBytes && textEnd != UINT64_MAX &&
            textEnd > offset + kMaxLineBytes)
            cutLines.push_back(node.line);

        if (shrunk && !scratchList[i + 1].atLineBreak && !EndsWithBreak(bytes, available, encodingFlags))
        {
            // The new end cuts this line.
            endedByShrink = true;
            break;
        }
        visitor.Visit(bytes, static_cast<size_t>(available), node);
        bytesDelivered += available;
        if (bytesDelivered >= maxBytes)
            break;
    }
    if (fd >= 0)
        close(fd);
    if (endedByShrink && bytesDelivered == 0 && ok)
    {
        lastError = kShrunkText;
        status = READLINES_READ_ERROR;
        ok = false;
    }
    return ok;
}

bool LTextFileReader::FindCheckpoint(uint64_t line, IndexPosition& pos, IndexPosition& prev,
                                     bool& isLast) const
{
    auto byLine = [](const IndexNode& node, uint64_t value) { return node.line < value; };
    size_t found =
        static_cast<size_t>(std::lower_bound(index.begin(), index.end(), line, byLine) - index.begin());
    if (found == index.size())
    {
        pos = index.size();
        prev = index.empty() ? 0 : index.size() - 1;
        isLast = false;
        return false;
    }
    pos = found;
    prev = found > 0 ? found - 1 : found;
    isLast = found + 1 == index.size();
    return true;
}

bool LTextFileReader::IsIndexEnd(IndexPosition pos) const
{
    return pos >= index.size();
}

IndexNode* LTextFileReader::GetCheckpoint(IndexPosition pos)
{
    return pos < index.size() ? &index[pos] : nullptr;
}

bool LTextFileReader::ReadBlockBytes(IndexPosition pos, LMemChunkBuffer& destination)
{
    if (index.empty() || pos >= index.size())
        return false;
    if (workingPath.empty())
        return false;
    int fd = OpenForReading(workingPath.c_str(), lastError);
    if (fd < 0)
        return false;
    std::vector<uint8_t> scratch(kBlockReadSize);
    destination.Clear();
    const bool bounded = pos + 1 < index.size();
    uint64_t remaining = bounded ? index[pos + 1].byteOffset - index[pos].byteOffset : 0;
    uint64_t offset = index[pos].byteOffset;
    bool ok = true;
    for (;;)
    {
        size_t ask = kBlockReadSize;
        if (bounded)
        {
            if (remaining == 0)
                break;
            ask = static_cast<size_t>(std::min<uint64_t>(remaining, kBlockReadSize));
        }
        ssize_t got = PreadFully(fd, scratch.data(), ask, offset);
        if (got < 0)
        {
            lastError = ErrnoText(errno);
            ok = false;
            break;
        }
        if (got > 0 && !destination.Append(scratch.data(), static_cast<int32_t>(got)))
        {
            ok = false;
            break;
        }
        offset += static_cast<uint64_t>(got);
        if (bounded)
            remaining -= static_cast<uint64_t>(got);
        if (static_cast<size_t>(got) < kBlockReadSize)
            break;
    }
    close(fd);
    return ok;
}

bool LTextFileReader::ReadBlock(IndexPosition pos, std::vector<LineEntry>& out)
{
    LMemChunkBuffer bytes;
    if (!ReadBlockBytes(pos, bytes))
        return false;
    uint64_t length = 0;
    uint8_t* data = bytes.GetData(true, length);
    if (!data || length == 0 || length > 2147483647u)
    {
        std::free(data);
        return false;
    }
    out.clear();
    LineEntry entry;
    bool ok = true;
    if (codePage == kUtf16CodePage)
    {
        const bool bigEndian = (encodingFlags & TEXT_ENC_16BIT) && !(encodingFlags & TEXT_ENC_LITTLE_ENDIAN);
        DecodeUtf16Units(data, static_cast<size_t>(length), bigEndian, entry.text);
    }
    else if (!DecodeWithCodePage(codePage, data, static_cast<size_t>(length), entry.text))
    {
        lastError = "No decoder for code page " + std::to_string(codePage);
        ok = false;
    }
    std::free(data);
    if (!ok)
        return false;
    out.push_back(std::move(entry));
    return true;
}

bool LTextFileReader::CreateWorkingCopy()
{
    if (workingCopyMade || sourcePath.empty())
        return false;
    size_t slash = sourcePath.rfind('/');
    if (slash == std::string::npos)
        return false;
    std::string folder = sourcePath.substr(0, slash + 1);
    std::string copyPath = folder + MakeGuidText() + ".bak";
    std::error_code error;
    if (!std::filesystem::copy_file(sourcePath, copyPath, error) || error)
    {
        lastError = error.message();
        return false;
    }
    workingPath = copyPath;
    workingCopyMade = true;
    return true;
}

void LTextFileReader::FreeIndexList(IndexList* list)
{
    // A vector is released in one step; no worker is needed however long it is.
    delete list;
}
