// A broken promise of the code under test ends the fuzzer, which keeps the input that showed it.
#pragma once

#include <cstdlib>

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
