#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ports/win32/Win32SerialPortService.h"

// The COM port the test driver maps to a pseudo-terminal and plays the far end of. Its requests:
// "S\n" is answered with the line's settings as the far end sees them ("9600 8N1\n"); "E", a
// length (2 bytes, big-endian) and that many bytes are echoed; "P" and a count (2 bytes) are
// answered with that many bytes counting up from 0; "H" hangs the line up for good (the next open
// finds a new one).

namespace {

std::string portName() {
    const char* name = std::getenv("BOOT_TEST_PORT");
    return name ? name : "";
}

// Polls `done` until it holds, for at most 10 s.
bool waitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string request(char command, std::size_t size) {
    return std::string(1, command) + static_cast<char>(size >> 8) + static_cast<char>(size & 0xFF);
}

class Win32Port : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(portName(), "") << "BOOT_TEST_PORT names no port: run through tests/wine/run_under_wine.py";
        port.setCommPath(portName());
    }

    void open(const std::string& settings = "115200,n,8,1") {
        port.setSettings(settings);
        port.setPortOpen(true);
    }
    // Reads until `count` bytes have come.
    std::string receive(std::size_t count) {
        std::string bytes;
        waitFor([&] {
            if (port.inBufferCount() > 0)
                bytes += port.input();
            return bytes.size() >= count;
        });
        return bytes;
    }
    std::string receiveLine() {
        std::string line;
        waitFor([&] {
            if (port.inBufferCount() > 0)
                line += port.input();
            return line.find('\n') != std::string::npos;
        });
        return line;
    }

    // Before the port: its watch may still announce while the port closes.
    std::atomic<int> notices{0};
    Win32SerialPortService port;
};

} // namespace

// The speed and the frame as the far end's line sees them, by each way of naming the port.
TEST_F(Win32Port, OpensIn8N1AtEachSpeed) {
    const std::string number = portName().substr(3);
    const struct {
        std::string settings;
        std::string name;
        std::string seen;
    } table[] = {
        {"115200,n,8,1", portName(), "115200 8N1\n"},
        {"19200,n,8,1", R"(\\.\)" + portName(), "19200 8N1\n"},
        {"9600,n,8,1", "com" + number, "9600 8N1\n"},
        // A pseudo-terminal keeps 8 bits without parity whatever is asked; stop bits it keeps.
        {"9600,n,8,2", portName(), "9600 8N2\n"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name + " " + row.settings);
        port.setCommPath(row.name);
        open(row.settings);
        port.output("S\n");
        EXPECT_EQ(receiveLine(), row.seen);
        port.setPortOpen(false);
    }
    port.setCommPort(static_cast<std::int16_t>(std::stoi(number)));
    open("9600,n,8,1");
    EXPECT_TRUE(port.portOpen());
}

TEST_F(Win32Port, CarriesEveryByteValueBothWaysUnchanged) {
    open();
    std::string all;
    for (int round = 0; round < 4; ++round)
        for (int value = 0; value < 256; ++value)
            all += static_cast<char>(round % 2 ? 255 - value : value);
    port.output(request('E', all.size()) + all);
    EXPECT_EQ(receive(all.size()), all);
}

// Bytes that arrive are announced once until read, and counted before they are read.
TEST_F(Win32Port, AnnouncesAndCountsBytesWaiting) {
    port.setOnArrival([&] { ++notices; });
    open();
    port.output(request('P', 300));
    ASSERT_TRUE(waitFor([&] { return notices > 0; }));
    ASSERT_TRUE(waitFor([&] { return port.inBufferCount() == 300; }));
    EXPECT_EQ(notices, 1);
    std::string expected;
    for (int i = 0; i < 300; ++i)
        expected += static_cast<char>(i);
    EXPECT_EQ(port.input(), expected);
    EXPECT_EQ(port.inBufferCount(), 0); // a look that found nothing, before the next byte came
    // Announced again once looked at. Wine may also wake the watch once more for the bytes just read,
    // so the new byte may be counted a moment after its notice.
    port.output(request('P', 1));
    ASSERT_TRUE(waitFor([&] { return notices >= 2; }));
    ASSERT_TRUE(waitFor([&] { return port.inBufferCount() == 1; }));
    EXPECT_EQ(port.input(), std::string(1, '\0'));
}

TEST_F(Win32Port, ASecondOpenIsRefusedAsInUse) {
    open();
    Win32SerialPortService second;
    second.setCommPath(portName());
    try {
        second.setPortOpen(true);
        ADD_FAILURE() << "opened twice";
    } catch (const PortError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(portName() + ": in use by another program", 0), 0)
            << error.what();
    }
    EXPECT_FALSE(second.portOpen());
    // The first open is untouched by the refusal.
    port.output("S\n");
    EXPECT_EQ(receiveLine(), "115200 8N1\n");
}

TEST_F(Win32Port, RefusesANameThatIsNoPort) {
    port.setCommPath("tcp://127.0.0.1:4000");
    EXPECT_THROW(open(), PortError);
    port.setCommPath("COM250");
    try {
        open();
        ADD_FAILURE() << "COM250 opened";
    } catch (const PortError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("COM250: ", 0), 0) << error.what();
    }
    EXPECT_FALSE(port.portOpen());
}

// The far end gone: announced, and every later use throws PortLostError until the port is closed;
// it then opens again on the line that replaced it.
TEST_F(Win32Port, AFarEndGoneIsALostPort) {
    port.setOnArrival([&] { ++notices; });
    open();
    port.output("H");
    EXPECT_TRUE(waitFor([&] {
        try {
            port.inBufferCount();
            port.input();
            return false;
        } catch (const PortLostError&) {
            return true;
        }
    }));
    EXPECT_GE(notices, 1);
    EXPECT_TRUE(port.portOpen());
    EXPECT_THROW(port.output("S\n"), PortLostError);
    port.setPortOpen(false);
    EXPECT_FALSE(port.portOpen());

    ASSERT_TRUE(waitFor([&] {
        try {
            open();
            return true;
        } catch (const PortError&) {
            return false;
        }
    }));
    port.output("S\n");
    EXPECT_EQ(receiveLine(), "115200 8N1\n");
}
