// The fuzz targets' one way to fail: a line naming the broken invariant,
// then abort, which libFuzzer records as a finding with its input.
#ifndef CVMODULE_FUZZ_INVARIANT_H
#define CVMODULE_FUZZ_INVARIANT_H

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char* what)
{
    if (!holds) {
        fail(what);
    }
}

#endif
