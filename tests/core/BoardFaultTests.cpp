// Boards that misbehave, and users who move on: what the window sends, shows and says.
#include <chrono>
#include <string>
#include <vector>

#include "TransferSupport.h"
#include "support/IntelHexRecord.h"

using std::chrono::milliseconds;
using std::chrono::seconds;
using BoardFaults = Transfer;

// A reply that came twice answers one record: the second is shown and takes nothing, neither in a
// pass nor at its last record, where no record 1 follows an "OK".
TEST_F(BoardFaults, ARecordTakesOneAnswerOnly) {
    startThreeLines();
    port.expectWrite(record(L2));
    port.arrive(reply(1, "OK") + reply(1, "OK"));
    pollAll();
    EXPECT_EQ(form.Machine().transfer().record, 2);
    port.expectWrite(record(L3));
    deviceSays("OK");
    port.arrive(reply(1, "OK") + reply(1, "OK")); // to the last record
    pollAll();
    EXPECT_EQ(state(), State::PassEndAwaited);
    port.expectWrite(record(verifyForm(L1)));
    port.arrive(reply(1, "DOWNLOAD") + reply(1, "DOWNLOAD"));
    pollAll();
    EXPECT_EQ(state(), State::RecordAwaited);
    EXPECT_EQ(view.barText, "VERIFY");
}

// A reply that came before record 1 went out, though read after it, is no answer to it.
TEST_F(BoardFaults, AReplyThatCameFirstAnswersNoLaterRecord) {
    port.arrive(reply(1, "OK"));
    startThreeLines();
    pollAll();
    EXPECT_EQ(form.Machine().transfer().record, 1);
    EXPECT_EQ(view.text8, "OK");
}

// A refused record is taken up again only by the board it went to, in the pass it belongs to, and
// only once; then the transfer is over. A verify taken up again goes on verifying.
TEST_F(BoardFaults, ARefusedRecordIsTakenUpOnceByItsOwnBoard) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(verifyForm(L1)));
    form.Command2_Click();
    deviceSays("ERROR"); // a blank board
    EXPECT_EQ(std::tie(view.barText, view.barColor), std::tuple("ERROR", colours::Red));
    view.text1 = "5";
    port.arrive(reply(5, "VER=1.0")); // another board: nothing
    pollAll();
    view.text1 = "1";
    port.expectWrite(record(verifyForm(L1))); // the board restarted: the same verify record again
    deviceSays("VER=1.0");
    deviceSays("ERROR");
    EXPECT_EQ(state(), State::Failed);
    EXPECT_EQ(form.Machine().failure()->reason, FailureReason::RefusedTwice);
    deviceSays("VER=1.0");
    deviceSays("OK");

    // After "?" a held transfer is over; held too long, it is over as well.
    for (const bool ask : {true, false}) {
        startThreeLines();
        deviceSays("ERROR");
        if (ask) {
            port.expectWrite(request(1, "BOOTi\r\n"));
            form.Command4_Click();
            deviceSays("VER=1.0");
        } else {
            wait(seconds(6));
        }
        deviceSays("OK");
        EXPECT_TRUE(port.scriptUsedUp()) << ask;
    }
    // Given up, the held record is named in one box, on ERROR.
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "The device refused record 1 of 3 during DOWNLOAD and did not take it up again.");
    EXPECT_EQ(view.barText, "ERROR");
}

// "Next" after a refused record goes on scanning; the board it finds is asked for nothing.
TEST_F(BoardFaults, NextAfterARefusedRecordWritesNoOtherBoard) {
    form.BTNCloseCom_Click();
    view.text1.clear();
    form.BTNOpenCom_Click();
    port.expectWrite(request(1, "BOOTi\r\n"));
    form.Timer3_Timer();
    deviceSays("VER=1.0");
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(verifyForm(L1)));
    form.Command2_Click();
    deviceSays("ERROR");
    form.Command1_Click(); // "Next"
    for (int address = 2; address <= 5; ++address) {
        port.expectWrite(request(address, "BOOTi\r\n"));
        form.Timer3_Timer();
    }
    port.arrive(reply(5, "VER=2.0"));
    pollAll();
    EXPECT_EQ(std::tie(view.label2, view.text1), std::tuple("READY", "5"));
    port.arrive(reply(5, "OK"));
    pollAll();
    EXPECT_EQ(state(), State::Idle);
}

