#include <string>

#include "WindowTestSupport.h"
#include "link/ReplyFrames.h"

// The receiver with the device at address 1 and the port closed, so that replies can be fed
// without the record sender putting anything on the wire.
class Receiver : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        view.text1 = "1";
    }
    void tick(const std::string& chunk) {
        port.arrive(chunk);
        form.TMRComm_Timer();
    }
};

TEST_F(Receiver, ReplyInOneTickIsHandedOver) {
    tick(bytes({0x01,          // address
                0x42}) +       // "B"
         "READY" +             // payload
         bytes({0x0B, 0x0C})); // CRC low, high
    EXPECT_EQ(view.text8, "READY");
    EXPECT_EQ(form.RxString, "READY");
    EXPECT_EQ(hexBytes(form.RxCRC), "0B 0C");
    EXPECT_EQ(form.CRCCalc, form.RxCRC);
    EXPECT_EQ(form.RxBuffer, "");
    EXPECT_EQ(view.picColor, colours::Red);
}

TEST_F(Receiver, ReplySplitOverTicksWaitsForItsEnd) {
    tick(bytes({0x01, 0x42, 0x52}));
    EXPECT_EQ(view.text8, "");
    EXPECT_EQ(form.RxBuffer.size(), 3u);
    tick("EADY" + bytes({0x0B, 0x0C}));
    EXPECT_EQ(view.text8, "READY");
    EXPECT_EQ(form.RxBuffer, "");
}

TEST_F(Receiver, ShortestReplyCarriesTwoBytes) {
    tick(bytes({0x01, 0x42, 0x4F, 0x4B, 0xD5, 0xCB}));
    EXPECT_EQ(view.text8, "OK");
}

TEST_F(Receiver, FiveByteReplyIsNeverHandedOverButDoesNotBlockTheNext) {
    tick(reply(1, "X"));
    EXPECT_EQ(view.text8, "");
    EXPECT_EQ(form.RxBuffer.size(), 5u);
    tick(reply(1, "READY"));
    EXPECT_EQ(view.text8, "READY");
    EXPECT_EQ(form.RxBuffer, "");
}

TEST_F(Receiver, WrongAddressIsShownThenDropped) {
    const std::string other = reply(2, "READY");
    tick(other);
    EXPECT_EQ(view.text8, "Error ADDR  >> " + other);
    EXPECT_EQ(form.RxBuffer, "");
    tick(reply(1, "READY"));
    EXPECT_EQ(view.text8, "READY");
}

TEST_F(Receiver, WrongFunctionByteIsShownThenDropped) {
    const std::string chunk = bytes({0x01}) + "CREADY" + bytes({0x00, 0x00});
    tick(chunk);
    EXPECT_EQ(view.text8, "Error CMD  >> " + chunk);
    EXPECT_EQ(form.RxBuffer, "");
}

TEST_F(Receiver, ErrorLineShowsThisTicksChunkOnly) {
    tick(bytes({0x07, 0x07, 0x07}));
    tick(bytes({0x07, 0x07, 0x07, 0x07}));
    EXPECT_EQ(view.text8, "Error ADDR  >> " + bytes({0x07, 0x07, 0x07, 0x07}));
}

TEST_F(Receiver, CorruptedReplyThenAGoodOne) {
    std::string corrupted = reply(1, "READY");
    corrupted[3] ^= 0x01;
    tick(corrupted);
    EXPECT_EQ(view.text8, "");
    tick(reply(1, "GOOD"));
    EXPECT_EQ(view.text8, "GOOD");
    EXPECT_EQ(form.RxBuffer, "");
}

TEST_F(Receiver, TwoRepliesInOneTickAreHandedOverInOrder) {
    tick(reply(1, "ERROR") + reply(1, "FORMAT"));
    EXPECT_EQ(view.barColor, colours::Red); // "ERROR" was handled
    EXPECT_EQ(view.barText, "");            // and "FORMAT" after it
    EXPECT_EQ(view.text8, "FORMAT");
    EXPECT_EQ(form.RxBuffer, "");
}

TEST_F(Receiver, ReplyForAnotherAddressThenOneForUs) {
    tick(reply(2, "VER=9") + reply(1, "READY"));
    EXPECT_EQ(view.text8, "READY");
    EXPECT_EQ(form.RxBuffer, "");
}

TEST_F(Receiver, ReplyForUsThenACutOffOneKeepsTheRest) {
    const std::string next = reply(1, "READY");
    tick(reply(1, "DONE") + next.substr(0, 4));
    EXPECT_EQ(view.text8, "DONE");
    EXPECT_EQ(form.RxBuffer, next.substr(0, 4));
    tick(next.substr(4));
    EXPECT_EQ(view.text8, "READY");
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

TEST_F(Receiver, IdleIndicatorBlinksEveryTenTicks) {
    for (int i = 0; i < 9; ++i)
        form.TMRComm_Timer();
    EXPECT_EQ(view.picColor, colours::Yellow);
    form.TMRComm_Timer();
    EXPECT_EQ(view.picColor, colours::White);
    for (int i = 0; i < 10; ++i)
        form.TMRComm_Timer();
    EXPECT_EQ(view.picColor, colours::Grey);
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
    port.failReads("device gone");
    EXPECT_NO_THROW(form.TMRComm_Timer());
    EXPECT_TRUE(view.boxes.empty());
}
