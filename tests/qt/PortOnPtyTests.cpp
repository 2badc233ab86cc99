#include <QTest>
#include <gtest/gtest.h>
#include <string>

#include "PseudoTerminal.h"
#include "fakes/FakeFormView.h"
#include "window/frmSerial.h"
#include "window/qt/MainWindow.h"
#include "window/qt/QtSerialPortService.h"

namespace {

constexpr int kGenerousMs = 5000;

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

// Collects what the port receives until `count` bytes have come, polling as the window does.
std::string receiveThroughPort(QtSerialPortService& port, std::size_t count) {
    std::string received;
    // A short result shows in the caller's comparison, with the bytes that did come.
    (void)QTest::qWaitFor(
        [&] {
            if (port.inBufferCount() > 0)
                received += port.input();
            return received.size() >= count;
        },
        kGenerousMs);
    return received;
}

std::string receiveAtFarEnd(PseudoTerminal& line, std::size_t count) {
    std::string received;
    // A short result shows in the caller's comparison, with the bytes that did come.
    (void)QTest::qWaitFor(
        [&] {
            received += line.readFromPort();
            return received.size() >= count;
        },
        kGenerousMs);
    return received;
}

struct OpenPort {
    PseudoTerminal line;
    QtSerialPortService port;
    OpenPort() {
        port.setSettings("115200,n,8,1");
        port.setCommPath(line.slavePath());
        port.setPortOpen(true);
    }
};

} // namespace

TEST(PortOnPseudoTerminal, FrameFromWriteCOM32ArrivesAtTheFarEndByteForByte) {
    OpenPort p;
    ASSERT_TRUE(p.port.portOpen());
    FakeFormView view;
    view.text1 = "1";
    frmSerial form(view, p.port);

    EXPECT_EQ(form.WriteCOM32("BOOTi\r\n"), 10);
    EXPECT_EQ(receiveAtFarEnd(p.line, 10), bytes({
                                               0x01,                                     // address
                                               0x42, 0x4F, 0x4F, 0x54, 0x69, 0x0D, 0x0A, // "BOOTi" CR LF
                                               0xFC,                                     // CRC low
                                               0x89,                                     // CRC high
                                           }));
}

TEST(PortOnPseudoTerminal, EveryByteValueFromTheFarEndComesBackUnchanged) {
    OpenPort p;
    std::string everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte += static_cast<char>(value);

    p.line.writeToPort(bytes({0x00, 0xFF}));
    EXPECT_EQ(receiveThroughPort(p.port, 2), bytes({0x00, 0xFF}));
    EXPECT_EQ(p.port.inBufferCount(), 0);

    p.line.writeToPort(everyByte);
    EXPECT_EQ(receiveThroughPort(p.port, 256), everyByte);
    EXPECT_EQ(p.port.inBufferCount(), 0);
}

TEST(PortOnPseudoTerminal, ReopensAfterClosing) {
    OpenPort p;
    p.port.setPortOpen(false);
    EXPECT_FALSE(p.port.portOpen());
    p.port.setPortOpen(true);
    EXPECT_TRUE(p.port.portOpen());
    p.line.writeToPort("OK");
    EXPECT_EQ(receiveThroughPort(p.port, 2), "OK");
}

TEST(PortOnPseudoTerminal, MissingPathFailsWithAReason) {
    QtSerialPortService port;
    port.setCommPath("/dev/no-such-serial-port");
    try {
        port.setPortOpen(true);
        FAIL() << "opening a missing port succeeded";
    } catch (const PortError& error) {
        EXPECT_STRNE(error.what(), "");
    }
    EXPECT_FALSE(port.portOpen());
}

TEST(PortOnPseudoTerminal, ClosingTheWindowClosesAnOpenPort) {
    PseudoTerminal line;
    MainWindow window{
        DialogHooks{[](const MessageBoxRequest&) {}, [](const std::string&) { return std::string(); }}};
    auto& ui = window.controls();
    ui.txt0->setText(QString::fromStdString(line.slavePath()));
    ui.Text1->setText("0");
    ui.BTNOpenCom->click();
    ASSERT_TRUE(window.serialPort().portOpen());
    EXPECT_TRUE(ui.BTNCloseCom->isEnabled());
    EXPECT_TRUE(ui.TMRComm->isActive());

    window.close();
    EXPECT_FALSE(window.serialPort().portOpen());
}
