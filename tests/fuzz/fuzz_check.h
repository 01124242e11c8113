// tests/fuzz/fuzz_check.h -- the invariant check every fuzz target uses.
#pragma once
#include <cstdlib>

// A broken invariant is a crash the fuzzer records, with the input that caused it.
inline void check(bool ok)
{
    if (!ok) abort();
}
