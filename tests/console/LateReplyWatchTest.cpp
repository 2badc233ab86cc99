#include <gtest/gtest.h>

#include "console/run/LateReplyWatch.h"
#include "support/Frames.h"

namespace {

// A scan from address 3 on, with a 19 ms wait: which replies are named late, while which address
// is probed.
TEST(LateReplyWatch, NamesEachPassedAddressOnce) {
    const struct {
        const char* name;
        std::string bytes;
        int probing;
        std::vector<int> late;
    } table[] = {
        {"the address being probed answers in time", reply(5, "VER=1.0\r\n"), 5, {}},
        {"an address already passed", reply(4, "VER=1.0\r\n"), 6, {4}},
        {"named once, whatever follows", reply(4, "VER=1.0\r\n"), 7, {4}},
        {"before the range: not the scan's", reply(2, "VER=1.0\r\n"), 8, {4}},
        {"ahead of the scan: not passed yet", reply(20, "VER=1.0\r\n"), 9, {4}},
        {"two in one chunk", reply(6, "OK") + reply(8, "VER=2\r\n"), 10, {4, 6, 8}},
    };
    LateReplyWatch watch(3, std::chrono::milliseconds(19), 10);
    std::size_t notices = 0;
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        notices += watch.feed(row.bytes, row.probing).size();
        EXPECT_EQ(watch.lateAddresses(), row.late);
        EXPECT_EQ(notices, row.late.size());
    }
    EXPECT_EQ(watch.feed(reply(11, "OK"), 12),
              std::vector<std::string>{
                  "address 11 answered after the 19 ms probe wait and was passed over; raise --probe-ms (now "
                  "10) to find it"});
}

} // namespace
