#include <string>
#include <tuple>
#include <vector>

#include "TransferSupport.h"
#include "support/IntelHexRecord.h"

namespace {
const std::string kNoRecords = "Input past end of file: the file holds no records";
const std::string kNotRegular = "Path/File access error: not a regular file";
} // namespace

TEST_F(Transfer, ThreeLineFileIsDownloadedThenVerified) {
    chooseFile("three.hex", kThreeLines);
    const struct {
        const char* reply; // none: the download is started
        std::string sent;  // empty: nothing
        const char* barText;
        int barValue;
        State after;
    } steps[] = {
        {nullptr, record(L1), "DOWNLOAD", 1, State::RecordAwaited},
        {"OK", record(L2), "DOWNLOAD", 2, State::RecordAwaited},
        {"OK", record(L3), "DOWNLOAD", 3, State::RecordAwaited},
        {"DOWNLOAD", record(verifyForm(L1)), "VERIFY", 1, State::RecordAwaited},
        {"OK", record(verifyForm(L2)), "VERIFY", 2, State::RecordAwaited},
        {"OK", record(verifyForm(L3)), "VERIFY", 3, State::RecordAwaited},
        {"DOWNLOAD", "", "END", 3, State::Ended},
        // The transfer is over: neither an "OK" nor a pass end sends anything now.
        {"OK", "", "END", 3, State::Ended},
        {"DOWNLOAD", "", "END", 3, State::Ended},
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
        EXPECT_EQ(state(), step.after);
        // A board that answers within its time is waited for; nothing is sent meanwhile.
        wait(std::chrono::milliseconds(4900));
    }
    EXPECT_EQ(view.dialogFilter, "HEX files (*.hex)|*.hex");
    EXPECT_EQ(view.barMax, 3);
    EXPECT_TRUE(view.command5Enabled);
    EXPECT_EQ(form.RecordCount, 3);
    EXPECT_EQ(view.barColor, colours::PureGreen);
    EXPECT_TRUE(view.boxes.empty());
}

// The last of 9000 records goes out, and its "OK" sends nothing more: only the pass end moves on.
TEST_F(Transfer, FileOf9000LinesIsSentToItsEndAndNotAgain) {
    std::vector<std::string> lines = oneByteRecords(1, 8999);
    lines.push_back(L3);
    chooseFile("full.hex", textOf(lines));
    view.check1 = false; // plain mode keeps the transcript short
    for (const std::string& line : lines)
        port.expectWrite("BOOT" + line + "\r\n");
    form.Command3_Click();
    for (int k = 1; k <= 9000; ++k) {
        port.arrive("OK\r\n");
        form.TMRComm_Timer();
    }
    EXPECT_EQ(view.barValue, 9000);
    EXPECT_EQ(state(), State::PassEndAwaited);
    port.expectWrite("BOOT" + verifyForm(lines[0]) + "\r\n");
    port.arrive("DOWNLOAD\r\n");
    form.TMRComm_Timer();
}

// A refused or cancelled choice sends nothing and keeps the file loaded before; a shorter file
// then sends only its own lines, here in a verify alone.
TEST_F(Transfer, RefusedOrCancelledChoiceKeepsTheLoadedFile) {
    form.Command2_Click(); // a cancelled dialog changes nothing
    EXPECT_EQ(view.boxes, (Boxes{{"Cancel"}}));
    EXPECT_EQ(state(), State::Idle);
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
        {chooseFile("end.hex", L3), {"the file holds no data record", Icon::Critical, "Error#321"}},
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
    EXPECT_EQ(port.written.size(), 2u); // the probe and record 1

    view.cancelError = false; // the last choice, taken this time to verify alone
    port.expectWrite(record(verifyForm(L2)));
    form.Command2_Click();
    EXPECT_EQ(view.barText, "VERIFY");
    port.expectWrite(record(verifyForm(L3)));
    deviceSays("OK");
    deviceSays("OK"); // after its own two lines nothing more: the table's third line is never sent
    EXPECT_EQ(form.HexRecords[2], L3); // the table keeps the colon; only the sent copy is marked
}

// The sender marks every colon of the line it sends; the table keeps the line as it was.
TEST_F(Transfer, VerifyRecordMarksEveryColon) {
    form.ReadFirmware = [](const std::string&) {
        IntelHexFile file;
        file.lines = {"a:b:c"};
        return file;
    };
    view.dialogFile = "any.hex";
    port.expectWrite(record("a#b#c"));
    form.Command2_Click();
    EXPECT_EQ(form.HexRecords[1], "a:b:c");
}

// While a record or a command waits for its answer, every other way to send is refused and shown
// disabled; the board's answer then brings exactly one record.
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
        {"Send", Control::Command5, &frmSerial::Command5_Click},
    };
    view.dialogFilter.clear();
    for (const auto& row : clicks) {
        SCOPED_TRACE(row.caption);
        EXPECT_EQ(view.isEnabled(row.button), row.button == Control::Command5);
        EXPECT_EQ(view.dialogFilter, ""); // no dialog opened
        (form.*row.click)();              // the port script expects nothing
        EXPECT_TRUE(view.boxes.empty());
        EXPECT_TRUE(view.pauses.empty());
        EXPECT_EQ(state(), State::RecordAwaited);
        EXPECT_EQ(form.Machine().transfer().record, 1);
    }
    // Nor may the framing switch or the address boxes change under the record: a stray key there
    // would end the transfer.
    const Control settings[] = {Control::Check1, Control::Text1, Control::Text2};
    for (const Control setting : settings)
        EXPECT_FALSE(view.isEnabled(setting)) << static_cast<int>(setting);
    port.expectWrite(record(L2));
    deviceSays("OK");
    deviceSays("ERROR");
    for (const auto& row : clicks)
        EXPECT_TRUE(view.isEnabled(row.button)) << row.caption;
    for (const Control setting : settings)
        EXPECT_TRUE(view.isEnabled(setting)) << static_cast<int>(setting);

    // An "OK" while the dialog is open takes up the refused record again: the file chosen then is
    // not loaded.
    view.whileDialogOpen = [this] {
        port.expectWrite(record(L2));
        clock += std::chrono::milliseconds(200); // later than a second board's answer would come
        deviceSays("OK");
    };
    form.Command3_Click();
    EXPECT_EQ(form.RecordCount, 3);
    EXPECT_EQ(state(), State::RecordAwaited);
}
