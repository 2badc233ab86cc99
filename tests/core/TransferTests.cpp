#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include <sys/stat.h>

#include "WindowTestSupport.h"
#include "support/IntelHexRecord.h"

namespace {
const std::string L1 = ":10000000000102030405060708090A0B0C0D0E0F78";
const std::string L2 = ":0400100010111213A6";
const std::string L3 = ":00000001FF";
const std::string kThreeLines = L1 + "\r\n" + L2 + "\r\n" + L3 + "\r\n";
const std::string kNoRecords = "Input past end of file: the file holds no records";
const std::string kNotRegular = "Path/File access error: not a regular file";

std::string verifyForm(std::string line) {
    std::replace(line.begin(), line.end(), ':', '#');
    return line;
}
std::string record(const std::string& line) {
    return request(1, "BOOT" + line + "\r\n");
}
} // namespace

class Transfer : public DeviceOneTest {
  protected:
    // A named pipe with no writer: opening it for reading would block for ever.
    std::string fifo(const std::string& name) {
        const auto path = folder / name;
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        return path.string();
    }
    // A file of `size` bytes that takes no room on the disk.
    std::string sparse(const std::string& name, std::uint64_t size) {
        const auto path = folder / name;
        std::filesystem::resize_file(chooseFile(name, ""), size);
        return path.string();
    }
    // Starts downloading the three-line file: its first record goes out.
    void startThreeLines() {
        chooseFile("three.hex", kThreeLines);
        port.expectWrite(record(L1));
        form.Command3_Click();
    }
};

TEST_F(Transfer, ThreeLineFileIsDownloadedThenVerified) {
    chooseFile("three.hex", kThreeLines);
    const struct {
        const char* reply; // none: the download is started
        std::string sent;  // empty: nothing
        const char* barText;
        int barValue;
        int recordIndex;
    } steps[] = {
        {nullptr, record(L1), "DOWNLOAD", 1, 1},
        {"OK", record(L2), "DOWNLOAD", 2, 2},
        {"OK", record(L3), "DOWNLOAD", 3, 0},
        {"DOWNLOAD", record(verifyForm(L1)), "VERIFY", 1, 1},
        {"OK", record(verifyForm(L2)), "VERIFY", 2, 2},
        {"OK", record(verifyForm(L3)), "VERIFY", 3, 0},
        {"DOWNLOAD", "", "END", 3, 0},
        // The transfer is over: neither an "OK" nor a pass end sends anything now.
        {"OK", "", "END", 3, 0},
        {"DOWNLOAD", "", "END", 3, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.reply ? step.reply : "start");
        if (!step.sent.empty())
            port.expectWrite(step.sent);
        if (step.reply)
            deviceSays(step.reply);
        else
            form.Command3_Click();
        EXPECT_EQ(view.barText, step.barText);
        EXPECT_EQ(view.barValue, step.barValue);
        EXPECT_EQ(form.RecordIndex, step.recordIndex);
        // A silent device gets no time-out and no retry: the device paces every record.
        for (int tick = 0; tick < 500; ++tick)
            form.TMRComm_Timer();
    }
    EXPECT_EQ(view.dialogFilter, "HEX files (*.hex)|*.hex");
    EXPECT_EQ(view.barMax, 3);
    EXPECT_TRUE(view.command5Enabled);
    EXPECT_EQ(form.RecordCount, 3);
    EXPECT_EQ(view.barColor, colours::PureGreen);
    // transfer requested, no longer active, verify mode ended
    EXPECT_EQ(std::tie(form.TransferRequested, form.TransferActive, form.VerifyMode), std::tuple(1, 0, 0));
}

TEST_F(Transfer, FileOf9000LinesIsSentToItsEndAndWraps) {
    std::vector<std::string> lines = oneByteRecords(1, 8999);
    lines.push_back(L3);
    chooseFile("full.hex", textOf(lines));
    view.check1 = false; // plain mode keeps the transcript short
    for (const std::string& line : lines)
        port.expectWrite("BOOT" + line + "\r\n");
    port.expectWrite("BOOT" + lines[0] + "\r\n");
    form.Command3_Click();
    for (int k = 2; k <= 9000; ++k)
        form.RxString = "OK", form.Com_Parser();
    EXPECT_EQ(view.barValue, 9000);
    form.RxString = "OK"; // wraps to the first line
    form.Com_Parser();
}

