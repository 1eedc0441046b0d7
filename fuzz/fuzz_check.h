#pragma once
// A failed property stops the harness with a message, so libFuzzer keeps the input and
// the corpus replay fails loudly in any build type (assert() would vanish with NDEBUG).
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                           \
    ((cond) ? void()                                                                               \
            : (std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond),    \
               std::abort()))
