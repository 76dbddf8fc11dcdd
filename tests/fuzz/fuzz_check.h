// What a fuzzer checks on every input. Release builds drop assert(), so the
// fuzzers say what broke themselves and abort: libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: FUZZ_CHECK failed: %s\n", __FILE__, __LINE__, \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (0)
