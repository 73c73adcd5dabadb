#pragma once

#include <cstdio>

// A failed check is a finding: the fuzzer keeps the input that made it and stops.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);    \
            __builtin_trap();                                                                     \
        }                                                                                         \
    } while (false)
