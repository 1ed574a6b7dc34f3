#pragma once

#include <cstdio>
#include <cstdlib>

// A fuzz target's assertion: what a reader promises of its result for any input. A broken
// promise ends the run like a crash, so that the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition);                     \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
