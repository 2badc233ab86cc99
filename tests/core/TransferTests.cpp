#include <string>
#include <vector>

#include "WindowTestSupport.h"

namespace {
const std::string L1 = ":10000000000102030405060708090A0B0C0D0E0F78";
const std::string L2 = ":0400100010111213A6";
const std::string L3 = ":00000001FF";
const std::string kThreeLines = L1 + "\r\n" + L2 + "\r\n" + L3 + "\r\n";

std::string verifyForm(std::string line) {
    for (char& c : line)
        if (c == ':')
            c = '#';
    return line;
}
std::string record(const std::string& line) {
    return request(1, "BOOT" + line + "\r\n");
}
} // namespace

// A transfer in Modbus RTU mode with the device at address 1.
class Transfer : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        openPortFor("1");
    }
    // The device answers `payload`; its reply is polled in like any other.
    void deviceSays(const std::string& payload) {
        port.arrive(reply(1, payload));
        pollAll();
    }
};

TEST_F(Transfer, ThreeLineFileIsDownloadedThenVerified) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    form.Command3_Click();
    EXPECT_EQ(view.dialogFilter, "HEX files (*.hex)|*.hex");
    EXPECT_EQ(view.barMax, 3);
    EXPECT_TRUE(view.command5Enabled);
    EXPECT_EQ(form.RecordCount, 3);
    EXPECT_EQ(form.TransferRequested, 1);
    EXPECT_EQ(form.TransferActive, 1);
    EXPECT_EQ(view.barText, "DOWNLOAD");
    EXPECT_EQ(view.barValue, 1);
    EXPECT_EQ(form.RecordIndex, 1);

    const struct {
        const char* reply;
        std::string sent; // empty: nothing
        const char* barText;
        int barValue;
        int recordIndex;
    } steps[] = {
        {"OK", record(L2), "DOWNLOAD", 2, 2},
        {"OK", record(L3), "DOWNLOAD", 3, 0},
        {"DOWNLOAD", record(verifyForm(L1)), "VERIFY", 1, 1},
        {"OK", record(verifyForm(L2)), "VERIFY", 2, 2},
        {"OK", record(verifyForm(L3)), "VERIFY", 3, 0},
        {"DOWNLOAD", "", "END", 3, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.reply + std::string(" -> ") + step.barText);
        if (!step.sent.empty())
            port.expectWrite(step.sent);
        deviceSays(step.reply);
        EXPECT_EQ(view.barText, step.barText);
        EXPECT_EQ(view.barValue, step.barValue);
        EXPECT_EQ(form.RecordIndex, step.recordIndex);
    }
    EXPECT_EQ(view.barColor, colours::PureGreen);
    EXPECT_EQ(form.VerifyMode, 0);
    EXPECT_EQ(form.TransferActive, 0);
    EXPECT_EQ(port.written.size(), 6u);
}

TEST_F(Transfer, VerifyAloneSendsTheMarkedLines) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record("#10000000000102030405060708090A0B0C0D0E0F78"));
    form.Command2_Click();
    EXPECT_EQ(view.barText, "VERIFY");
    EXPECT_EQ(form.VerifyMode, 1);
}

TEST_F(Transfer, FileOf9000LinesIsSentToItsEndAndWraps) {
    std::string content;
    for (int k = 1; k <= 9000; ++k)
        content += ":" + std::to_string(k) + "\n";
    chooseFile("full.hex", content);
    view.check1 = false; // plain mode keeps the transcript short
    for (int k = 1; k <= 9000; ++k)
        port.expectWrite("BOOT:" + std::to_string(k) + "\r\n");
    port.expectWrite("BOOT:1\r\n");
    form.Command3_Click();
    for (int k = 2; k <= 9000; ++k)
        form.RxString = "OK", form.Com_Parser();
    EXPECT_EQ(view.barValue, 9000);
    EXPECT_EQ(form.RecordIndex, 0);
    form.RxString = "OK";
    form.Com_Parser();
    EXPECT_EQ(form.RecordIndex, 1);
}

TEST_F(Transfer, FileOf9001LinesIsRefusedWithNothingSent) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    form.Command3_Click();

    std::string content;
    for (int k = 1; k <= 9001; ++k)
        content += ":" + std::to_string(k) + "\n";
    chooseFile("over.hex", content);
    form.Command3_Click();

    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Subscript out of range");
    EXPECT_EQ(view.boxes[0].icon, FormView::Icon::Critical);
    EXPECT_EQ(view.boxes[0].title, "Error#9");
    EXPECT_EQ(form.HexRecords[9000], ":9000");
    EXPECT_EQ(form.RecordIndex, 9001);
    EXPECT_EQ(form.RecordCount, 3);
    EXPECT_EQ(port.written.size(), 1u);
}

TEST_F(Transfer, FileWithNoRecordsIsRefused) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    form.Command3_Click();
    for (const char* content : {"", "\r\n\r\n  \n"}) {
        chooseFile("empty.hex", content);
        form.Command3_Click();
        ASSERT_FALSE(view.boxes.empty());
        EXPECT_EQ(view.boxes.back().title, "Error#62");
        EXPECT_EQ(view.boxes.back().icon, FormView::Icon::Critical);
        EXPECT_NE(view.boxes.back().text.find("no records"), std::string::npos);
    }
    EXPECT_EQ(form.RecordCount, 3);
    EXPECT_EQ(form.HexRecords[1], L1);
    EXPECT_EQ(port.written.size(), 1u);
}

TEST_F(Transfer, MissingFileEndsInTheErrorBox) {
    view.dialogFile = (folder / "gone.hex").string();
    form.Command3_Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "File not found");
    EXPECT_EQ(view.boxes[0].title, "Error#53");
    view.dialogFile = folder.string();
    form.Command3_Click();
    EXPECT_EQ(view.boxes.back().title, "Error#75");
}

