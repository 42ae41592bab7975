// libFuzzer target: the input bytes become a file that LCSVReader reads to the end.
// Byte 0 chooses the separator kind (0..3, 3 standing for an unknown kind), the record cap and
// the reading mode; byte 1 the encoding index (0..22); the rest is the file.
// The reading library is built with the fuzzer's coverage instrumentation and the sanitizers
// when fuzz targets are built.
#include "CSVReader.h"
#include "EncodingTable.h"
#include "MemChunkBuffer.h"
#include "TextFileReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
// One scratch file per fuzzing process, rewritten for every input.
const std::string& ScratchPath()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/csvq-fuzz-csv-XXXXXX";
        int fd = mkstemp(pattern);
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
    FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(bytes, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t options = data[0];
    const int32_t codePage = GetEncodingCodePage(data[1] % kEncodingCount);
    const uint8_t* text = data + 2;
    const size_t textSize = size - 2;

    const SeparatorKind kind = static_cast<SeparatorKind>((options & 3) == 3 ? 7 : options & 3);
    const bool memoryMode = (options & 0x04) != 0;
    const bool lowCap = (options & 0x08) != 0;
    const bool joinWithoutNewline = (options & 0x10) != 0;
    const bool reposition = (options & 0x20) != 0;

    LCSVReader reader;
    LMemChunkBuffer source;
    if (memoryMode)
    {
        if (textSize > 0)
            source.Append(text, static_cast<int32_t>(textSize));
        reader.Open(nullptr, source, nullptr);
    }
    else
    {
        WriteScratch(text, textSize);
        reader.Open(ScratchPath().c_str(), source, nullptr);
    }
    reader.SetSeparatorKind(kind);
    reader.GetTextFile().SetCodePage(codePage);
    if (lowCap)
        reader.SetMaxRecordChars(16);

    // Every record consumes at least one line, so this bounds the loop.
    const int64_t lines = reader.GetTextFile().GetLineCount();
    int64_t records = 0;
    CSVRecord record;
    while (records <= lines)
    {
        record.clear();
        if (!reader.ReadRecord(record, joinWithoutNewline))
            break;
        ++records;
        // Paging as the document does: back to a recorded boundary now and then.
        if (reposition && records % 7 == 0)
        {
            int64_t line = reader.GetCurrentLine();
            reader.SetPosition(line, records);
        }
    }
    if (records > lines + 1)
        std::abort();

    // 8-bit text read as UTF-8 is parsed from the window's bytes, here into one reused record;
    // the decoded window read into fresh records must agree.
    if (!memoryMode && codePage == 65001)
    {
        LCSVReader fast;
        LCSVReader slow;
        fast.Open(ScratchPath().c_str(), source, nullptr);
        slow.Open(ScratchPath().c_str(), source, nullptr);
        slow.SetByteParsing(false);
        for (LCSVReader* each : {&fast, &slow})
        {
            each->SetSeparatorKind(kind);
            if (lowCap)
                each->SetMaxRecordChars(16);
        }
        CSVRecord a;
        for (int64_t i = 0; i <= lines; ++i)
        {
            CSVRecord b;
            bool okA = fast.ReadRecordInto(a, joinWithoutNewline);
            bool okB = slow.ReadRecord(b, joinWithoutNewline);
            if (okA != okB || a != b || fast.GetCurrentLine() != slow.GetCurrentLine() ||
                fast.GetRecordCount() != slow.GetRecordCount() ||
                fast.WasLastRecordCut() != slow.WasLastRecordCut() ||
                fast.WasLastRecordUnclosed() != slow.WasLastRecordUnclosed() ||
                fast.GetOpenQuoteLine() != slow.GetOpenQuoteLine() ||
                fast.GetCutLinesOfLastRecord() != slow.GetCutLinesOfLastRecord() ||
                fast.GetLastReadStatus() != slow.GetLastReadStatus())
                std::abort();
            if (!okA)
                break;
        }
    }

    // The pseudo-line blocks the JSON stream reads, over the same file.
    if (!memoryMode && (options & 0x40))
    {
        LTextFileReader blocks;
        LMemChunkBuffer none;
        blocks.Open(ScratchPath().c_str(), none, nullptr, false, true, true);
        blocks.SetCodePage(codePage);
        blocks.RebuildIndex(nullptr);
        std::vector<LineEntry> entries;
        for (IndexPosition pos = 0; pos < blocks.GetIndex().size(); ++pos)
            blocks.ReadBlock(pos, entries);
    }
    return 0;
}
