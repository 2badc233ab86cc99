#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "link/ReplyFrames.h"
#include "link/ReplyReceiver.h"

using Receiver = DeviceOneTest;

// Each case feeds chunks one per tick; after each tick Text8 shows `shown` and `kept` waits in
// the buffer.
TEST_F(Receiver, FramingErrorsAndRecovery) {
    struct Tick {
        std::string chunk, shown, kept;
    };
    const std::string ready = reply(1, "READY"); // its bytes are a CRC vector of the link tests
    const std::string otherAddress = reply(2, "READY");
    const std::string otherFunction = bytes({0x01}) + "CREADY" + bytes({0x00, 0x00});
    const std::string longest = reply(1, std::string(kMaxReplyLength - 4, 'x'));
    const std::string tooLong = reply(1, std::string(kMaxReplyLength - 3, 'y'));
    std::string corrupted = ready;
    corrupted[3] ^= 0x01;
    const struct {
        const char* name;
        std::vector<Tick> ticks;
    } cases[] = {
        {"whole reply in one tick", {{ready, "READY", ""}}},
        {"split over ticks", {{ready.substr(0, 3), "", ready.substr(0, 3)}, {ready.substr(3), "READY", ""}}},
        {"shortest reply", {{bytes({0x01, 0x42, 0x4F, 0x4B, 0xD5, 0xCB}), "OK", ""}}},
        {"five bytes are no reply", {{reply(1, "X"), "", reply(1, "X")}, {ready, "READY", ""}}},
        {"wrong address", {{otherAddress, "Error ADDR  >> " + otherAddress, ""}, {ready, "READY", ""}}},
        {"wrong function byte",
         {{otherFunction, "Error CMD  >> " + otherFunction, ""}, {ready, "READY", ""}}},
        {"error shows this tick's chunk only",
         {{"\7\7\7", "", "\7\7\7"}, {"\7\7\7\7", "Error ADDR  >> \7\7\7\7", ""}}},
        {"corrupted then good", {{corrupted, "", corrupted}, {reply(1, "GOOD"), "GOOD", ""}}},
        {"other address then ours", {{reply(2, "VER=9") + ready, "READY", ""}}},
        {"ours then one cut off",
         {{reply(1, "DONE") + ready.substr(0, 4), "DONE", ready.substr(0, 4)},
          {ready.substr(4), "READY", ""}}},
        // Noise fills the first read up to the reply's address byte; its "B" comes in the next read.
        {"address byte ends a read",
         {{"\7\7\7\7\7" + ready.substr(0, 1), "Error ADDR  >> \7\7\7\7\7" + ready.substr(0, 1),
           ready.substr(0, 1)},
          {ready.substr(1), "READY", ""}}},
        {"longest reply", {{longest, longest.substr(2, kMaxReplyLength - 4), ""}}},
        {"one byte longer is no reply", {{tooLong, "", ""}, {ready, "READY", ""}}},
        {"address byte ends a read behind a wrong function byte",
         {{bytes({0x01, 0x43, 0x07, 0x07, 0x07, 0x01}),
           "Error CMD  >> " + bytes({0x01, 0x43, 0x07, 0x07, 0x07, 0x01}), ready.substr(0, 1)},
          {ready.substr(1), "READY", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow w;
        w.view.text1 = "1";
        for (const Tick& t : c.ticks) {
            w.port.arrive(t.chunk);
            w.form.TMRComm_Timer();
            EXPECT_EQ(hexBytes(w.view.text8), hexBytes(t.shown));
            EXPECT_EQ(hexBytes(w.form.Receiver.frameBytes()), hexBytes(t.kept));
        }
    }
}

namespace {

// Feeds `chunks`, one per tick, to a receiver at `address`, then ticks on until it holds no
// frame back; returns the texts shown, in order.
std::vector<std::string> receive(FakeWindow& w, int address, const std::vector<std::string>& chunks) {
    w.view.text1 = std::to_string(address);
    std::vector<std::string> shown;
    w.view.onText8 = [&shown](const std::string& text) { shown.push_back(text); };
    for (const std::string& chunk : chunks) {
        w.port.arrive(chunk);
        w.form.TMRComm_Timer();
    }
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (w.form.Receiver.holdingFrame() && std::chrono::steady_clock::now() < bound)
        w.form.TMRComm_Timer();
    w.view.onText8 = nullptr;
    return shown;
}

} // namespace

// From every address, texts that each hold a part followed by its own CRC (as "VER=2.62" from
// address 1 does), with and without a line end: each reply comes over whole, alone in a read,
// glued to the next, glued to the next one's address and "B" when the line then goes quiet,
// glued to another board's reply, and followed by noise when its text ends in CR LF; no byte is
// left over or shown as an error. Split in two reads at every byte, it comes over whole too: the
// window's receiver, polled every 20 ms, hands a frame over at once when nothing follows it, so a
// split right behind a chance part still cuts it there; a receiver that may hold a frame back
// (the flasher's) waits for more bytes behind a frame whose text lacks its line end.
TEST(ReplyFrameEnds, EveryReplyComesWholeFromEveryAddress) {
    std::mt19937 random(2026);
    // Letters of device replies; a "B" after a chance match would begin another frame.
    const std::string letters = "ACDEFGHIJKLMNOPQRSTUVWXYZ0123456789=.";
    const auto randomText = [&](std::size_t least, std::size_t most) {
        std::string text(std::uniform_int_distribution<std::size_t>(least, most)(random), ' ');
        for (char& letter : text)
            letter = letters[std::uniform_int_distribution<std::size_t>(0, letters.size() - 1)(random)];
        return text;
    };
    for (int address = 1; address <= 255; ++address) {
        std::vector<std::string> texts;
        for (int i = 0; i < 16; ++i) {
            const std::string front = randomText(2, 12);
            texts.push_back(front + CRC16(bytes({address}) + "B" + front) + randomText(0, 12) +
                            (i % 2 == 0 ? "\r\n" : ""));
        }
        FakeWindow w;
        for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
            SCOPED_TRACE("address " + std::to_string(address) + ", text " + std::to_string(i));
            const std::string frame = reply(address, texts[i]);
            const std::string next = reply(address, texts[i + 1]);
            ASSERT_EQ(receive(w, address, {frame}), std::vector{texts[i]});
            ASSERT_EQ(receive(w, address, {frame + next}), (std::vector{texts[i], texts[i + 1]}));
            ASSERT_EQ(receive(w, address, {frame + next.substr(0, 2)}), std::vector{texts[i]});
            ASSERT_EQ(receive(w, address, {next.substr(2)}), std::vector{texts[i + 1]});
            ASSERT_EQ(w.form.Receiver.frameBytes(), "");
            if (i % 2 == 0) {
                ASSERT_EQ(receive(w, address, {frame + "\x07"}), std::vector{texts[i]});
                ASSERT_EQ(w.form.Receiver.frameBytes(), "\x07");
                w.form.Receiver.clear();
            }
            const std::string chunk = frame + reply(address % 255 + 1, texts[i + 1]);
            ASSERT_EQ(receive(w, address, {chunk}),
                      (std::vector<std::string>{texts[i], "Error ADDR  >> " + chunk}));
            w.form.Receiver.clear(); // what the other board's frame leaves behind is not at issue here
        }
        const std::string frame = reply(address, texts[1]);
        for (const bool holds : {false, true}) {
            if (holds && address % 16 != 1)
                continue; // the flasher's hold waits a millisecond each time: a sample will do
            FakeWindow split;
            split.form.Receiver.heldFrameWait = std::chrono::milliseconds(holds ? 1 : 0);
            for (std::size_t at = 1; at < frame.size(); ++at) {
                if (!holds && crc16Update(kCrc16Init, frame.substr(0, at)) == 0)
                    continue;
                ASSERT_EQ(receive(split, address, {frame.substr(0, at), frame.substr(at)}),
                          std::vector{texts[1]})
                    << "address " << address << ", split at " << at << (holds ? ", held" : "");
            }
        }
    }
}

// A line that never goes quiet: a held reply is taken once no later byte can belong to it.
TEST_F(Receiver, AHeldReplyIsTakenOnceNoByteCanLengthenIt) {
    form.Receiver.heldFrameWait = std::chrono::hours(1);
    std::vector<std::string> shown;
    view.onText8 = [&shown](const std::string& text) { shown.push_back(text); };
    tick(reply(1, "READY"));
    EXPECT_TRUE(form.Receiver.holdingFrame());
    const std::string noise(kMaxReplyLength, '\x07');
    tick(noise);
    EXPECT_EQ(shown, (std::vector<std::string>{"READY", "Error ADDR  >> " + noise}));
}

// Noise never grows the buffer past what can still begin a reply, and the reply after it is taken.
TEST_F(Receiver, NoiseIsBoundedAndForgotten) {
    tick(bytes({0x01, 0x42}));
    for (int i = 0; i < 60; ++i) {
        tick(std::string(100, 'x'));
        ASSERT_LT(form.Receiver.frameBytes().size(), kMaxReplyLength);
    }
    tick(reply(1, "READY"));
    EXPECT_EQ(view.text8, "READY");
}

// Noise that keeps looking like the start of a reply: each start is followed for one reply length
// at most, so the search does work in proportion to the buffer, never to its square.
TEST(ReplySearch, WorkOnHostileNoiseIsLinearInTheBuffer) {
    const std::size_t size = 4096;
    const struct {
        const char* name;
        std::uint8_t address;
        std::string pattern;
    } noises[] = {
        {"address and B over and over", 1, bytes({0x01, 0x42})},
        {"address, B and one byte", 1, bytes({0x01, 0x42, 0x00})},
        {"address alone", 1, bytes({0x01})},
        {"address and another byte", 1, bytes({0x01, 0x43})},
        {"a reply with its CRC bytes swapped", 1, request(1, "BOK").substr(0, 4) + bytes({0xCB, 0xD5})},
        // At address 0x42 the address byte is a "B" itself: a frame may start at every byte.
        {"B at address B", 0x42, "B"},
        {"B and another byte at address B", 0x42, "BB\x07"},
    };
    for (const auto& noise : noises) {
        SCOPED_TRACE(noise.name);
        std::string buffer;
        while (buffer.size() < size)
            buffer += noise.pattern;
        const ReplyScan scan = scanReplyBuffer(buffer, noise.address);
        EXPECT_NE(scan.outcome, ReplyScan::Outcome::Frame);
        EXPECT_LE(scan.examined, replySearchWorkBound(buffer.size()));
        // Starts too far back to begin a reply still arriving are given up.
        EXPECT_LT(buffer.size() - scan.discard, kMaxReplyLength);
    }
}

// In plain mode replies are cut at each CR LF; a reply without one is taken once the line has been
// quiet for a while. Each case lists the chunk of every tick ("" for ticks without bytes until the
// line counts as quiet) and the replies handed over by then, in the answer box's order.
TEST_F(Receiver, PlainModeGathersRepliesAtLineEnds) {
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> handedOver;
        std::string waiting;
    } cases[] = {
        {"one reply", {"READY\r\n"}, {"READY\r\n"}, ""},
        {"two replies in one read", {"FORMAT\r\nOK\r\n"}, {"FORMAT\r\n", "OK\r\n"}, ""},
        {"one reply in two reads", {"O", "K\r\n"}, {"OK\r\n"}, ""},
        {"split at the line end", {"OK\r", "\n"}, {"OK\r\n"}, ""},
        {"a reply and the start of the next", {"OK\r\nVE", "R=1\r\n"}, {"OK\r\n", "VER=1\r\n"}, ""},
        {"no line end: taken once quiet", {"REA", "DY", ""}, {"READY"}, ""},
        {"no line end, still arriving", {"REA", "DY"}, {}, "READY"},
        {"a line too long for a reply",
         {std::string(kMaxReplyLength + 5, 'z')},
         {std::string(kMaxReplyLength, 'z')},
         "zzzzz"},
        {"a line end past the bound",
         {std::string(300, 'x') + "\r\n"},
         {std::string(kMaxReplyLength, 'x'), std::string(300 - kMaxReplyLength, 'x') + "\r\n"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow w;
        w.view.check1 = false;
        // A frame begun before the switch is dropped.
        w.form.Receiver.take("stale", true, 1, 0, std::chrono::steady_clock::now());
        std::vector<std::string> shown;
        w.view.onText8 = [&](const std::string& text) { shown.push_back(text); };
        for (const std::string& chunk : c.chunks) {
            if (!chunk.empty()) {
                w.port.arrive(chunk);
                w.form.TMRComm_Timer();
                continue;
            }
            const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!w.form.Receiver.lineBytes().empty() && std::chrono::steady_clock::now() < bound)
                w.form.TMRComm_Timer();
        }
        EXPECT_EQ(shown, c.handedOver);
        EXPECT_EQ(w.form.Receiver.lineBytes(), c.waiting);
        EXPECT_EQ(w.form.Receiver.frameBytes(), "");
    }
}

// At a poll shorter than a byte's time, a tick between two bytes of one reply finds nothing new;
// the reply must not be cut there.
TEST_F(Receiver, PlainModeWaitsThroughATickBetweenTwoBytes) {
    view.check1 = false;
    form.TMRComm_Timer();
    tick("V");
    form.TMRComm_Timer();
    EXPECT_EQ(view.text8, "");
    tick("ER=1\r\n");
    EXPECT_EQ(view.text8, "VER=1\r\n");
}

// Every tenth tick turns the indicator white, or grey when it is white; a receipt turns it red.
TEST(ReceiverIndicator, IdleIndicatorBlinksEveryTenTicks) {
    FakeWindow w;
    FakeFormView& view = w.view;
    frmSerial& form = w.form;
    for (const auto& [ticks, colour] :
         {std::pair{9, colours::Yellow}, {1, colours::White}, {10, colours::Grey}}) {
        for (int i = 0; i < ticks; ++i)
            form.TMRComm_Timer();
        EXPECT_EQ(view.picColor, colour) << ticks;
    }
    w.port.arrive(bytes({0x01}));
    form.TMRComm_Timer();
    EXPECT_EQ(view.picColor, colours::Red);
    for (int i = 0; i < 9; ++i)
        form.TMRComm_Timer();
    EXPECT_EQ(view.picColor, colours::White);
    EXPECT_EQ(form.RxString, "");
}

TEST_F(Receiver, FailuresEndTheTickQuietly) {
    view.text1 = "300";
    EXPECT_NO_THROW(tick(reply(1, "READY")));
    EXPECT_EQ(view.text8, "");
    view.text1 = "1";
    port.failNextRead("read failed once");
    EXPECT_NO_THROW(form.TMRComm_Timer());
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(port.isOpen);
    tick(reply(1, "READY"));
    EXPECT_EQ(view.text8, "READY");
}

// Bytes gathered in one framing are never taken in the other: a line begun in plain mode, and a
// frame held back for the line's quiet in Modbus RTU mode, are dropped by the switch.
TEST(ReceiverFraming, WhatOneFramingGatheredIsNeverTakenInTheOther) {
    const auto start = std::chrono::steady_clock::now();
    const auto later = start + std::chrono::seconds(1);
    ReplyReceiver line;
    EXPECT_TRUE(line.take("READY", false, 1, 0, start).empty());
    EXPECT_TRUE(line.quiet(true, 1, later).empty());
    EXPECT_TRUE(line.quiet(false, 1, later).empty());

    ReplyReceiver frame;
    frame.heldFrameWait = std::chrono::milliseconds(1);
    EXPECT_TRUE(frame.take(reply(1, "READY"), true, 1, 0, start).empty());
    ASSERT_TRUE(frame.holdingFrame());
    EXPECT_TRUE(frame.quiet(false, 1, later).empty());
    EXPECT_TRUE(frame.quiet(true, 1, later).empty());
}
