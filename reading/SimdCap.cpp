#include "SimdCap.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace {
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
} // namespace

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

namespace {
struct KernelSupport
{
    bool sse2 = false;
    bool avx2 = false;
    bool avx512Bw = false;
    bool avx512Utf8 = false;
};

KernelSupport AskProcessor()
{
    KernelSupport support;
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    support.sse2 = SimdAllows(SimdLevel::Sse2);
    support.avx2 =
        SimdAllows(SimdLevel::Avx2) && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    support.avx512Bw = SimdAllows(SimdLevel::Avx512) && __builtin_cpu_supports("avx512f") &&
                       __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("bmi2");
    support.avx512Utf8 =
        support.avx512Bw && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2");
#endif
    return support;
}
} // namespace

bool SimdUse(SimdKernel kernel)
{
    static const KernelSupport support = AskProcessor();
    switch (kernel)
    {
    case SimdKernel::Sse2:
        return support.sse2;
    case SimdKernel::Avx2:
        return support.avx2;
    case SimdKernel::Avx512Bw:
        return support.avx512Bw;
    case SimdKernel::Avx512Utf8:
        return support.avx512Utf8;
    }
    return false;
}
