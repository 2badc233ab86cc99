#include "EmulatedDevice.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A reply as "TEXT" or "TEXT+MS", MS being how long after the reply before it it leaves.
std::vector<std::string> timed(const std::vector<DeviceReply>& replies) {
    std::vector<std::string> texts;
    for (const DeviceReply& reply : replies)
        texts.push_back(reply.text +
                        (reply.after.count() > 0 ? "+" + std::to_string(reply.after.count()) : ""));
    return texts;
}

const std::string kBase = "BOOT:020000040800F2";
const std::string kFirst = "BOOT:10000000000102030405060708090A0B0C0D0E0F78";
const std::string kSecond = "BOOT:04001000DEADBEEFB4";

struct Step {
    std::string command;
    std::chrono::milliseconds at; // when the command arrives
    std::vector<std::string> replies;
};

} // namespace

// Each board fault as a board's answers in time: what comes back, how late, and what is not heard.
TEST(BoardFaults, AnswerLateTwiceOrAfterARefusalAsAsked) {
    const struct {
        const char* name;
        BoardFaults faults;
        std::vector<Step> steps;
        std::uint8_t written; // the flash at 0x08000010 after the steps
    } rows[] = {
        {"a slow probe answer, and nothing else late",
         {.probeDelay = 350ms},
         {{"BOOTi", 0ms, {"VER=1.0+350"}}, {"VER", 1ms, {"VER=1.0"}}, {kBase, 2ms, {"OK"}}},
         0xFF},
        {"an acknowledgement on receipt, deaf while writing",
         {.ackTwice = 3ms},
         {{kBase, 0ms, {"OK", "OK+3"}},
          {kFirst, 2ms, {}},
          {kFirst, 3ms, {"OK", "FORMAT+3", "OK+30"}},
          {kSecond, 6ms, {"OK", "OK+3"}},
          {"BOOTi", 9ms, {"VER=1.0"}}},
         0xDE},
        {"a record refused once, ending the pass",
         {.refuseRecord = 3},
         {{kBase, 0ms, {"OK"}},
          {kFirst, 0ms, {"FORMAT", "OK+30"}},
          {kSecond, 0ms, {"ERROR"}},
          {kSecond, 0ms, {"ERROR"}}, // no address record in this pass: outside the flash
          {kBase, 0ms, {"OK"}},
          {kSecond, 0ms, {"FORMAT", "OK+30"}}},
         0xDE},
        {"a refusal answered by preparing the record's place again",
         {.refuseRecord = 3, .eraseAfterRefusal = 10000ms},
         {{kBase, 0ms, {"OK"}},
          {kFirst, 0ms, {"FORMAT", "OK+30"}},
          {kSecond, 0ms, {"ERROR", "FORMAT", "OK+10000"}},
          {kSecond, 0ms, {"OK"}}},
         0xDE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EmulatedDevice device{
            DeviceSettings{1, "1.0", 0x0800'0000, 0x2'0000, 30ms, 0, 0, false, 0ms, row.faults}};
        const std::chrono::steady_clock::time_point start{1h};
        for (const Step& step : row.steps)
            EXPECT_EQ(timed(device.handle(step.command, start + step.at)), step.replies)
                << step.command << " at " << step.at.count() << " ms";
        EXPECT_EQ(device.flash().bytes().at(0x10), row.written);
    }
}
