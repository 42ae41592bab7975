// Subcommands of csvq-bench. Each bench_*.cpp registers its commands with a static
// BenchCommand object; main() dispatches on the first argument.
#pragma once

#include <string>
#include <vector>

struct BenchCommand
{
    using Fn = int (*)(const std::vector<std::string>& args);

    BenchCommand(const char* name, const char* usage, Fn fn);

    const char* name;
    const char* usage;
    Fn fn;
};

// Peak resident set size of this process in bytes (VmHWM).
long long BenchPeakRssBytes();
// Parses "12", "12K", "3M", "2G" (binary multiples); -1 on error.
long long BenchParseSize(const std::string& text);
