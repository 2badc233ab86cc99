#include "ports/win32/PreciseWait.h"

#include <windows.h>

namespace {

LONGLONG counterNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

void waitPrecisely(std::chrono::microseconds span) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    const LONGLONG end = counterNow() + span.count() * frequency.QuadPart / 1000000;
    // Sleep keeps the system's timer period (often 15.6 ms) unless asked for 1 ms; the last 2 ms
    // are left to the counter, as a sleep may end up to a period late.
    const auto coarse = std::chrono::duration_cast<std::chrono::milliseconds>(span).count() - 2;
    if (coarse > 0) {
        timeBeginPeriod(1);
        Sleep(static_cast<DWORD>(coarse));
        timeEndPeriod(1);
    }
    while (counterNow() < end)
        YieldProcessor();
}
