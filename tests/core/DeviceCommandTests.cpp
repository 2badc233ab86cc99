#include <string>
#include <tuple>

#include "WindowTestSupport.h"
#include "protocol/InstallVerdict.h"

using DeviceCommands = DeviceOneTest;

TEST_F(DeviceCommands, SetAddrSendsTheLowestByteInHex) {
    const struct {
        const char* text2;
        const char* digits; // empty: nothing is sent
    } table[] = {
        {"10", "0A"},  {"0", ""},           {"256", ""},         {"", ""},      {"abc", ""},
        {"255", "FF"}, {"-1", "FF"},        {"2.5", "02"},       {"3.5", "04"}, {"&H1F", "1F"},
        {"300", "2C"}, {"99999999999", ""}, {"&H123456789", ""}, {"1e999", ""}, // the last three overflow
    };
    for (const auto& row : table) {
        view.text2 = row.text2;
        if (*row.digits)
            port.expectWrite(request(1, std::string("BOOT$") + row.digits + "\r\n"));
        EXPECT_NO_THROW(form.Command1_Click()) << row.text2;
        EXPECT_TRUE(port.scriptUsedUp()) << row.text2;
        EXPECT_EQ(view.text1, "1");
        if (*row.digits)
            deviceSays("OK"); // it answers the command, and the next may go out
    }
}

// While the board's answer to "?" is awaited nothing else may go out, and neither the framing nor
// the addresses may change: the controls say so until the answer comes.
TEST_F(DeviceCommands, ACommandAwaitingItsAnswerDisablesTheSendingButtonsAndTheSettings) {
    const Control held[] = {Control::Command1, Control::Command2, Control::Command3, Control::Command4,
                            Control::Command6, Control::Check1,   Control::Text1,    Control::Text2};
    port.expectWrite(request(1, "BOOTi\r\n"));
    form.Command4_Click();
    for (const Control control : held)
        EXPECT_FALSE(view.isEnabled(control)) << static_cast<int>(control);
    EXPECT_TRUE(view.isEnabled(Control::BTNCloseCom));
    deviceSays("VER=1.0");
    for (const Control control : held)
        EXPECT_TRUE(view.isEnabled(control)) << static_cast<int>(control);
}

// The board's "OK" to "BOOTg" comes during the pause, before "VER" goes out: it still answers the
// install, as the version reply after it does; no record follows either.
TEST_F(DeviceCommands, InstallSendsTwoFramesOneSecondApart) {
    const std::size_t before = port.written.size();
    const ReplyTally repliesBefore = form.Machine().replies();
    std::size_t writtenDuringPause = 0;
    view.duringPause = [&] {
        writtenDuringPause = port.written.size() - before;
        port.arrive(reply(1, "OK"));
    };
    port.expectWrite(request(1, "BOOTg\r\n"));
    port.expectWrite(request(1, "VER\r\n"));
    form.Command6_Click();
    EXPECT_EQ(view.pauses, std::vector<int>{1000});
    EXPECT_EQ(writtenDuringPause, 1u);
    deviceSays("VER=1.0");
    const ReplyTally answers = form.Machine().replies().since(repliesBefore);
    EXPECT_EQ(std::tuple(answers.of(ReplyKeyword::Accepted), answers.of(ReplyKeyword::Version)),
              std::tuple(1, 1));
    EXPECT_EQ(judgeInstall(answers, false), InstallVerdict::Started);
    EXPECT_EQ(view.barText, "NO FILE");
}

// The first keyword in the order "VER=", "ERROR", "DOWNLOAD", "FORMAT", "OK" decides, wherever it
// stands in the reply; case counts.
TEST(ReplyKeywords, TheFirstKeywordInTheirOrderDecides) {
    const std::pair<const char*, ReplyKeyword> rows[] = {
        {"OK VER=1", ReplyKeyword::Version}, {"DOWNLOAD ERROR", ReplyKeyword::Error},
        {"OK FORMAT", ReplyKeyword::Format}, {"DOWNLOAD OK", ReplyKeyword::PassEnd},
        {"ok", ReplyKeyword::None},          {"OK\r\n", ReplyKeyword::Accepted},
    };
    for (const auto& [payload, keyword] : rows)
        EXPECT_EQ(decidingKeyword(payload), keyword) << payload;
}

// Only the board's "OK" to the start command says that its application starts.
TEST(InstallVerdicts, OnlyTheBoardsOkIsSuccess) {
    const struct {
        const char* name;
        std::vector<std::string> replies;
        bool waitOver;
        InstallVerdict verdict;
    } rows[] = {
        {"OK, then the version", {"OK", "VER=1.0"}, false, InstallVerdict::Started},
        {"OK, the application silent", {"OK"}, true, InstallVerdict::Started},
        {"OK so far", {"OK"}, false, InstallVerdict::Pending},
        {"ERROR", {"ERROR"}, false, InstallVerdict::Refused},
        {"OK, then ERROR", {"OK", "ERROR 5"}, true, InstallVerdict::Refused},
        {"the version alone", {"VER=1.0"}, false, InstallVerdict::Unconfirmed},
        {"texts without a keyword", {"ok", "hello"}, true, InstallVerdict::Unconfirmed},
        {"nothing", {}, true, InstallVerdict::Silent},
    };
    for (const auto& row : rows) {
        ReplyTally tally;
        for (const std::string& reply : row.replies)
            tally.add(decidingKeyword(reply));
        EXPECT_EQ(judgeInstall(tally, row.waitOver), row.verdict) << row.name;
    }
}