TEST_F(Transfer, WindowsAndOldMacLineEndsSendNoCarriageReturn) {
    chooseFile("mixed.hex", L1 + "\r" + L2 + "\n" + L3);
    view.check1 = false;
    port.expectWrite("BOOT" + L1 + "\r\n");
    port.expectWrite("BOOT" + L2 + "\r\n");
    port.expectWrite("BOOT" + L3 + "\r\n");
    form.Command3_Click();
    form.Command5_Click();
    form.Command5_Click();
    EXPECT_EQ(form.RecordCount, 3);
}

TEST_F(Transfer, CancelledDialogStartsNothing) {
    form.Command2_Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Cancel");
    EXPECT_EQ(view.boxes[0].icon, FormView::Icon::None);
    EXPECT_EQ(view.boxes[0].title, "");
    EXPECT_EQ(form.VerifyMode, 1);
    EXPECT_EQ(form.TransferRequested, 1);
    EXPECT_EQ(form.TransferActive, 0);
    chooseFile("three.hex", kThreeLines);
    view.cancelError = true;
    form.Command3_Click();
    EXPECT_EQ(view.boxes.back().text, "Cancel");
    EXPECT_EQ(form.VerifyMode, 0);
}

TEST_F(Transfer, ShorterFileAfterALongerOneSendsOnlyItsOwnLines) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    form.Command3_Click();
    chooseFile("two.hex", L2 + "\n" + L1 + "\n");
    port.expectWrite(record(L2));
    form.Command3_Click();
    port.expectWrite(record(L1));
    deviceSays("OK");
    port.expectWrite(record(L2));
    deviceSays("OK");
    EXPECT_EQ(form.HexRecords[3], L3);
}

TEST_F(Transfer, ErrorStopsTheFlowUntilTheNextOk) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    form.Command3_Click();
    deviceSays("ERROR 3");
    EXPECT_EQ(view.barText, "ERROR");
    EXPECT_EQ(view.barColor, colours::Red);
    EXPECT_EQ(form.VerifyMode, 0);
    EXPECT_EQ(form.TransferActive, 1);

    port.expectWrite(record(L2));
    deviceSays("OK");
    EXPECT_EQ(view.barText, "DOWNLOAD");
    EXPECT_EQ(view.barColor, colours::Red);
}

TEST_F(Transfer, VersionReplyResumesOnlyARunningTransfer) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    form.Command3_Click();
    port.expectWrite(record(L2));
    deviceSays("VER=1.0");

    port.expectWrite(request(1, "BOOTi\r\n"));
    view.text8 = "old";
    form.Command4_Click();
    EXPECT_EQ(form.TransferActive, 0);
    deviceSays("VER=1.0"); // held: nothing sent
    EXPECT_EQ(view.label2, "READY");
    port.expectWrite(record(L3));
    deviceSays("OK");
}

TEST_F(Transfer, FirstKeywordInOrderDecides) {
    const struct {
        const char* payload;
        const char* barText;
        int barValue;
    } table[] = {
        {"VER=1 OK", "start", 5}, // stops the wait only
        {"DOWNLOAD ERROR", "ERROR", 5},
        {"FORMAT OK", "", 0},
        {"ok", "start", 5}, // case-sensitive
    };
    for (const auto& row : table) {
        view.barText = "start";
        view.barValue = 5;
        view.timer3 = true;
        form.VerifyMode = 1;
        deviceSays(row.payload);
        EXPECT_EQ(view.text8, row.payload);
        EXPECT_EQ(view.barText, row.barText) << row.payload;
        EXPECT_EQ(view.barValue, row.barValue) << row.payload;
    }
    EXPECT_TRUE(port.written.empty());
}

TEST_F(Transfer, VerifyRecordReplacesEveryColon) {
    form.HexRecords[1] = "a:b:c";
    form.HexRecords[2] = "plain";
    form.RecordCount = 2;
    form.VerifyMode = 1;
    port.expectWrite(record("a#b#c"));
    port.expectWrite(record("plain"));
    form.Command5_Click();
    form.Command5_Click();
    EXPECT_EQ(form.HexRecords[1], "a:b:c");
}

TEST_F(Transfer, SenderNeverReadsPastTheTable) {
    form.RecordIndex = 9000;
    EXPECT_THROW(form.Command5_Click(), std::out_of_range);
    EXPECT_EQ(form.RecordIndex, 9001);
    EXPECT_THROW(form.Command5_Click(), std::out_of_range);
    EXPECT_EQ(form.RecordIndex, 9001);
    EXPECT_TRUE(port.written.empty());
}

TEST_F(Transfer, FailedReplyHandlingDoesNotDeafenTheReceiver) {
    form.RecordIndex = 9000; // the next "OK" fails in the sender
    deviceSays("OK");
    EXPECT_EQ(form.RxBuffer, "");
    view.timer3 = true;
    deviceSays("VER=2.0");
    EXPECT_EQ(view.label2, "READY");
    EXPECT_FALSE(view.timer3);
}

TEST_F(Transfer, SilentDeviceStopsTheTransferWhereItIs) {
    chooseFile("three.hex", kThreeLines);
    port.expectWrite(record(L1));
    port.reply(reply(1, "OK")); // lost: the device falls silent before it arrives
    form.Command3_Click();
    port.fallSilent();
    for (int tick = 0; tick < 500; ++tick)
        form.TMRComm_Timer();
    EXPECT_EQ(port.written.size(), 1u); // no time-out, no retry
    EXPECT_EQ(form.RecordIndex, 1);
    EXPECT_EQ(view.barText, "DOWNLOAD");
}
