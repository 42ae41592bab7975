// csvq-bench gen: a deterministic synthetic CSV for the reading benchmarks.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchRegistry.h"
#include "CsvGen.h"

namespace {
using csvgen::GenOptions;

const char* const kOptionsUsage =
    "[--sep semicolon|comma|tab] [--eol lf|crlf] [--seed N] [--kind synthetic|export] "
    "[--non-ascii PCT] [--quoted PCT] [--multiline PCT]";

// A whole number from 0 to 100.
bool ParsePercent(const std::string& text, int& percent)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 0 || value > 100)
        return false;
    percent = static_cast<int>(value);
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, GenOptions& options)
{
    std::vector<std::string> positional;
    bool sharesGiven = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--sep" && hasValue)
        {
            options.separatorName = args[++i];
            if (options.separatorName == "semicolon")
                options.separator = ';';
            else if (options.separatorName == "comma")
                options.separator = ',';
            else if (options.separatorName == "tab")
                options.separator = '\t';
            else
                return false;
        }
        else if (arg == "--eol" && hasValue)
        {
            const std::string& eol = args[++i];
            if (eol != "lf" && eol != "crlf")
                return false;
            options.crlf = eol == "crlf";
        }
        else if (arg == "--seed" && hasValue)
        {
            const std::string& seed = args[++i];
            char* end = nullptr;
            errno = 0;
            options.seed = std::strtoull(seed.c_str(), &end, 10);
            if (seed.empty() || *end != '\0' || errno != 0 || seed[0] == '-')
                return false;
        }
        else if (arg == "--kind" && hasValue)
        {
            const std::string& kind = args[++i];
            if (kind != "synthetic" && kind != "export")
                return false;
            options.kind = kind == "export" ? csvgen::GenKind::Export : csvgen::GenKind::Synthetic;
        }
        else if ((arg == "--non-ascii" || arg == "--quoted" || arg == "--multiline") && hasValue)
        {
            int* share = arg == "--non-ascii" ? &options.nonAsciiPercent
                         : arg == "--quoted"  ? &options.quotedPercent
                                              : &options.multilinePercent;
            if (!ParsePercent(args[++i], *share))
                return false;
            sharesGiven = true;
        }
        else if (arg.rfind("--", 0) == 0)
        {
            return false;
        }
        else
        {
            positional.push_back(arg);
        }
    }
    // The shares belong to export files only.
    if (positional.size() != 2 || (sharesGiven && options.kind != csvgen::GenKind::Export))
        return false;
    options.out = positional[0];
    options.size = BenchParseSize(positional[1]);
    return options.size >= 0;
}

int RunGen(const std::vector<std::string>& args)
{
    GenOptions options;
    if (!ParseOptions(args, options))
    {
        std::fprintf(stderr, "usage: csvq-bench gen OUT SIZE %s\n", kOptionsUsage);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const int fd = open(options.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        std::fprintf(stderr, "csvq-bench gen: cannot create %s: %s\n", options.out.c_str(),
                     std::strerror(errno));
        return 1;
    }

    // Whole records only: the file ends at the first record end at or past SIZE.
    csvgen::GenResult result;
    const bool ok = csvgen::WriteCsv(fd, options, result);
    int error = result.error;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (!ok || error != 0)
    {
        std::fprintf(stderr, "csvq-bench gen: cannot write %s: %s\n", options.out.c_str(),
                     std::strerror(error ? error : EIO));
        return 1;
    }
    const double seconds = BenchSecondsSince(start);
    std::string shares;
    if (options.kind == csvgen::GenKind::Export)
    {
        // The shares as written, the header not counted.
        const auto percent = [](uint64_t part, uint64_t whole) { return whole ? 100.0 * part / whole : 0.0; };
        char text[256];
        std::snprintf(text, sizeof text,
                      ",\"nonAsciiPercent\":%.2f,\"quotedFieldPercent\":%.2f,"
                      "\"multilineRecordPercent\":%.2f",
                      percent(result.nonAsciiBytes, result.bytes),
                      percent(result.quotedFields, result.fields),
                      percent(result.multilineRecords, result.records > 0 ? result.records - 1 : 0));
        shares = text;
    }
    std::printf("{\"command\":\"gen\",\"file\":%s,\"bytes\":%llu,\"records\":%llu,\"lineBreaks\":%llu,"
                "\"seconds\":%.3f,\"separator\":\"%s\",\"eol\":\"%s\",\"seed\":%llu,\"kind\":\"%s\"%s}\n",
                BenchJsonString(options.out).c_str(), static_cast<unsigned long long>(result.bytes),
                static_cast<unsigned long long>(result.records),
                static_cast<unsigned long long>(result.lineBreaks), seconds, options.separatorName.c_str(),
                options.crlf ? "crlf" : "lf", static_cast<unsigned long long>(options.seed),
                options.kind == csvgen::GenKind::Export ? "export" : "synthetic", shares.c_str());
    return 0;
}

const BenchCommand
    kGen("gen",
         "OUT SIZE [--sep semicolon|comma|tab] [--eol lf|crlf] [--seed N] [--kind synthetic|export]\n"
         "      [--non-ascii PCT] [--quoted PCT] [--multiline PCT]\n"
         "      a deterministic CSV of whole records: SIZE takes K/M/G (binary); the file ends at the\n"
         "      first record end at or past SIZE (SIZE 0 gives an empty file). The first record is a\n"
         "      header; all have ten fields. Defaults: semicolon, lf, seed 1, synthetic.\n"
         "      synthetic: fixed typed columns of several scripts. export: like a spreadsheet or\n"
         "      database export (numbers with thousands separators, dates, timestamps, empty fields,\n"
         "      text quoted or not, quoted text with separators, doubled quotation marks and line\n"
         "      breaks, some emoji); PCT (0-100) sets the share of non-ASCII bytes in the file\n"
         "      (default 18), of text fields between quotes (35) and of records over several lines (6).",
         RunGen);
} // namespace
