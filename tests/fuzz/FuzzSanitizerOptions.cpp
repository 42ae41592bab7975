// Sanitizer defaults of every fuzz target (the environment's ASAN_OPTIONS still come first).
// Freed memory is held back 16 MB deep instead of 256 MB: far more than one input frees, so a use
// after free within an input is still caught, while the fuzzers no longer walk a quarter of a
// gigabyte of cold memory (page faults, most of their time) as inputs are run one after another.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=16";
}

// Undefined behaviour is a finding like any other: the run stops at the first report, with the
// stack that led there (the code is built with -fno-sanitize-recover as well; this covers a
// check built without it).
extern "C" const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}
