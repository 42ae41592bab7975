#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRegistry.h"

namespace {
std::vector<const BenchCommand*>& Commands()
{
    static std::vector<const BenchCommand*> commands;
    return commands;
}
} // namespace

BenchCommand::BenchCommand(const char* n, const char* u, Fn f)
    : name(n)
    , usage(u)
    , fn(f)
{
    Commands().push_back(this);
}

long long BenchPeakRssBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
    {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atoll(line.c_str() + 6) * 1024;
    }
    return -1;
}

long long BenchParseSize(const std::string& text)
{
    if (text.empty())
        return -1;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || value < 0)
        return -1;
    long long scale = 1;
    if (*end == 'K' || *end == 'k')
        scale = 1LL << 10, ++end;
    else if (*end == 'M' || *end == 'm')
        scale = 1LL << 20, ++end;
    else if (*end == 'G' || *end == 'g')
        scale = 1LL << 30, ++end;
    if (*end != '\0')
        return -1;
    return value * scale;
}

std::string BenchJsonString(const std::string& text)
{
    std::string json = "\"";
    for (unsigned char c : text)
    {
        if (c == '"' || c == '\\')
        {
            json.push_back('\\');
            json.push_back(static_cast<char>(c));
        }
        else if (c < 0x20)
        {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            json += escape;
        }
        else
        {
            json.push_back(static_cast<char>(c));
        }
    }
    return json + "\"";
}

double BenchSecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double BenchGigabytesPerSecond(uint64_t bytes, double seconds)
{
    return seconds > 0 ? static_cast<double>(bytes) / seconds / 1e9 : 0.0;
}

int main(int argc, char** argv)
{
    if (argc >= 2)
    {
        for (const BenchCommand* command : Commands())
        {
            if (std::strcmp(command->name, argv[1]) == 0)
                return command->fn(std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "usage:\n");
    for (const BenchCommand* command : Commands())
        std::fprintf(stderr, "  csvq-bench %s %s\n", command->name, command->usage);
    return 2;
}
