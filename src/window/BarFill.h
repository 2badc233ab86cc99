#pragma once

#include <algorithm>
#include <cstdint>

// Width in pixels of the bar's filled part inside an edge of `inner` pixels: the value's share of
// the maximum, full for a value at or above a maximum of 0 or less, empty for a value of 0 or below.
constexpr int barFilledWidth(int inner, int value, int maximum) {
    inner = std::max(0, inner);
    if (value <= 0)
        return 0;
    if (maximum <= 0 || value >= maximum)
        return inner;
    return int(std::int64_t(inner) * value / maximum);
}
