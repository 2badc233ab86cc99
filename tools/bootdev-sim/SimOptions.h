#pragma once

#include "BoardFaults.h"
#include "BoardQuirks.h"
#include "BootGate.h"
#include "LineSession.h"
#include "NetworkEndpoint.h"
#include "ReplyFaults.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct SimOptions {
    std::optional<std::string> linkPath;
    // Pseudo-terminals served at once, each with boards of its own; links and dumps take the
    // line's number (PATH.1 ... PATH.N) when there are several.
    unsigned lines = 1;
    // The line (counted from 1) that alone has the faults; 0: every line.
    unsigned faultyLine = 0;
    std::optional<std::string> devicePath;
    unsigned baud = 115200;
    std::vector<std::uint8_t> addresses{1};
    bool modbusFraming = true;
    std::string deviceVersion = "1.0";
    std::uint32_t flashStart = 0x0800'0000;
    std::uint32_t flashSize = 256 * 1024;
    std::chrono::milliseconds eraseTime{30};
    unsigned endPassAfter = 0;
    unsigned restartAt = 0;
    bool restartOnError = false;
    std::chrono::milliseconds formatEvery{0};
    LineTiming timing;
    FaultSettings faults;
    BoardFaults boardFaults;
    // The device (counted from 1 in the order of --address) that alone has the board faults; 0: all.
    unsigned faultyDevice = 0;
    BoardQuirks quirks;
    std::optional<std::string> dumpPath;
    // The production bench: a network line, a board entered by a reset pulse, an adapter's ways.
    std::optional<ListenAddress> listen;
    BootGate::Line enterOn = BootGate::Line::None;
    bool echo = false;
    bool needGap = false; // host bytes too soon after a reply are lost (TransceiverTurnaround)
    std::chrono::milliseconds latency{0};
    bool verbose = false;
    bool help = false;
    bool showVersion = false; // the emulator's own version
};

class OptionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Throws OptionError with a message for the user on anything it cannot take.
SimOptions parseSimOptions(const std::vector<std::string>& arguments);

std::string simUsage();
