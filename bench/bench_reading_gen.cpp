// csvq-bench gen: a deterministic synthetic CSV for the reading benchmarks.
#include "BenchRegistry.h"
#include "CsvGen.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using csvgen::GenOptions;

bool ParseOptions(const std::vector<std::string>& args, GenOptions& options)
{
    std::vector<std::string> positional;
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
        else if (arg.rfind("--", 0) == 0)
        {
            return false;
        }
        else
        {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2)
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
        std::fprintf(stderr, "usage: csvq-bench gen OUT SIZE [--sep semicolon|comma|tab] [--eol lf|crlf] [--seed N]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const int fd = open(options.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        std::fprintf(stderr, "csvq-bench gen: cannot create %s: %s\n", options.out.c_str(), std::strerror(errno));
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
    std::printf("{\"command\":\"gen\",\"file\":%s,\"bytes\":%llu,\"records\":%llu,\"lineBreaks\":%llu,"
                "\"seconds\":%.3f,\"separator\":\"%s\",\"eol\":\"%s\",\"seed\":%llu}\n",
                BenchJsonString(options.out).c_str(), static_cast<unsigned long long>(result.bytes),
                static_cast<unsigned long long>(result.records),
                static_cast<unsigned long long>(result.lineBreaks),
                seconds, options.separatorName.c_str(), options.crlf ? "crlf" : "lf",
                static_cast<unsigned long long>(options.seed));
    return 0;
}

const BenchCommand kGen("gen",
                        "OUT SIZE [--sep semicolon|comma|tab] [--eol lf|crlf] [--seed N]\n"
                        "      a deterministic CSV of whole records: SIZE takes K/M/G (binary); the file ends at the\n"
                        "      first record end at or past SIZE (SIZE 0 gives an empty file). The first record is a\n"
                        "      header; all have ten fields. Defaults: semicolon, lf, seed 1.",
                        RunGen);
}
