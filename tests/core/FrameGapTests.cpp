#include <chrono>
#include <optional>
#include <string>

#include "TransferSupport.h"

using std::chrono::microseconds;
using std::chrono::milliseconds;

// The next record waits, through the port, until the line has been silent for 3.5 characters (at
// least 1.75 ms) since the reply's last byte; the clock stands still, so the whole gap is asked.
TEST_F(WindowTest, TheNextFrameKeepsTheGapAfterTheLastByteReceived) {
    const struct {
        const char* name;
        int speed; // the round button chosen
        bool framed;
        std::optional<frmSerial::Clock::duration> gap; // the flasher's --frame-gap
        microseconds arrivedBefore;                    // how long before the read the reply came
        microseconds quiet;                            // asked before the next record
    } cases[] = {
        {"115200: the shortest gap", 115200, true, std::nullopt, {}, microseconds(1750)},
        {"115200, plain", 115200, false, std::nullopt, {}, microseconds(1750)},
        {"19200: 3.5 characters", 19200, true, std::nullopt, {}, microseconds(1822)},
        {"9600: 3.5 characters", 9600, true, std::nullopt, {}, microseconds(3645)},
        {"part of the gap passed", 115200, true, std::nullopt, milliseconds(1), microseconds(750)},
        {"the gap passed", 115200, true, std::nullopt, milliseconds(2), microseconds(0)},
        {"a gap of its own", 115200, true, milliseconds(5), {}, microseconds(5000)},
        {"no gap", 9600, true, microseconds(0), {}, microseconds(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        window.form.Now = [this] { return clock; };
        window.form.FrameGap = c.gap;
        window.view.option1 = c.speed == 9600;
        window.view.option2 = c.speed == 19200;
        window.view.option3 = c.speed == 115200;
        window.view.check1 = c.framed;
        window.view.text1 = "1";
        window.form.BTNOpenCom_Click();
        const auto frame = [&](const std::string& text) { return c.framed ? request(1, text) : text; };
        const auto answer = [&](const std::string& text) {
            return c.framed ? reply(1, text) : text + "\r\n";
        };

        // The first probe follows no reply: nothing to wait for.
        window.port.expectWrite(frame("BOOTi\r\n"));
        window.form.Timer3_Timer();
        window.port.arriveAt(answer("VER=1.0"), clock - c.arrivedBefore);
        window.form.MSComm1_OnComm();
        ASSERT_EQ(window.form.Machine().state(), State::Idle);

        window.view.dialogFile = chooseFile("three.hex", kThreeLines);
        window.port.expectWrite(frame("BOOT" + L1 + "\r\n"));
        window.form.Command3_Click();
        window.port.expectWrite(frame("BOOT" + L2 + "\r\n"));
        window.port.arriveAt(answer("OK"), clock - c.arrivedBefore);
        window.form.MSComm1_OnComm();

        ASSERT_EQ(window.port.quietBefore.size(), 3u);
        EXPECT_EQ(window.port.quietBefore[0].count(), 0);
        // The version reply came before the first record: the same gap.
        EXPECT_EQ(window.port.quietBefore[1].count(), c.quiet.count());
        EXPECT_EQ(window.port.quietBefore[2].count(), c.quiet.count());
    }
}

// A reply is taken the moment the port announces it, not on the next tick; the blink is the tick's
// alone, and nothing is read while the poll is off.
TEST_F(DeviceOneTest, BytesAnnouncedByThePortAreTakenAtOnce) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    form.Command3_Click();
    port.expectWrite(record(L2));
    const std::int16_t blink = form.BlinkCount;
    port.arrive(reply(1, "OK"));
    form.MSComm1_OnComm();
    EXPECT_TRUE(port.scriptUsedUp());
    EXPECT_EQ(form.BlinkCount, blink);
    EXPECT_EQ(view.barValue, 2);

    form.BTNCloseCom_Click();
    port.arrive(reply(1, "OK"));
    form.MSComm1_OnComm();
    EXPECT_EQ(port.inBufferCount(), static_cast<int>(reply(1, "OK").size()));
}
