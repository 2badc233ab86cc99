// The emulator's bench hardware: the device server's Telnet answers, the board's reset wiring and
// the adapter's latency timer.
#include "BootGate.h"
#include "LatencyTimer.h"
#include "SimBytes.h"
#include "TelnetServer.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(TelnetServer, AnswersAsASerialDeviceServerDoes) {
    const struct {
        const char* name;
        std::string fromClient;
        std::string answers;
        std::string data;
        bool dtr, rts;
    } table[] = {
        {"the client's offers agreed once",
         bytes({0xFF, 0xFB, 44, 0xFF, 0xFB, 0, 0xFF, 0xFD, 0, 0xFF, 0xFB, 44}),
         bytes({0xFF, 0xFD, 44, 0xFF, 0xFD, 0, 0xFF, 0xFB, 0}), "", true, true},
        {"an unknown option refused", bytes({0xFF, 0xFD, 24, 0xFF, 0xFB, 31}),
         bytes({0xFF, 0xFC, 24, 0xFF, 0xFE, 31}), "", true, true},
        {"speed set and confirmed",
         bytes({0xFF, 0xFA, 44, 1, 0x00, 0x00, 0x25, 0x80, 0xFF, 0xF0}),
         bytes({0xFF, 0xFA, 44, 101, 0x00, 0x00, 0x25, 0x80, 0xFF, 0xF0}), "", true, true},
        {"DTR off, then RTS off",
         bytes({0xFF, 0xFA, 44, 5, 9, 0xFF, 0xF0, 0xFF, 0xFA, 44, 5, 12, 0xFF, 0xF0}),
         bytes({0xFF, 0xFA, 44, 105, 9, 0xFF, 0xF0, 0xFF, 0xFA, 44, 105, 12, 0xFF, 0xF0}), "", false,
         false},
        {"DTR asked for", bytes({0xFF, 0xFA, 44, 5, 7, 0xFF, 0xF0}),
         bytes({0xFF, 0xFA, 44, 105, 8, 0xFF, 0xF0}), "", true, true},
        {"data between commands, 0xFF doubled", bytes({'A', 0xFF, 0xFF, 0xFF, 0xF1, 'B'}), "",
         bytes({'A', 0xFF, 'B'}), true, true},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        TelnetServer server;
        // Byte by byte: a command split across reads is completed by the next.
        std::string data;
        for (const char byte : row.fromClient)
            data += server.receive(std::string(1, byte));
        EXPECT_EQ(hexBytes(server.takeReplies()), hexBytes(row.answers));
        EXPECT_EQ(hexBytes(data), hexBytes(row.data));
        EXPECT_EQ(server.dtr(), row.dtr);
        EXPECT_EQ(server.rts(), row.rts);
    }
    EXPECT_EQ(hexBytes(TelnetServer::encode(bytes({1, 0xFF, 2}))), "01 FF FF 02");
}

TEST(BootGate, TheBootloaderListensFromTheEndOfAPulseForAWhileKeptByRequests) {
    using Clock = BootGate::Clock;
    const Clock::time_point t0{};
    struct Step {
        std::chrono::milliseconds at;
        int dtr, rts; // -1: no change of lines at this step, only a request
        bool takes;
    };
    const struct {
        const char* name;
        BootGate::Line line;
        std::vector<Step> steps;
    } table[] = {
        {"no wiring: always", BootGate::Line::None, {{0ms, -1, -1, true}, {9000ms, -1, -1, true}}},
        {"silent before a pulse", BootGate::Line::Dtr, {{0ms, 1, 1, false}, {0ms, -1, -1, false}}},
        {"pulse on DTR",
         BootGate::Line::Dtr,
         {{0ms, 1, 1, false}, {100ms, 0, 1, false}, {150ms, -1, -1, true}, {3000ms, -1, -1, true},
          {5900ms, -1, -1, true}, {9000ms, -1, -1, false}}},
        {"held in reset", BootGate::Line::Dtr, {{0ms, 1, 1, false}, {100ms, 0, 1, false}, {200ms, 1, 1, false},
                                                {300ms, -1, -1, false}}},
        {"the other line does nothing",
         BootGate::Line::Rts,
         {{0ms, 1, 1, false}, {100ms, 0, 1, false}, {150ms, -1, -1, false}}},
        {"the window runs out", BootGate::Line::Rts, {{0ms, 1, 1, false}, {100ms, 1, 0, false},
                                                      {3101ms, -1, -1, false}}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        BootGate gate(row.line);
        for (const Step& step : row.steps) {
            if (step.dtr >= 0)
                gate.linesSet(step.dtr == 1, step.rts == 1, t0 + step.at);
            else
                EXPECT_EQ(gate.takes(t0 + step.at), step.takes) << step.at.count() << " ms";
        }
    }
}

TEST(LatencyTimer, BytesLeaveTogetherWhenTheTimerFires) {
    const LatencyTimer::Clock::time_point start{};
    LatencyTimer timer(16ms, start);
    EXPECT_FALSE(timer.nextRelease());
    timer.hold("ab", start + 3ms);
    timer.hold("c", start + 15ms);
    EXPECT_EQ(timer.nextRelease(), start + 16ms);
    EXPECT_EQ(timer.release(start + 15ms), "");
    EXPECT_EQ(timer.release(start + 16ms), "abc");
    timer.hold("d", start + 16ms);
    EXPECT_EQ(timer.nextRelease(), start + 32ms) << "a byte held at a tick waits for the next";

    LatencyTimer none(0ms, start);
    none.hold("e", start + 5ms);
    EXPECT_EQ(none.release(start + 5ms), "e");
}
