// The widest vector instructions that the reading library and the document core may use.
// Every vector path is chosen at run time from what the processor offers; the environment
// variable CSVQ_SIMD lowers that ceiling, so that the narrower paths can be run and tested on a
// machine that has the wider ones:
//   CSVQ_SIMD=avx512   no cap (the default when the variable is unset or empty)
//   CSVQ_SIMD=avx2     AVX2 at most
//   CSVQ_SIMD=sse2     SSE2 at most
//   CSVQ_SIMD=scalar   no vector instructions: the portable loops only
// Any other value is reported once on standard error and ignored. The variable is read once, on
// the first call. SimdUse() is the one place that asks the processor: every dispatch asks it.
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

// The instruction sets a vector path needs. Each kernel is used only when SimdUse() says so.
enum class SimdKernel
{
    Sse2,       // SSE2 (every x86-64 processor)
    Avx2,       // AVX2 and POPCNT
    Avx512Bw,   // AVX-512 F and BW, with BMI2
    Avx512Utf8, // AVX-512 F, BW, VL and VBMI2, with BMI2 (the UTF-8 decoder's compress)
};

// Whether the kernel may run here: the processor has its instructions and the ceiling allows
// its level. Asked of the processor once; the answer never changes within a process.
bool SimdUse(SimdKernel kernel);
