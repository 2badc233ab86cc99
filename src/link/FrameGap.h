#pragma once

#include <algorithm>
#include <chrono>

// The silence kept on the line between the last byte received and the next frame sent: 3.5
// characters, and never less than 1.75 ms (the figure for any speed above 19200 baud). An RS-485
// board turns its transceiver round after it answers, and bytes sent meanwhile never reach it.
// Ten bits a byte, as the line is set up (start, eight data, stop).
inline std::chrono::microseconds frameGap(int baud) {
    constexpr std::chrono::microseconds kShortestGap{1750};
    if (baud <= 0)
        return kShortestGap;
    return std::max(kShortestGap, std::chrono::microseconds(35LL * 1000000 / baud));
}
