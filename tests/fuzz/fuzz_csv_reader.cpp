// libFuzzer target: the input bytes become a text that LCSVReader reads to the end.
// Byte 0 chooses the separator kind (0..3, 3 standing for an unknown kind), the record cap, the
// source (a memory buffer, or one scratch file rewritten for each input) and what else is done;
// byte 1 the encoding index (0..22); the rest is the text, at most kMaxText bytes.
// The readers and their buffers live as long as the process, as a document's reader does over
// many reads, so that an input costs its parsing and little else.
// The reading library is built with the fuzzer's coverage instrumentation and the sanitizers
// when fuzz targets are built.
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "CSVReader.h"
#include "EncodingTable.h"
#include "MemChunkBuffer.h"
#include "TextFileReader.h"

namespace {
// Longer inputs find nothing shorter ones would not, and cost more per run.
constexpr size_t kMaxText = 16384;

// One scratch file per fuzzing process, rewritten for every input; in memory (/dev/shm) where
// there is one, since a file cut to nothing and written again is flushed to disk when closed.
const std::string& ScratchPath()
{
    static const std::string path = [] {
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/csvq-fuzz-csv-XXXXXX" : "/tmp/csvq-fuzz-csv-XXXXXX";
        int fd = mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        close(fd);
        std::string made = pattern;
        std::atexit([] { unlink(ScratchPath().c_str()); });
        return made;
    }();
    return path;
}

void WriteScratch(const uint8_t* bytes, size_t size)
{
    static const int fd = open(ScratchPath().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        std::abort();
    if (size > 0 && pwrite(fd, bytes, size, 0) != static_cast<ssize_t>(size))
        std::abort();
}

struct Readers
{
    LCSVReader reader;
    LCSVReader fast;
    LCSVReader slow;
    LTextFileReader blocks;
    LMemChunkBuffer source;
    LMemChunkBuffer none;
    CSVRecord record;
    CSVRecord a;
    CSVRecord b;
    std::vector<LineEntry> entries;
};

Readers& Shared()
{
    static Readers* readers = new Readers; // never freed: no destruction order at exit
    return *readers;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size - 2 > kMaxText)
        return 0;
    Readers& r = Shared();
    const uint8_t options = data[0];
    const int32_t codePage = GetEncodingCodePage(data[1] % kEncodingCount);
    const uint8_t* text = data + 2;
    const size_t textSize = size - 2;

    const SeparatorKind kind = static_cast<SeparatorKind>((options & 3) == 3 ? 7 : options & 3);
    const bool memoryMode = (options & 0x04) != 0;
    const bool lowCap = (options & 0x08) != 0;
    const bool joinWithoutNewline = (options & 0x10) != 0;
    const bool reposition = (options & 0x20) != 0;

    const char* path = nullptr;
    r.source.Clear();
    if (memoryMode)
    {
        if (textSize > 0)
            r.source.Append(text, static_cast<int32_t>(textSize));
    }
    else
    {
        WriteScratch(text, textSize);
        path = ScratchPath().c_str();
    }
    r.reader.Open(path, r.source, nullptr);
    r.reader.SetSeparatorKind(kind);
    r.reader.GetTextFile().SetCodePage(codePage);
    r.reader.SetMaxRecordChars(lowCap ? 16 : LCSVReader::kMaxRecordChars);

    // Every record consumes at least one line, so this bounds the loop.
    const int64_t lines = r.reader.GetTextFile().GetLineCount();
    int64_t records = 0;
    while (records <= lines)
    {
        r.record.clear();
        if (!r.reader.ReadRecord(r.record, joinWithoutNewline))
            break;
        ++records;
        // Paging as the document does: back to a recorded boundary now and then.
        if (reposition && records % 7 == 0)
        {
            int64_t line = r.reader.GetCurrentLine();
            r.reader.SetPosition(line, records);
        }
    }
    if (records > lines + 1)
        std::abort();

    // 8-bit text read as UTF-8 is parsed from the window's bytes, here into one reused record;
    // the decoded window read into fresh records must agree.
    if (codePage == 65001 && (options & 0x80))
    {
        r.fast.Open(path, r.source, nullptr);
        r.slow.Open(path, r.source, nullptr);
        r.slow.SetByteParsing(false);
        for (LCSVReader* each : {&r.fast, &r.slow})
        {
            each->SetSeparatorKind(kind);
            each->SetMaxRecordChars(lowCap ? 16 : LCSVReader::kMaxRecordChars);
        }
        for (int64_t i = 0; i <= lines; ++i)
        {
            r.b.clear();
            bool okA = r.fast.ReadRecordInto(r.a, joinWithoutNewline);
            bool okB = r.slow.ReadRecord(r.b, joinWithoutNewline);
            if (okA != okB || (okA && r.a != r.b) || r.fast.GetCurrentLine() != r.slow.GetCurrentLine() ||
                r.fast.GetRecordCount() != r.slow.GetRecordCount() ||
                r.fast.WasLastRecordCut() != r.slow.WasLastRecordCut() ||
                r.fast.GetLastReadStatus() != r.slow.GetLastReadStatus())
                std::abort();
            if (!okA)
                break;
        }
    }

    // The pseudo-line blocks the JSON stream reads, over the same file.
    if (!memoryMode && (options & 0x40))
    {
        r.blocks.Open(path, r.none, nullptr, false, true, true);
        r.blocks.SetCodePage(codePage);
        r.blocks.RebuildIndex(nullptr);
        for (IndexPosition pos = 0; pos < r.blocks.GetIndex().size(); ++pos)
            r.blocks.ReadBlock(pos, r.entries);
    }
    return 0;
}
