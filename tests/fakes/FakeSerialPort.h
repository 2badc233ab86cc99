#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/SerialPortService.h"
#include "support/Bytes.h"

// A scripted serial port: it expects the writes given, in order, and fails on a write that differs
// (both sides in hex) or comes unexpected, and on expected writes still missing when it is destroyed.
// What the device sends is made to arrive by the test, one chunk per poll.
class FakeSerialPort : public SerialPortService {
  public:
    ~FakeSerialPort() override {
        for (const std::string& bytes : expected)
            ADD_FAILURE() << "expected write never came: " << hexBytes(bytes);
    }

    void expectWrite(const std::string& bytes) { expected.push_back(bytes); }
    // Bytes the next poll finds: a reply, noise, a reply of another device, ...
    void arrive(const std::string& bytes) {
        received.push_back(bytes);
        arrivals.push_back(std::nullopt);
    }
    // The same, noted by the port as arrived at `at`, before the poll that reads it.
    void arriveAt(const std::string& bytes, std::chrono::steady_clock::time_point at) {
        received.push_back(bytes);
        arrivals.push_back(at);
    }
    void refuseOpen(const std::string& reason) { openRefusal = reason; }
    // The device is unplugged: every later read and write fails as a lost port does.
    void unplug(const std::string& reason) { ioFailure = reason; }
    // A single read fails without losing the port.
    void failNextRead(const std::string& reason) { readFailure = reason; }
    bool scriptUsedUp() const { return expected.empty(); }

    std::vector<std::string> settings;
    std::vector<std::int16_t> commPorts;
    std::vector<std::string> commPaths;
    std::vector<std::string> written; // every write, one entry per Output
    // The silence asked for just before each write, one entry per write; zero when none.
    std::vector<std::chrono::microseconds> quietBefore;
    int opens = 0;
    int closes = 0;
    bool isOpen = false;
    std::optional<int> baud;            // the line's speed, where bytes cross it in time
    std::function<void()> duringOutput; // what happens while a write is under way

    std::optional<int> wireBaud() const override { return baud; }
    std::optional<std::chrono::steady_clock::time_point> arrivedAt() const override {
        return arrivals.empty() ? std::nullopt : arrivals.front();
    }
    void keepQuiet(std::chrono::microseconds span) override { quietAsked += span; }
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
        if (readFailure) {
            const std::string reason = *readFailure;
            readFailure.reset();
            throw PortError(reason);
        }
        return received.empty() ? 0 : static_cast<int>(received.front().size());
    }
    std::string input() override {
        failIfUnplugged();
        if (received.empty())
            return {};
        std::string chunk = received.front();
        received.pop_front();
        arrivals.pop_front();
        return chunk;
    }
    void output(const std::string& bytes) override {
        failIfUnplugged();
        EXPECT_TRUE(isOpen) << "write to a closed port: " << hexBytes(bytes);
        written.push_back(bytes);
        quietBefore.push_back(quietAsked);
        quietAsked = {};
        if (duringOutput)
            duringOutput();
        ASSERT_FALSE(expected.empty()) << "unexpected write " << hexBytes(bytes);
        EXPECT_EQ(hexBytes(expected.front()), hexBytes(bytes))
            << "expected write (left) differs from the write";
        expected.pop_front();
    }

  private:
    void failIfUnplugged() const {
        if (ioFailure)
            throw PortLostError(*ioFailure);
    }

    std::deque<std::string> expected;
    std::deque<std::string> received;
    std::deque<std::optional<std::chrono::steady_clock::time_point>> arrivals;
    std::optional<std::string> openRefusal;
    std::optional<std::string> ioFailure;
    std::optional<std::string> readFailure;
    std::chrono::microseconds quietAsked{};
};
