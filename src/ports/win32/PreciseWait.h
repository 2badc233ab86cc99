#pragma once

#include <chrono>

// Returns once `span` has passed, to within a few microseconds: the coarse part asleep, the last
// millisecond or two on the performance counter.
void waitPrecisely(std::chrono::microseconds span);
