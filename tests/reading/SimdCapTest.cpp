#include "SimdCap.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

TEST(SimdCap, NamesParseToTheirLevelsAndNothingElseParses)
{
    struct Case
    {
        const char* text;
        bool known;
        SimdLevel level;
    };
    const Case cases[] = {
        {"avx512", true, SimdLevel::Avx512}, {"AVX2", true, SimdLevel::Avx2},
        {"sse2", true, SimdLevel::Sse2},     {"Scalar", true, SimdLevel::Scalar},
        {"avx", false, SimdLevel::Scalar},   {"sse", false, SimdLevel::Scalar},
        {"", false, SimdLevel::Scalar},      {"scalar ", false, SimdLevel::Scalar},
        {nullptr, false, SimdLevel::Scalar},
    };
    for (const Case& each : cases)
    {
        SCOPED_TRACE(each.text ? each.text : "(null)");
        SimdLevel level = SimdLevel::Avx512;
        ASSERT_EQ(ParseSimdLevel(each.text, level), each.known);
        if (!each.known)
            continue;
        EXPECT_EQ(level, each.level);
        EXPECT_TRUE(ParseSimdLevel(SimdLevelName(level), level));
        EXPECT_EQ(level, each.level);
    }
}

// The test script runs this suite once per level: the cap it asked for must be the one in force,
// or the narrower paths would silently not run.
TEST(SimdCap, TheCapInForceIsTheOneTheEnvironmentNames)
{
    const char* text = std::getenv("CSVQ_SIMD");
    SimdLevel expected = SimdLevel::Avx512;
    if (text != nullptr && *text != '\0')
    {
        ASSERT_TRUE(ParseSimdLevel(text, expected)) << "CSVQ_SIMD=" << text << " names no level";
    }
    EXPECT_EQ(SimdCap(), expected);
    for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512})
        EXPECT_EQ(SimdAllows(level), static_cast<int>(level) <= static_cast<int>(expected))
            << SimdLevelName(level);
}