// A refused or cancelled choice sends nothing and keeps the file loaded before; a shorter file
// then sends only its own lines, here in a verify alone.
TEST_F(Transfer, RefusedOrCancelledChoiceKeepsTheLoadedFile) {
    form.Command2_Click(); // a cancelled dialog changes nothing
    EXPECT_EQ(view.boxes, (Boxes{{"Cancel"}}));
    EXPECT_EQ(std::tie(form.VerifyMode, form.TransferRequested, form.TransferActive), std::tuple(0, 0, 0));
    startThreeLines();
    deviceSays("ERROR"); // no record in flight: a new load may start
    const struct {
        std::string file;
        FakeFormView::MessageBox box;
        bool cancelled = false;
    } table[] = {
        {chooseFile("over.hex", textOf(oneByteRecords(1, 9000)) + L3),
         {"Subscript out of range: line 9001: more than 9000 records", Icon::Critical, "Error#9"}},
        {sparse("huge.hex", 8ull << 30),
         {"the file holds 8589934592 bytes, more than the 64 MiB any firmware file needs", Icon::Critical,
          "Error#321"}},
        {chooseFile("bad.hex", L1 + "\n:0400100010111213A7\n" + L3),
         {"line 2: checksum A7, expected A6", Icon::Critical, "Error#321"}},
        {chooseFile("empty.hex", ""), {kNoRecords, Icon::Critical, "Error#62"}},
        {(folder / "gone.hex").string(), {"File not found", Icon::Critical, "Error#53"}},
        {folder.string(), {kNotRegular, Icon::Critical, "Error#75"}},
        {fifo("pipe.hex"), {kNotRegular, Icon::Critical, "Error#75"}},
        {"", {"Cancel"}},
        // What a DOS-era tool writes after the end-of-file record is not read.
        {chooseFile("two.hex", L2 + "\n" + L3 + "\n\x1A\x1A" + L1), {"Cancel"}, true},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.file);
        view.boxes.clear();
        view.dialogFile = row.file;
        view.cancelError = row.cancelled;
        form.Command3_Click();
        EXPECT_EQ(view.boxes, Boxes{row.box});
        EXPECT_EQ(form.RecordCount, 3);
    }
    EXPECT_EQ(port.written.size(), 1u);

    view.cancelError = false; // the last choice, taken this time to verify alone
    port.expectWrite(record(verifyForm(L2)));
    form.Command2_Click();
    EXPECT_EQ(view.barText, "VERIFY");
    port.expectWrite(record(verifyForm(L3)));
    deviceSays("OK");
    port.expectWrite(record(verifyForm(L2))); // after its own two lines, the first again
    deviceSays("OK");
    EXPECT_EQ(form.HexRecords[2], L3); // the table keeps the colon; only the sent copy is marked
}

// The sender marks every colon of the line it sends; the table keeps the line as it was.
TEST_F(Transfer, VerifyRecordMarksEveryColon) {
    form.HexRecords[1] = "a:b:c";
    form.RecordCount = 1;
    form.VerifyMode = 1;
    port.expectWrite(record("a#b#c"));
    form.Command5_Click();
    EXPECT_EQ(form.HexRecords[1], "a:b:c");
}

// "ERROR" holds the flow until the next "OK" or version reply; a version reply never sends beside
// a record in flight, and after "?" the transfer is over.
TEST_F(Transfer, ErrorHoldsUntilOkAndVersionReplyResumesOnlyARunningTransfer) {
    startThreeLines();
    deviceSays("ERROR 3");
    EXPECT_EQ(view.barText, "ERROR");
    EXPECT_EQ(view.barColor, colours::Red);
    EXPECT_EQ(form.TransferActive, 1);
    port.expectWrite(record(L2));
    deviceSays("OK");
    EXPECT_EQ(view.barText, "DOWNLOAD");
    EXPECT_EQ(view.barColor, colours::Red);
    deviceSays("VER=1.0"); // record 2 still waits for its answer

    deviceSays("ERROR");
    port.expectWrite(record(L3));
    deviceSays("VER=1.0");
    deviceSays("ERROR");
    port.expectWrite(request(1, "BOOTi\r\n"));
    form.Command4_Click();
    EXPECT_EQ(view.text8, "");
    EXPECT_EQ(form.TransferActive, 0);
    deviceSays("VER=1.0"); // held: nothing sent
    EXPECT_EQ(view.label2, "READY");
    deviceSays("OK");
}

