// The widest vector instructions that the reading library and the document core may use.
// Every vector path is chosen at run time from what the processor offers; the environment
// variable CSVQ_SIMD lowers that ceiling, so that the narrower paths can be run and tested on a
// machine that has the wider ones:
//   CSVQ_SIMD=avx512   no cap (the default when the variable is unset or empty)
//   CSVQ_SIMD=avx2     AVX2 at most
//   CSVQ_SIMD=sse2     SSE2 at most
//   CSVQ_SIMD=scalar   no vector instructions: the portable loops only
// Any other value is reported once on standard error and ignored. The variable is read once, on
// the first call; every dispatch asks SimdAllows() before it asks the processor.
#pragma once

enum class SimdLevel
{
    Scalar = 0,
    Sse2 = 1,
    Avx2 = 2,
    Avx512 = 3,
};

// The ceiling set by CSVQ_SIMD (SimdLevel::Avx512 when none is set).
SimdLevel SimdCap();

// Whether code of this level may run (the processor must still be asked).
inline bool SimdAllows(SimdLevel level)
{
    return static_cast<int>(level) <= static_cast<int>(SimdCap());
}

// The level named by a CSVQ_SIMD value ("avx512", "avx2", "sse2", "scalar", in any case);
// false for anything else.
bool ParseSimdLevel(const char* text, SimdLevel& level);

// "avx512", "avx2", "sse2" or "scalar".
const char* SimdLevelName(SimdLevel level);
