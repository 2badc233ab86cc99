#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "link/ReplyFrames.h"

using Receiver = DeviceOneTest;

// Each case feeds chunks one per tick; after each tick Text8 shows `shown` and `kept` waits in
// the buffer.
TEST_F(Receiver, FramingErrorsAndRecovery) {
    struct Tick {
        std::string chunk, shown, kept;
    };
    const std::string ready = bytes({0x01,         // address
                                     0x42}) +      // "B"
                              "READY" +            // payload
                              bytes({0x0B, 0x0C}); // CRC low, high
    const std::string otherAddress = reply(2, "READY");
    const std::string otherFunction = bytes({0x01}) + "CREADY" + bytes({0x00, 0x00});
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow w;
        w.view.text1 = "1";
        for (const Tick& t : c.ticks) {
            w.port.arrive(t.chunk);
            w.form.TMRComm_Timer();
            EXPECT_EQ(hexBytes(w.view.text8), hexBytes(t.shown));
            EXPECT_EQ(hexBytes(w.form.RxBuffer), hexBytes(t.kept));
        }
    }
}

TEST_F(Receiver, TwoRepliesInOneTickAreHandedOverInOrder) {
    tick(reply(1, "ERROR") + reply(1, "FORMAT"));
    EXPECT_EQ(view.barColor, colours::Red); // "ERROR" was handled
    EXPECT_EQ(view.barText, "");            // and "FORMAT" after it
    EXPECT_EQ(view.text8, "FORMAT");
    EXPECT_EQ(form.RxBuffer, "");
}

TEST_F(Receiver, NoiseIsBoundedAndForgotten) {
    tick(bytes({0x01, 0x42}));
    for (int i = 0; i < 60; ++i) {
        tick(std::string(100, 'x'));
        ASSERT_LE(form.RxBuffer.size(), kReplyBufferLimit);
    }
    tick(reply(1, "READY"));
    EXPECT_EQ(view.text8, "READY");
}

TEST_F(Receiver, PlainModeHandsOverEveryChunk) {
    view.check1 = false;
    form.RxBuffer = "stale";
    tick("REA");
    EXPECT_EQ(view.text8, "REA");
    EXPECT_EQ(form.RxBuffer, "");
    tick("DY");
    EXPECT_EQ(view.text8, "DY");
}

// Every tenth tick turns the indicator white, or grey when it is white; a receipt turns it red.
TEST_F(Receiver, IdleIndicatorBlinksEveryTenTicks) {
    for (const auto& [ticks, colour] :
         {std::pair{9, colours::Yellow}, {1, colours::White}, {10, colours::Grey}}) {
        for (int i = 0; i < ticks; ++i)
            form.TMRComm_Timer();
        EXPECT_EQ(view.picColor, colour) << ticks;
    }
    tick(bytes({0x01}));
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
    port.unplug("device gone");
    EXPECT_NO_THROW(form.TMRComm_Timer());
    EXPECT_TRUE(view.boxes.empty());
}
