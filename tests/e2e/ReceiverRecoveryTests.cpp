#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "EmulatorProcess.h"
#include "FirmwareImage.h"
#include "WindowUnderTest.h"

namespace {

// The emulator's faults hit every n-th reply, so each test needs to know which reply is which.
// Opening at address 0 starts no connection wait; a single "?" then brings exactly one reply
// before the transfer, where a wait could send a second probe on a slow machine.
// The replies then run: 1 version, 2 "OK" to the address record, 3 "FORMAT" and 4 "OK" to the
// first data record, then one "OK" per record.
void connectWithOneProbe(WindowUnderTest& window, const EmulatorProcess& device) {
    auto& ui = window.ui();
    window.open(device.portPath(), "0");
    ui.Text1->setText("5");
    ui.Command4->click();
    ASSERT_TRUE(window.waitForReady()) << window.messageTexts();
}

struct FaultRun {
    QTemporaryDir dir;
    FirmwareImage image = sampleFirmware();
    QString dumpPath = dir.filePath("flash.bin");

    FaultRun() { writeWithoutFinalLineEnd(hexPath(), image.lines); }
    std::string hexPath() const { return dir.filePath("firmware.hex").toStdString(); }
    QStringList emulatorOptions(const QStringList& faults) const {
        return QStringList{"--address", "5", "--dump", dumpPath, "--verbose"} + flashOptions(image.layout) +
               faults;
    }
};

// A fault that loses no reply: the transfer must run to its end with the flash right. When the
// emulator logs the fault, `evidenceInLog` shows that it really happened.
void expectTransferSurvives(const QStringList& faults, const QString& evidenceInLog = {}) {
    FaultRun run;
    ASSERT_TRUE(run.dir.isValid());
    EmulatorProcess device(run.emulatorOptions(faults));
    WindowUnderTest window;
    auto& ui = window.ui();
    window.fileToChoose = run.hexPath();
    ASSERT_NO_FATAL_FAILURE(connectWithOneProbe(window, device));

    ui.Command3->click();

    ASSERT_TRUE(window.waitForTransferEnd())
        << "bar: " << ui.vbalProgressBar1->text().toStdString() << " at " << ui.vbalProgressBar1->value();
    EXPECT_EQ(ui.vbalProgressBar1->text(), "END");
    EXPECT_EQ(ui.vbalProgressBar1->barColour(), 65280u);
    ASSERT_TRUE(device.stop());
    EXPECT_TRUE(readWholeFile(run.dumpPath.toStdString()) == run.image.flash);
    EXPECT_TRUE(device.log().contains(evidenceInLog)) << "the fault never happened; log:\n"
                                                      << device.log().toStdString();
}

} // namespace

// "FORMAT" and the "OK" after the erase reach the host in one write: both frames are in the
// buffer together and each must be handed over in turn.
TEST(EndToEndReceiverRecovery, TwoRepliesGluedIntoOneWriteAreBothTaken) {
    expectTransferSurvives({"--glue-every", "3"}, "glued two replies into one write");
}

// Zero bytes in front of every other reply, as a bus transceiver makes them when it turns round.
TEST(EndToEndReceiverRecovery, StrayBytesBeforeRepliesAreSkipped) {
    expectTransferSurvives({"--stray-every", "2", "--stray-bytes", "3"});
}

// Reply 3 ("FORMAT") and reply 6 (the "OK" to the third data record) come with a wrong CRC.
// The corrupted "FORMAT" must not block the "OK" behind it. The corrupted "OK" stalls the transfer,
// which the device alone paces; that cannot be told from a slow device, so the host waits. The
// receiver must still take the next good reply behind the corrupted one.
TEST(EndToEndReceiverRecovery, AGoodReplyBehindACorruptedOneIsTaken) {
    FaultRun run;
    ASSERT_TRUE(run.dir.isValid());
    EmulatorProcess device(run.emulatorOptions({"--corrupt-every", "3"}));
    WindowUnderTest window;
    auto& ui = window.ui();
    window.fileToChoose = run.hexPath();
    ASSERT_NO_FATAL_FAILURE(connectWithOneProbe(window, device));

    ui.Command3->click();

    // Records 1 to 4 went out: the "OK" behind the corrupted "FORMAT" brought record 3.
    ASSERT_TRUE(waitUntil([&] { return ui.vbalProgressBar1->value() == 4; }))
        << "bar: " << ui.vbalProgressBar1->text().toStdString() << " at " << ui.vbalProgressBar1->value();

    ui.Command4->click();

    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("VER="); }))
        << "answer box: " << ui.Text8->text().toStdString();
    // The corrupted "OK" was not taken for one: no fifth record went out.
    EXPECT_EQ(ui.vbalProgressBar1->value(), 4);
    EXPECT_EQ(ui.vbalProgressBar1->text(), "DOWNLOAD");
    EXPECT_TRUE(window.messages.empty()) << window.messageTexts();
}
