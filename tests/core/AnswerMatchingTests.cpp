// Which frame a reply answers: by the line's time, by how many boards gave it, by the probes still
// open. Each case here ended on END over a board that lacked records, or failed a board that had
// answered everything.
#include <chrono>

#include "TransferSupport.h"

namespace {

using std::chrono::milliseconds;

const std::string kConflict = "More than one board answers at address 1";

bool startsWith(const std::string& text, const std::string& front) {
    return text.rfind(front, 0) == 0;
}

class AnswerMatching : public Transfer {};
class ProbeAnswering : public WindowTest {};

// At 115200 baud record 1 (54 bytes) and "OK" need 5 ms on the line: an "OK" complete sooner is the
// late second half of the answer before, however late the poll reads it.
TEST_F(AnswerMatching, AReplyTooSoonForTheLineAnswersTheFrameBefore) {
    port.baud = 115200;
    startThreeLines();
    const auto written = clock;
    clock += milliseconds(20);
    port.arriveAt(reply(1, "OK"), written + milliseconds(3));
    form.TMRComm_Timer();
    EXPECT_EQ(form.Machine().transfer().record, 1);
    EXPECT_EQ(view.text8, "OK");
    port.expectWrite(record(L2));
    port.arriveAt(reply(1, "OK"), written + milliseconds(6));
    form.TMRComm_Timer();
    EXPECT_EQ(form.Machine().transfer().record, 2);
}

// A program held up right after its write (another process ran first) must not take the board's
// prompt answer for one too soon: the frame counts from before its write.
TEST_F(AnswerMatching, AHoldUpRightAfterTheWriteLeavesAPromptAnswerItsOwn) {
    port.baud = 115200;
    startThreeLines();
    const auto firstWritten = clock;
    clock += milliseconds(6);
    const auto secondWritten = clock;
    port.duringOutput = [this] { clock += milliseconds(20); };
    port.expectWrite(record(L2));
    port.arriveAt(reply(1, "OK"), firstWritten + milliseconds(6));
    form.TMRComm_Timer();
    ASSERT_EQ(form.Machine().transfer().record, 2);
    port.duringOutput = nullptr;
    port.expectWrite(record(L3));
    port.arriveAt(reply(1, "OK"), secondWritten + milliseconds(6));
    form.TMRComm_Timer();
    EXPECT_EQ(form.Machine().transfer().record, 3);
}

// Two boards at one address: the refusal of one is never lost behind the other's "OK", whichever
// comes first, in one read or hard on its heels.
TEST_F(AnswerMatching, TwoDifferentAnswersToOneRecordStopTheTransfer) {
    struct Case {
        const char* first;
        const char* second;
        bool oneRead;
    };
    // An "ERROR" read after the next record went out, and later than the line needs, is that
    // record's: nothing tells it from the other board's refusal.
    for (const Case& c : {Case{"OK", "ERROR", true}, Case{"ERROR", "OK", true}, Case{"ERROR", "OK", false},
                          Case{"FORMAT", "FORMAT", true}}) {
        SCOPED_TRACE(std::string(c.first) + " then " + c.second + (c.oneRead ? ", one read" : ""));
        view.boxes.clear();
        startThreeLines();
        if (std::string(c.first) == "OK")
            port.expectWrite(record(L2));
        if (c.oneRead) {
            port.arrive(reply(1, c.first) + reply(1, c.second));
            pollAll();
        } else {
            deviceSays(c.first);
            clock += milliseconds(40);
            deviceSays(c.second);
        }
        EXPECT_EQ(state(), State::Failed);
        EXPECT_EQ(view.barText, "ERROR");
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_TRUE(startsWith(view.boxes[0].text, kConflict)) << view.boxes[0].text;
        // Named once, the address is written no more, though one board may since have gone quiet.
        form.Command3_Click();
        form.Command6_Click();
        EXPECT_EQ(view.boxes.size(), 3u);
        clock += std::chrono::seconds(1);
        form.BTNCloseCom_Click();
        form.BTNOpenCom_Click();
        port.expectWrite(request(1, "BOOTi\r\n"));
        form.Timer3_Timer();
        deviceSays("VER=1.0");
        clock += std::chrono::seconds(1);
    }
}

// Every answer doubled is a second board too; one doubled answer is a board's slip.
TEST_F(AnswerMatching, EveryAnswerTwiceIsASecondBoard) {
    chooseFile("four.hex", L1 + "\n" + L2 + "\n" + L2 + "\n" + L2 + "\n" + L3 + "\n");
    port.expectWrite(record(L1));
    form.Command3_Click();
    port.expectWrite(record(L2));
    port.arrive(reply(1, "OK") + reply(1, "OK"));
    pollAll();
    port.expectWrite(record(L2));
    deviceSays("OK");
    EXPECT_EQ(state(), State::RecordAwaited);
    for (int doubled = 1; doubled <= 3; ++doubled) {
        if (doubled < 3)
            port.expectWrite(record(doubled == 1 ? L2 : L3));
        port.arrive(reply(1, "OK") + reply(1, "OK"));
        pollAll();
    }
    EXPECT_EQ(state(), State::Failed);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_TRUE(startsWith(view.boxes[0].text, kConflict));
}

// Two boards answer the connection's probe: named, and nothing more is sent to them; a file chosen
// during the wait is not started.
TEST_F(ProbeAnswering, TwoBoardsAnsweringOneProbeAreNamedBeforeAnythingIsSent) {
    view.text1 = "1";
    form.BTNOpenCom_Click();
    port.expectWrite(request(1, "BOOTi\r\n"));
    form.Timer3_Timer();
    chooseFile("one.hex", ":0100000001FE\n:00000001FF\n");
    form.Command3_Click();
    port.arrive(reply(1, "VER=1.0"));
    form.TMRComm_Timer();
    clock += milliseconds(30);
    port.arrive(reply(1, "VER=1.0"));
    form.TMRComm_Timer();
    wait(milliseconds(200)); // the port script expects no record
    EXPECT_EQ(form.Machine().state(), State::Idle);
    EXPECT_EQ(view.barText, "ERROR");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_TRUE(startsWith(view.boxes[0].text, kConflict)) << view.boxes[0].text;
}

// A board that answers a probe after 350 ms: its answer to the next probe comes during record 1 and
// is no restart; a version reply once the board has answered the transfer is.
TEST_F(ProbeAnswering, ALateProbeAnswerIsNoRestart) {
    view.text1 = "1";
    form.BTNOpenCom_Click();
    port.expectWrite(request(1, "BOOTi\r\n"));
    form.Timer3_Timer();
    clock += milliseconds(200);
    port.expectWrite(request(1, "BOOTi\r\n"));
    form.Timer3_Timer();
    chooseFile("two.hex", ":0100000001FE\n:00000001FF\n");
    form.Command3_Click();
    clock += milliseconds(150);
    port.arrive(reply(1, "VER=1.0")); // to the first probe
    form.TMRComm_Timer();
    port.expectWrite(request(1, "BOOT:0100000001FE\r\n"));
    wait(milliseconds(120));
    port.arrive(reply(1, "VER=1.0")); // to the second
    form.TMRComm_Timer();
    EXPECT_EQ(form.Machine().state(), State::RecordAwaited);
    port.expectWrite(request(1, "BOOT:00000001FF\r\n"));
    port.arrive(reply(1, "OK"));
    form.TMRComm_Timer();
    port.arrive(reply(1, "VER=1.0"));
    form.TMRComm_Timer();
    EXPECT_EQ(form.Machine().failure()->reason, FailureReason::Restarted);
}

// After END or ERROR a board's later words change nothing on the bar; a held record whose board
// erases again gets the erase allowance, and given up it says so.
TEST_F(AnswerMatching, AnEndStaysAnEndAndAHeldRecordMayErase) {
    port.expectWrite(record(verifyForm(L1)));
    chooseFile("three.hex", kThreeLines);
    form.Command2_Click();
    port.expectWrite(record(verifyForm(L2)));
    deviceSays("OK");
    port.expectWrite(record(verifyForm(L3)));
    deviceSays("OK");
    deviceSays("DOWNLOAD");
    for (const char* later : {"FORMAT", "ERROR"}) {
        deviceSays(later);
        EXPECT_EQ(std::tie(view.barText, view.barColor), std::tuple("END", colours::PureGreen)) << later;
    }

    startThreeLines();
    clock += milliseconds(200);
    deviceSays("ERROR");
    deviceSays("FORMAT");
    wait(std::chrono::seconds(30));
    EXPECT_EQ(state(), State::Held);
    port.expectWrite(record(L1));
    deviceSays("OK");
    port.expectWrite(record(L2));
    deviceSays("OK");
    deviceSays("ERROR");
    deviceSays("FORMAT");
    wait(std::chrono::seconds(61));
    EXPECT_EQ(state(), State::Failed);
    EXPECT_EQ(std::tie(view.barText, view.barColor), std::tuple("ERROR", colours::Red));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text,
              "The device refused record 2 of 3 during DOWNLOAD and did not take it up again.");
}

} // namespace
