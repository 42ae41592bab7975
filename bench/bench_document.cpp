// csvq-bench goto / find: the document's segment cache reading a large file the way go to line
// and find next do. Each prints one JSON line.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "BenchRegistry.h"
#include "CsvDocumentCore.h"
#include "TextConvert.h"

namespace {
struct Quiet : ILogSink, INotifier
{
    void AddLine(const std::u16string&) override { ++logLines; }
    void Info(const std::u16string&) override { ++infos; }
    void Error(const std::u16string&) override { ++errors; }
    long long logLines = 0;
    long long infos = 0;
    long long errors = 0;
};

// A view that only remembers where find next stopped.
struct HitView : IRowsSink
{
    void FillGrid(const std::vector<CSVRecord>&, int64_t) override {}
    void MergeRows(const std::vector<CSVRecord>&, int64_t, int64_t) override {}
    bool SelectRow(int64_t row, const std::vector<CSVRecord>&, int64_t, int64_t) override
    {
        hitRow = row;
        return true;
    }
    bool GetLastSelectedRow(int64_t&) override { return false; }
    int64_t hitRow = 0;
};

long long FileSize(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

int RunGoto(const std::vector<std::string>& args)
{
    if (args.size() != 2)
    {
        std::fprintf(stderr, "usage: csvq-bench goto FILE ROW\n");
        return 2;
    }
    const std::string& path = args[0];
    const int64_t row = ParseRecordNumber(Utf8ToUtf16(args[1]));
    const long long bytes = FileSize(path);
    Quiet quiet;
    CsvDocumentCore core(CsvDocumentServices{&quiet, nullptr, nullptr, &quiet});

    const auto start = std::chrono::steady_clock::now();
    if (!core.ReadCSVFile(path))
    {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    int64_t firstRow = 0;
    int64_t estimate = 0;
    const CSVSegment* segment = core.GetSegment(row, true, firstRow, estimate);
    const double seconds = BenchSecondsSince(start);

    const long long records = static_cast<long long>(core.GetSegments().back().CSVEndLine);
    std::printf("{\"name\":\"goto\",\"file\":\"%s\",\"bytes\":%lld,\"row\":%lld,\"found\":%s,"
                "\"first_row\":%lld,\"records\":%lld,\"seconds\":%.3f,\"gb_per_s\":%.3f,"
                "\"segments\":%zu,\"max_loaded_segments\":%zu,\"peak_rss\":%lld}\n",
                path.c_str(), bytes, static_cast<long long>(row), segment ? "true" : "false",
                static_cast<long long>(firstRow), records, seconds, bytes / seconds / 1e9,
                core.GetSegments().size(), core.GetPeakLoadedSegmentCount(), BenchPeakRssBytes());
    // Going to a record of the file must land on the segment that holds it.
    if (row >= 1 && row <= records && (!segment || firstRow > row || segment->CSVEndLine < row))
    {
        std::fprintf(stderr, "goto: wrong segment for row %lld\n", static_cast<long long>(row));
        return 1;
    }
    return 0;
}

int RunFind(const std::vector<std::string>& args)
{
    if (args.size() != 2 || args[1].empty())
    {
        std::fprintf(stderr, "usage: csvq-bench find FILE TEXT\n");
        return 2;
    }
    const std::string& path = args[0];
    const long long bytes = FileSize(path);
    Quiet quiet;
    HitView view;
    CsvDocumentCore core(CsvDocumentServices{&quiet, nullptr, nullptr, &quiet});

    const auto start = std::chrono::steady_clock::now();
    if (!core.ReadCSVFile(path))
    {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    core.OnFindNext(&view, Utf8ToUtf16(args[1]));
    const double seconds = BenchSecondsSince(start);

    const long long records = static_cast<long long>(core.GetSegments().back().CSVEndLine);
    std::printf("{\"name\":\"find\",\"file\":\"%s\",\"bytes\":%lld,\"hit_row\":%lld,\"records\":%lld,"
                "\"seconds\":%.3f,\"gb_per_s\":%.3f,\"segments\":%zu,\"max_loaded_segments\":%zu,"
                "\"peak_rss\":%lld}\n",
                path.c_str(), bytes, static_cast<long long>(view.hitRow), records, seconds,
                bytes / seconds / 1e9, core.GetSegments().size(), core.GetPeakLoadedSegmentCount(),
                BenchPeakRssBytes());
    // Without a hit the search must have ended with the end-of-document message.
    if (view.hitRow == 0 && quiet.infos != 1)
    {
        std::fprintf(stderr, "find: no hit and no end message\n");
        return 1;
    }
    return 0;
}

const BenchCommand kGoto("goto", "FILE ROW", RunGoto);
const BenchCommand kFind("find", "FILE TEXT", RunFind);
} // namespace
