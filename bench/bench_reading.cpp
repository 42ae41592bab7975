// csvq-bench index / records: the full line index scan and the record reading of a file, timed.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "BenchRegistry.h"
#include "CSVReader.h"
#include "EncodingTable.h"
#include "MemChunkBuffer.h"
#include "TextFileReader.h"

namespace {
constexpr int64_t kSegmentRecords = 5000;

bool FileSize(const std::string& path, uint64_t& size)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

int RunIndex(const std::vector<std::string>& args)
{
    if (args.size() != 1)
    {
        std::fprintf(stderr, "usage: csvq-bench index FILE\n");
        return 2;
    }
    const std::string& path = args[0];
    uint64_t bytes = 0;
    if (!FileSize(path, bytes))
    {
        std::fprintf(stderr, "csvq-bench index: %s is not a readable file\n", path.c_str());
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    LTextFileReader reader;
    LMemChunkBuffer none;
    reader.Open(path.c_str(), none, nullptr, false, true, false);
    const int64_t lines = reader.GetLineCount();
    const double seconds = BenchSecondsSince(start);
    if (reader.GetIndex().empty())
    {
        std::fprintf(stderr, "csvq-bench index: %s: %s\n", path.c_str(), reader.GetLastError().c_str());
        return 1;
    }
    std::printf("{\"command\":\"index\",\"file\":%s,\"bytes\":%llu,\"seconds\":%.4f,"
                "\"gbPerSecond\":%.3f,\"lines\":%lld,\"checkpoints\":%zu,\"encodingFlags\":%d,"
                "\"lineEnding\":%d,\"peakRssBytes\":%lld}\n",
                BenchJsonString(path).c_str(), static_cast<unsigned long long>(bytes), seconds,
                BenchGigabytesPerSecond(bytes, seconds), static_cast<long long>(lines),
                reader.GetIndex().size(), reader.GetEncodingFlags(), static_cast<int>(reader.GetLineEnding()),
                BenchPeakRssBytes());
    return 0;
}

int RunRecords(const std::vector<std::string>& args)
{
    std::string path;
    long separator = 0;
    long encoding = 0;
    for (size_t i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--sep" && i + 1 < args.size())
            separator = std::strtol(args[++i].c_str(), nullptr, 10);
        else if (args[i] == "--enc" && i + 1 < args.size())
            encoding = std::strtol(args[++i].c_str(), nullptr, 10);
        else if (path.empty())
            path = args[i];
        else
            path.clear(), i = args.size();
    }
    const int32_t codePage = GetEncodingCodePage(static_cast<int32_t>(encoding));
    if (path.empty() || codePage == 0)
    {
        std::fprintf(stderr, "usage: csvq-bench records FILE [--sep K] [--enc I]\n");
        return 2;
    }
    uint64_t bytes = 0;
    if (!FileSize(path, bytes))
    {
        std::fprintf(stderr, "csvq-bench records: %s is not a readable file\n", path.c_str());
        return 1;
    }

    auto start = std::chrono::steady_clock::now();
    LCSVReader reader;
    LMemChunkBuffer none;
    reader.Open(path.c_str(), none, nullptr);
    reader.SetSeparatorKind(static_cast<SeparatorKind>(separator));
    reader.GetTextFile().SetCodePage(codePage);
    int64_t records = 0;
    uint64_t fields = 0;
    uint64_t characters = 0;
    // One record read again and again, as the document reads before it copies into its rows.
    CSVRecord record;
    for (;;)
    {
        // Segment by segment, as the document pages: each segment starts at the recorded line
        // and record count of the previous one's end.
        if (records % kSegmentRecords == 0)
            reader.SetPosition(reader.GetCurrentLine(), records);
        if (!reader.ReadRecordInto(record, false))
            break;
        ++records;
        fields += record.size();
        for (const CSVFieldView field : record)
            characters += field.text.size();
    }
    const double seconds = BenchSecondsSince(start);
    if (reader.GetLastReadStatus() == READLINES_READ_ERROR ||
        reader.GetLastReadStatus() == READLINES_NO_INDEX)
    {
        std::fprintf(stderr, "csvq-bench records: %s: %s\n", path.c_str(),
                     reader.GetTextFile().GetLastError().c_str());
        return 1;
    }
    std::printf("{\"command\":\"records\",\"file\":%s,\"bytes\":%llu,\"separator\":%ld,"
                "\"encoding\":%ld,\"seconds\":%.4f,\"gbPerSecond\":%.3f,\"records\":%lld,"
                "\"fields\":%llu,\"characters\":%llu,\"lines\":%lld,\"peakRssBytes\":%lld}\n",
                BenchJsonString(path).c_str(), static_cast<unsigned long long>(bytes), separator, encoding,
                seconds, BenchGigabytesPerSecond(bytes, seconds), static_cast<long long>(records),
                static_cast<unsigned long long>(fields), static_cast<unsigned long long>(characters),
                static_cast<long long>(reader.GetCurrentLine()), BenchPeakRssBytes());
    return 0;
}

int RunScan(const std::vector<std::string>& args)
{
    if (args.size() != 1)
    {
        std::fprintf(stderr, "usage: csvq-bench scan FILE\n");
        return 2;
    }
    const std::string& path = args[0];
    uint64_t bytes = 0;
    if (!FileSize(path, bytes))
    {
        std::fprintf(stderr, "csvq-bench scan: %s is not a readable file\n", path.c_str());
        return 1;
    }
    LCSVReader reader;
    LMemChunkBuffer none;
    reader.Open(path.c_str(), none, nullptr);
    reader.GetTextFile().GetLineCount();
    // The index is built first (as opening a document does); only the record scan is timed.
    auto start = std::chrono::steady_clock::now();
    int64_t scanned = 0;
    int64_t read = 0;
    CSVRecord record;
    for (;;)
    {
        int64_t advanced = 0;
        const ScanStop stop = reader.ScanRecords(kSegmentRecords, nullptr, nullptr, advanced);
        scanned += advanced;
        if (stop == ScanStop::Done)
            continue;
        if (!reader.ReadRecordInto(record, false))
            break;
        ++read;
    }
    const double seconds = BenchSecondsSince(start);
    std::printf("{\"command\":\"scan\",\"file\":%s,\"bytes\":%llu,\"seconds\":%.4f,\"gbPerSecond\":%.3f,"
                "\"records\":%lld,\"scanned\":%lld,\"read\":%lld,\"lines\":%lld,\"peakRssBytes\":%lld}\n",
                BenchJsonString(path).c_str(), static_cast<unsigned long long>(bytes), seconds,
                BenchGigabytesPerSecond(bytes, seconds), static_cast<long long>(reader.GetRecordCount()),
                static_cast<long long>(scanned), static_cast<long long>(read),
                static_cast<long long>(reader.GetCurrentLine()), BenchPeakRssBytes());
    return 0;
}

const BenchCommand kIndex("index",
                          "FILE\n"
                          "      the full line index scan (open and line count): bytes, seconds, GB/s,\n"
                          "      lines, checkpoints, peak RSS.",
                          RunIndex);
const BenchCommand kRecords("records",
                            "FILE [--sep K] [--enc I]\n"
                            "      every record through the CSV reader, repositioned at each 5,000-record\n"
                            "      boundary as the viewer pages; K = separator kind (0 ';', 1 ',', 2 tab),\n"
                            "      I = encoding index (0 UTF-8 .. 22). Records, seconds, GB/s, peak RSS.",
                            RunRecords);
const BenchCommand kScan("scan",
                         "FILE\n"
                         "      every record passed on the raw bytes, 5,000 at a time, as go to line does\n"
                         "      (the reader reads where the scan stops); the index is built before timing.",
                         RunScan);
} // namespace
