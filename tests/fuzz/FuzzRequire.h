#pragma once

#include <cstdlib>

// An invariant a harness checks: a broken one aborts, which libFuzzer reports with the input.
inline void require(bool holds) {
    if (!holds)
        std::abort();
}
