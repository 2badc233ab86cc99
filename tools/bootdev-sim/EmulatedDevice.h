#pragma once

#include "BoardFaults.h"
#include "EmulatedFlash.h"
#include "transfer/IntelHexRecord.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One reply text (without its CR LF) and how long after the previous reply of the same request it
// leaves the device: the "OK" that follows "FORMAT" waits for the erase.
struct DeviceReply {
    std::string text;
    std::chrono::milliseconds after{0};
};

struct DeviceSettings {
    std::uint8_t address = 1;
    std::string version = "1.0";
    std::uint32_t flashStart = 0x0800'0000;
    std::uint32_t flashSize = 256 * 1024;
    std::chrono::milliseconds eraseTime{30};
    // A fault: the N-th record of every pass is answered "DOWNLOAD", ending the pass early; 0: off.
    unsigned endPassAfter = 0;
    // Faults of a board that restarts: at its N-th record (0: never), and after each refused record.
    unsigned restartAt = 0;
    bool restartOnError = false;
    // While erasing, "FORMAT" again every so often (0: once).
    std::chrono::milliseconds formatEvery{0};
    BoardFaults timeFaults{};
};

// The bootloader of one board: answers command texts (CR LF already stripped) and keeps its flash.
class EmulatedDevice {
  public:
    explicit EmulatedDevice(const DeviceSettings& settings);

    std::uint8_t address() const { return address_; }
    const EmulatedFlash& flash() const { return flash_; }

    // `at`: when the command arrived, for a board that is deaf while it writes. Nothing comes back
    // for a command it did not hear.
    std::vector<DeviceReply>
    handle(std::string_view command,
           std::chrono::steady_clock::time_point at = std::chrono::steady_clock::time_point{});

    // The reason for the last "ERROR", for the diagnostic log.
    const std::string& lastError() const { return lastError_; }

  private:
    std::vector<DeviceReply> answer(std::string_view command);
    std::vector<DeviceReply> handleAddressChange(std::string_view digits);
    std::vector<DeviceReply> handleRecord(std::string_view digits, bool verifying);
    std::vector<DeviceReply> handleData(const HexRecord& record, bool verifying);
    std::vector<DeviceReply> refuse(std::string reason);
    std::vector<DeviceReply> refuseRecord(std::string reason);
    std::vector<DeviceReply> erase();
    void endPass();

    std::uint8_t address_;
    std::string version_;
    EmulatedFlash flash_;
    std::chrono::milliseconds eraseTime_;
    std::uint32_t addressBase_ = 0;
    bool erasedThisPass_ = false;
    unsigned endPassAfter_;
    unsigned recordsThisPass_ = 0;
    unsigned restartAt_;
    bool restartOnError_;
    std::chrono::milliseconds formatEvery_;
    unsigned recordsSeen_ = 0;
    std::string lastError_;
    BoardFaults timeFaults_;
    std::chrono::steady_clock::time_point deafUntil_{};
};

// Reply keywords that the host acts on; a version text must not carry any of them.
bool holdsReplyKeyword(std::string_view text);