// While a record waits for its answer, every other way to send is refused and shown disabled;
// the device's answer then brings exactly one record.
TEST_F(Transfer, OneChainOfRecordsAtMost) {
    startThreeLines();
    chooseFile("other.hex", L2 + "\n" + L3 + "\n");
    const struct {
        const char* caption;
        Control button;
        void (frmSerial::*click)();
    } clicks[] = {
        {"Open File and  Download", Control::Command3, &frmSerial::Command3_Click},
        {"Verify", Control::Command2, &frmSerial::Command2_Click},
        {"Install ", Control::Command6, &frmSerial::Command6_Click},
        {"?", Control::Command4, &frmSerial::Command4_Click},
        {"Set Addr", Control::Command1, &frmSerial::Command1_Click},
    };
    view.dialogFilter.clear();
    for (const auto& row : clicks) {
        SCOPED_TRACE(row.caption);
        EXPECT_FALSE(view.isEnabled(row.button));
        EXPECT_EQ(view.dialogFilter, ""); // no dialog opened
        (form.*row.click)();              // the port script expects nothing
        EXPECT_TRUE(view.boxes.empty());
        EXPECT_TRUE(view.pauses.empty());
        EXPECT_EQ(std::tie(form.RecordIndex, form.VerifyMode, form.TransferActive), std::tuple(1, 0, 1));
    }
    port.expectWrite(record(L2));
    deviceSays("OK");
    deviceSays("ERROR");
    for (const auto& row : clicks)
        EXPECT_TRUE(view.isEnabled(row.button)) << row.caption;

    // An "OK" while the dialog is open resumes the held chain: the file chosen then is not loaded.
    view.whileDialogOpen = [this] {
        port.expectWrite(record(L3));
        deviceSays("OK");
    };
    form.Command3_Click();
    EXPECT_EQ(form.RecordCount, 3);
}

// "DOWNLOAD" before a pass's last record went out ends the transfer as a device error.
TEST_F(Transfer, PassEndedBeforeItsLastRecordIsADeviceError) {
    const struct {
        const char* pass;
        std::vector<std::pair<const char*, std::string>> before; // replies, and the record each brings
    } rows[] = {
        {"download after record 1", {}},
        {"verify after record 1",
         {{"OK", record(L2)}, {"OK", record(L3)}, {"DOWNLOAD", record(verifyForm(L1))}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pass);
        startThreeLines();
        for (const auto& [reply, sent] : row.before) {
            port.expectWrite(sent);
            deviceSays(reply);
        }
        deviceSays("DOWNLOAD");
        EXPECT_EQ(std::tie(view.barText, view.barColor), std::tuple("ERROR", colours::Red));
        EXPECT_EQ(std::tie(form.PassEndedEarly, form.TransferActive, form.RecordAwaited),
                  std::tuple(1, 0, 0));
        deviceSays("OK"); // over: nothing more is sent
    }
}

// A record without an answer for the stall limit ends the transfer once, with a box naming it.
TEST_F(Transfer, StalledRecordEndsTheTransferWithOneBox) {
    startThreeLines();
    port.expectWrite(record(L2));
    deviceSays("OK");
    const auto almost = frmSerial::kReplyStallLimit - std::chrono::milliseconds(100);
    form.RecordSentTime -= almost;
    deviceSays("FORMAT"); // erasing: the wait starts again
    form.RecordSentTime -= almost;
    form.TMRComm_Timer();
    EXPECT_TRUE(view.boxes.empty());

    form.RecordSentTime -= frmSerial::kReplyStallLimit;
    form.TMRComm_Timer();
    form.TMRComm_Timer();
    EXPECT_EQ(view.boxes,
              (Boxes{{"No answer to record 2 of 3 during DOWNLOAD for 5 s: the transfer was stopped.",
                      Icon::Critical}}));
    EXPECT_EQ(std::tie(view.barText, view.barColor), std::tuple("ERROR", colours::Red));
    deviceSays("OK");  // too late: nothing is sent
    startThreeLines(); // the user can start again
}

// Bar text and value, the connection wait and the verify mode after each reply, from "start", 5,
// waiting, verifying.
TEST_F(Transfer, FirstKeywordInOrderDecides) {
    const struct {
        const char* payload;
        std::tuple<std::string, int, bool, int> after;
    } table[] = {
        {"VER=1 OK", {"start", 5, false, 1}}, // stops the wait only
        {"DOWNLOAD ERROR", {"ERROR", 5, true, 0}},
        {"FORMAT OK", {"", 0, true, 1}},
        {"ok", {"start", 5, true, 1}}, // case-sensitive
    };
    for (const auto& row : table) {
        view.barText = "start";
        view.barValue = 5;
        view.timer3 = true;
        form.VerifyMode = 1;
        deviceSays(row.payload);
        EXPECT_EQ(view.text8, row.payload);
        EXPECT_EQ(std::tie(view.barText, view.barValue, view.timer3, form.VerifyMode), row.after)
            << row.payload;
    }
    EXPECT_TRUE(port.written.empty());
}

TEST_F(Transfer, ReplyPastTheTableSendsNothingAndTheReceiverGoesOn) {
    form.TransferActive = 1;
    form.RecordIndex = 9000; // each "OK" would read past the last slot
    deviceSays("OK");
    deviceSays("OK");
    EXPECT_EQ(form.RecordIndex, 9001); // never climbing towards a wrap
    EXPECT_EQ(form.RxBuffer, "");
    view.timer3 = true;
    deviceSays("VER=2.0");
    EXPECT_EQ(view.label2, "READY");
    EXPECT_FALSE(view.timer3);
}
