// Subcommands of csvq-bench. Each bench_*.cpp registers its commands with a static
// BenchCommand object; main() dispatches on the first argument.
#pragma once

#include <chrono>
#include <cstdint>
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
// The text as a JSON string literal, quotes included.
std::string BenchJsonString(const std::string& text);
// Seconds from `start` until now.
double BenchSecondsSince(std::chrono::steady_clock::time_point start);
// Bytes per second in units of 10^9; 0 when no time was measured.
double BenchGigabytesPerSecond(uint64_t bytes, double seconds);

// splitmix64: fast, and the same sequence on every machine for a seed.
struct BenchRandom
{
    uint64_t state;

    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }
};