// How long the window waits follows what the board said: 5 s for an answer, 60 s once it has said
// "FORMAT" (however often), at once when it restarted; the box says what came instead.
TEST_F(BoardFaults, TheWaitForAnAnswerIsBoundedByWhatTheBoardSaid) {
    const std::string erase =
        "The erase the device began at record 1 of 3 during DOWNLOAD did not end within 60 s: "
        "the transfer was stopped.";
    const std::string silent =
        "No answer to record 1 of 3 during DOWNLOAD for 5 s: the transfer was stopped.";
    const struct {
        const char* name;
        std::vector<std::pair<milliseconds, std::string>> board; // when, and the bytes
        milliseconds quiet;                                      // no box before
        std::string box;                                         // after 61 s
    } rows[] = {
        {"silent", {}, milliseconds(4980), silent},
        {"another board",
         {{milliseconds(10), reply(2, "OK")}},
         milliseconds(4980),
         silent + " Instead came a reply from address 2."},
        {"no frame",
         {{milliseconds(10), "OK 17\r\n"}},
         milliseconds(4980),
         silent + " Instead came a reply without the Modbus RTU frame."},
        {"erasing", {{milliseconds(10), reply(1, "FORMAT")}}, milliseconds(59980), erase},
        {"erasing for ever",
         {{milliseconds(10), reply(1, "FORMAT")},
          {seconds(20), reply(1, "FORMAT")},
          {seconds(40), reply(1, "FORMAT")},
          {seconds(59), reply(1, "FORMAT")}},
         milliseconds(59980),
         erase},
        {"restarted",
         {{milliseconds(10), reply(1, "VER=1.0")}},
         milliseconds(0),
         "The device restarted during record 1 of 3 (VER=1.0)"},
    };
    bool buttonsBackWhileBoxOpen = false;
    view.whileBoxOpen = [&] { buttonsBackWhileBoxOpen = view.isEnabled(Control::Command3); };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        view.boxes.clear();
        buttonsBackWhileBoxOpen = false;
        const auto started = clock;
        startThreeLines();
        for (const auto& [when, bytes] : row.board) {
            wait(started + when - clock);
            port.arrive(bytes);
        }
        wait(started + row.quiet - clock);
        EXPECT_TRUE(view.boxes.empty());
        wait(started + seconds(61) - clock);
        EXPECT_EQ(view.boxes, (Boxes{{row.box, Icon::Critical}}));
        EXPECT_TRUE(buttonsBackWhileBoxOpen);
        EXPECT_EQ(std::tie(view.barText, view.barColor), std::tuple("ERROR", colours::Red));
        EXPECT_EQ(state(), State::Failed);
    }
}

// A long erase that ends, and a pass longer than the answer's limit, go on to their end.
TEST_F(BoardFaults, ABoardThatAnswersInTimeIsNeverStopped) {
    std::vector<std::string> lines = oneByteRecords(0, 299);
    lines.push_back(L3);
    chooseFile("long.hex", textOf(lines));
    port.expectWrite(record(lines[0]));
    form.Command3_Click();
    port.arrive(reply(1, "FORMAT"));
    wait(seconds(7));
    for (std::size_t k = 1; k < lines.size(); ++k) {
        port.expectWrite(record(lines[k]));
        port.arrive(reply(1, "OK"));
        wait(milliseconds(40)); // 300 records: 12 s
    }
    port.expectWrite(record(verifyForm(lines[0])));
    deviceSays("DOWNLOAD");
    EXPECT_TRUE(view.boxes.empty());
}

// A record that does not reach the wire awaits nothing; a framing switched under a transfer ends it.
TEST_F(BoardFaults, ARecordOnlyWaitsForAnAnswerItCanGet) {
    chooseFile("three.hex", kThreeLines);
    view.text1 = "300"; // no address byte
    form.Command3_Click();
    EXPECT_EQ(view.boxes,
              (Boxes{{"Record 1 of 3 could not be sent during DOWNLOAD: the transfer was stopped.",
                      Icon::Critical}}));
    EXPECT_TRUE(view.isEnabled(Control::Command3));

    view.text1 = "1";
    view.boxes.clear();
    startThreeLines();
    port.arrive(reply(1, "OK")); // framed, read only after the switch: never a plain reply
    view.check1 = false;
    form.TMRComm_Timer();
    EXPECT_EQ(
        view.boxes,
        (Boxes{{"The Modbus RTU framing was switched at record 1 of 3 during DOWNLOAD: the transfer was "
                "stopped.",
                Icon::Critical}}));
    EXPECT_EQ(view.text8, "");
}

// In plain mode a quiet line hands nothing over: the answer box keeps the last reply, and a silent
// board has said nothing.
TEST_F(BoardFaults, AQuietPlainLineHandsNothingOver) {
    view.check1 = false;
    form.TMRComm_Timer();
    port.arrive("READY\r\n");
    wait(milliseconds(100));
    EXPECT_EQ(view.text8, "READY\r\n");
    const ReplyTally before = form.Machine().replies();
    port.expectWrite("BOOTg\r\n");
    port.expectWrite("VER\r\n");
    form.Command6_Click();
    wait(milliseconds(100));
    EXPECT_EQ(form.Machine().replies().since(before).total(), 0);
}
