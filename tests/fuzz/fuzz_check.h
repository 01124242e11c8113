// tests/fuzz/fuzz_check.h -- what every fuzz target shares: the invariant check and the marker
// that keeps a target's own checking code out of the coverage the fuzzer steers by.
#pragma once
#include <cstdlib>

// The checks walk every cell, frame and pixel an input produced. Instrumented for coverage, their
// comparisons cost more than the code under test and feed the fuzzer nothing but noise, so the
// functions that only check are built without coverage (and never inlined into code that has it).
#define FUZZ_CHECKER __attribute__((no_sanitize("coverage"), noinline))

// A broken invariant is a crash the fuzzer records, with the input that caused it. Inlined into
// the checking functions, so it takes their lack of coverage.
inline void check(bool ok)
{
    if (!ok) abort();
}
