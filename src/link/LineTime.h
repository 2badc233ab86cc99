#pragma once

#include <chrono>
#include <cstddef>

// The time `bytes` take on a line of `baud` at 10 bits a byte (start, 8 data, stop), rounded up.
std::chrono::microseconds lineTime(std::size_t bytes, int baud);
