#pragma once

#include <QTest>

#include "console/EmulatorTest.h"
#include "window/qt/MainWindow.h"

// The real main window, with its real timers and Qt serial port, against the device emulator at
// address 5 on a pseudo-terminal of its own, its flash starting just below a 64 KiB boundary. The
// window's dialogs never block: message boxes are collected, and the file chooser answers with the
// test's HEX file.
class EndToEnd : public EmulatorTest {
  protected:
    EndToEnd() : EmulatorTest({"--address", "5", "--flash-start", "0x0800FF00", "--flash-size", "64K"}) {}
    void SetUp() override {
        EmulatorTest::SetUp();
        // CR LF between the lines and none after the last, as an editor may leave it.
        writeImage(image, "firmware.hex", false);
        window.show();
    }

    // Runs the event loop until `condition` holds. The bound only ends a test that hangs.
    static bool waitUntil(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, 90000);
    }

    // Puts the port and the device address into their boxes and presses "Open".
    void open(const QString& address) {
        ui.txt0->setText(QString::fromStdString(portPath));
        ui.Text1->setText(address);
        ui.BTNOpenCom->click();
    }
    // Waits for the version reply that ends a connection wait or answers "?".
    testing::AssertionResult ready() {
        if (waitUntil([this] { return ui.Label2->text() == "READY"; }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << "status " << ui.Label2->text().toStdString() << ", messages " << messages;
    }
    // Opening at address 0 starts no connection wait; a single "?" then brings exactly one reply
    // before a transfer, where a wait could send a second probe on a slow machine.
    testing::AssertionResult connect(const std::vector<std::string>& options) {
        portPath = startEmulator(options);
        open("0");
        ui.Text1->setText("5");
        ui.Command4->click();
        return ready();
    }
    // Presses "Download" and waits for "END" or "ERROR".
    testing::AssertionResult download() {
        ui.Command3->click();
        if (waitUntil([this] { return bar.text() == "END" || bar.text() == "ERROR"; }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "bar " << bar.text().toStdString() << " at " << bar.value();
    }
    // 16 records below the boundary, an address record and 8 above it.
    const HexImage image = makeHexImage(24, 0x0800FF00, 0x10000);
    std::string portPath; // the emulator's pseudo-terminal
    // The texts of the message boxes shown so far.
    std::string messages;
    MainWindow window{DialogHooks{
        [this](const MessageBoxRequest& box) { messages += "[" + box.text + " " + box.detail + "] "; },
        [this](const std::string&) { return path("firmware.hex"); }}};
    WindowControls& ui = window.controls();
    TextProgressBar& bar = *ui.vbalProgressBar1;
};
