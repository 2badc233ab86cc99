#include "console/run/LateReplyWatch.h"

#include <algorithm>

LateReplyWatch::LateReplyWatch(int firstAddress, std::chrono::milliseconds probeWait, int marginMs)
    : firstAddress(firstAddress), probeWait(probeWait), marginMs(marginMs) {}

std::vector<std::string> LateReplyWatch::feed(const std::string& bytes, int probing) {
    std::vector<std::string> notices;
    for (const int address : spotter.feed(bytes)) {
        const bool passed = address >= firstAddress && address < probing;
        if (!passed || std::ranges::find(late, address) != late.end())
            continue;
        late.push_back(address);
        notices.push_back("address " + std::to_string(address) + " answered after the " +
                          std::to_string(probeWait.count()) + " ms probe wait and was passed over; raise " +
                          "--probe-ms (now " + std::to_string(marginMs) + ") to find it");
    }
    return notices;
}
