#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Faults put on purpose into the replies, so that a host's receiver can be tried against them.
// Each "every" counts the device's replies from 1; 0 switches the fault off.
struct FaultSettings {
    unsigned dropEvery = 0;
    unsigned corruptEvery = 0;
    unsigned glueEvery = 0;
    unsigned twiceEvery = 0; // the reply goes out twice, back to back
    unsigned strayEvery = 0;
    unsigned strayBytes = 3;
    // After this many replies the device answers no more and babbles instead (0: never).
    unsigned babbleAfter = 0;
};

// What a babbling device sends, and how often: bytes that begin no frame for any address and
// hold no reply keyword, as a chattering line brings them.
inline constexpr std::string_view kBabble{"\xA5\x5A\xC3\x3C\x00\xFF\x96\x69", 8};
inline constexpr std::chrono::milliseconds kBabbleInterval{200};

struct FaultedReply {
    std::string bytes;
    // Hold this reply back and send it in one write together with the next one.
    bool glue = false;
};

class ReplyFaults {
  public:
    ReplyFaults(FaultSettings settings, bool modbusFraming)
        : settings_(settings), modbusFraming_(modbusFraming) {}

    // The reply as it goes out, or nothing when it is dropped.
    std::optional<FaultedReply> apply(std::string frame);
    // Whether the device has given its last reply and only babbles now.
    bool babbling() const { return settings_.babbleAfter != 0 && replyNumber_ >= settings_.babbleAfter; }

  private:
    // The one byte a corrupted reply has changed: the first letter of its text, turned to the other case,
    // so that in plain framing no keyword survives and in Modbus RTU framing the CRC no longer matches.
    std::size_t corruptedIndex() const { return modbusFraming_ ? 2 : 0; }

    static bool hits(unsigned every, std::uint64_t number) { return every != 0 && number % every == 0; }

    FaultSettings settings_;
    bool modbusFraming_;
    std::uint64_t replyNumber_ = 0;
};
