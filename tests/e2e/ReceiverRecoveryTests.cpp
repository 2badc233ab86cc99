#include "EndToEnd.h"

namespace {

// Faults that lose no reply: the transfer must run to its end with the flash right. When the
// emulator logs the fault, `evidenceInLog` shows that it really happened.
class EndToEndRecovery : public EndToEnd {
  protected:
    void expectTransferSurvives(const QStringList& faults, const QString& evidenceInLog = {}) {
        ASSERT_TRUE(connect(QStringList{"--verbose"} + faults));
        ASSERT_TRUE(download());
        EXPECT_EQ(bar.text(), "END");
        EXPECT_TRUE(flashAtExit() == image.flash);
        const QString log = QString::fromLocal8Bit(device.readAllStandardError());
        EXPECT_TRUE(log.contains(evidenceInLog)) << "the fault never happened; log:\n" << log.toStdString();
    }
};

} // namespace

// "FORMAT" and the "OK" after the erase reach the host in one write: both frames are in the
// buffer together and each must be handed over in turn.
TEST_F(EndToEndRecovery, TwoRepliesGluedIntoOneWriteAreBothTaken) {
    expectTransferSurvives({"--glue-every", "3"}, "glued two replies into one write");
}

// Zero bytes in front of every other reply, as a bus transceiver makes them when it turns round.
TEST_F(EndToEndRecovery, StrayBytesBeforeRepliesAreSkipped) {
    expectTransferSurvives({"--stray-every", "2", "--stray-bytes", "3"});
}

// Reply 3 ("FORMAT") and reply 6 (the "OK" to the third data record) come with a wrong CRC.
// The corrupted "FORMAT" must not block the "OK" behind it. The corrupted "OK" leaves record 4
// without an answer: the transfer stops after the stall limit with one box naming it, and nothing
// more is sent. The receiver must still take the next good reply behind the corrupted one.
TEST_F(EndToEndRecovery, AGoodReplyBehindACorruptedOneIsTaken) {
    window.logic().ReplyStallLimit = std::chrono::seconds(2);
    ASSERT_TRUE(connect({"--corrupt-every", "3"}));
    ui.Command3->click();
    ASSERT_TRUE(waitUntil([&] { return bar.text() == "ERROR"; }))
        << bar.text().toStdString() << " at " << bar.value();
    // Records 1 to 4 went out: the "OK" behind the corrupted "FORMAT" brought record 3.
    EXPECT_EQ(bar.value(), 4);
    EXPECT_EQ(messages, "[No answer to record 4 of " + std::to_string(image.lines.size()) +
                            " during DOWNLOAD for 2 s: the transfer was stopped. ] ");

    ui.Command4->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("VER="); }))
        << ui.Text8->text().toStdString();
    EXPECT_EQ(bar.value(), 4);
}
