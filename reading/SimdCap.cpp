#include "SimdCap.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace
{
struct NamedLevel
{
    const char* name;
    SimdLevel level;
};

constexpr NamedLevel kLevels[] = {
    {"avx512", SimdLevel::Avx512},
    {"avx2", SimdLevel::Avx2},
    {"sse2", SimdLevel::Sse2},
    {"scalar", SimdLevel::Scalar},
};

SimdLevel ReadCap()
{
    const char* text = std::getenv("CSVQ_SIMD");
    if (text == nullptr || *text == '\0')
        return SimdLevel::Avx512;
    SimdLevel level;
    if (ParseSimdLevel(text, level))
        return level;
    std::fprintf(stderr, "CSVQ_SIMD=%s is not one of avx512, avx2, sse2, scalar; it is ignored\n", text);
    return SimdLevel::Avx512;
}
}

SimdLevel SimdCap()
{
    static const SimdLevel cap = ReadCap();
    return cap;
}

bool ParseSimdLevel(const char* text, SimdLevel& level)
{
    if (text == nullptr)
        return false;
    for (const NamedLevel& each : kLevels)
    {
        if (strcasecmp(text, each.name) == 0)
        {
            level = each.level;
            return true;
        }
    }
    return false;
}

const char* SimdLevelName(SimdLevel level)
{
    for (const NamedLevel& each : kLevels)
    {
        if (each.level == level)
            return each.name;
    }
    return "avx512";
}
