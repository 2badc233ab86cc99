#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/SerialPortService.h"

// Bytes as hexadecimal pairs ("01 42 4F"), for failure messages.
inline std::string hexBytes(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

// A scripted serial port. The script is a sequence of expected writes, each followed by the replies
// the device sends to it; a reply is served as one chunk at the next polls, one chunk per poll.
// A write that differs from the script fails with both sides in hex; a script not used up fails when
// the port is destroyed. Bytes can also be made to arrive outside the script.
class FakeSerialPort : public SerialPortService {
  public:
    ~FakeSerialPort() override {
        for (const Step& step : script)
            ADD_FAILURE() << "script not used up: " << (step.isWrite ? "expected write " : "reply ")
                          << hexBytes(step.bytes);
    }

    void expectWrite(const std::string& bytes) { script.push_back({true, bytes}); }
    // The device's answer to the write scripted just before; several calls make several chunks.
    void reply(const std::string& bytes) { script.push_back({false, bytes}); }
    // Bytes the next poll finds, outside the script (noise, a reply of another device, ...).
    void arrive(const std::string& bytes) { received.push_back(bytes); }
    void refuseOpen(const std::string& reason) { openRefusal = reason; }
    // The device is unplugged: every later read and write fails.
    void unplug(const std::string& reason) { ioFailure = reason; }
    bool scriptUsedUp() const { return script.empty(); }

    std::vector<std::string> settings;
    std::vector<std::int16_t> commPorts;
    std::vector<std::string> commPaths;
    std::vector<std::string> written; // every write, one entry per Output
    int opens = 0;
    int closes = 0;
    bool isOpen = false;

    void setSettings(const std::string& s) override { settings.push_back(s); }
    void setCommPort(std::int16_t number) override { commPorts.push_back(number); }
    void setCommPath(const std::string& path) override { commPaths.push_back(path); }
    void setPortOpen(bool open) override {
        if (open && openRefusal)
            throw PortError(*openRefusal);
        ++(open ? opens : closes);
        isOpen = open;
    }
    bool portOpen() const override { return isOpen; }
    int inBufferCount() override {
        failIfUnplugged();
        return received.empty() ? 0 : static_cast<int>(received.front().size());
    }
    std::string input() override {
        failIfUnplugged();
        if (received.empty())
            return {};
        std::string chunk = received.front();
        received.pop_front();
        return chunk;
    }
    void output(const std::string& bytes) override {
        failIfUnplugged();
        EXPECT_TRUE(isOpen) << "write to a closed port: " << hexBytes(bytes);
        written.push_back(bytes);
        if (script.empty() || !script.front().isWrite) {
            ADD_FAILURE() << "unexpected write " << hexBytes(bytes);
            return;
        }
        EXPECT_EQ(hexBytes(script.front().bytes), hexBytes(bytes))
            << "expected write (left) differs from the write";
        script.pop_front();
        for (; !script.empty() && !script.front().isWrite; script.pop_front())
            received.push_back(script.front().bytes);
    }

  private:
    void failIfUnplugged() const {
        if (ioFailure)
            throw PortError(*ioFailure);
    }

    struct Step {
        bool isWrite;
        std::string bytes;
    };
    std::deque<Step> script;
    std::deque<std::string> received;
    std::optional<std::string> openRefusal;
    std::optional<std::string> ioFailure;
};
