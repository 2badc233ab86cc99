#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>

#include "WindowOnLine.h"
#include "window/qt/Contrast.h"

TEST(WindowOnPseudoTerminal, EachSpeedOptionSetsTheLineToItsSpeedNoParity8Data1Stop) {
    // {option, speed on the line}
    const std::pair<QRadioButton * WindowControls::*, speed_t> cases[] = {
        {&WindowControls::Option1, B9600},
        {&WindowControls::Option2, B19200},
        {&WindowControls::Option3, B115200},
    };
    for (const auto& [option, speed] : cases) {
        WindowOnLine w;
        SCOPED_TRACE((w.ui.*option)->objectName().toStdString());
        (w.ui.*option)->click();
        ASSERT_TRUE(w.open()) << (w.boxes.empty() ? "" : w.boxes.front().detail);
        const termios settings = w.line.lineSettings();
        EXPECT_EQ(cfgetospeed(&settings), speed);
        EXPECT_EQ(cfgetispeed(&settings), speed);
        EXPECT_EQ(settings.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), tcflag_t(0)) << "no parity, one stop bit";
    }
}

TEST(WindowOnPseudoTerminal, TheDisabledPortBoxOnGreenStaysReadable) {
    WindowOnLine w;
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    const QColor systemDisabledText = w.ui.txt0->palette().color(QPalette::Disabled, QPalette::Text);
    ASSERT_TRUE(w.open());

    QLineEdit* box = w.ui.txt0;
    EXPECT_FALSE(box->isEnabled());
    const QColor green(0, 255, 0);
    EXPECT_EQ(box->palette().color(QPalette::Disabled, QPalette::Base), green);
    const QColor text = box->palette().color(QPalette::Disabled, QPalette::Text);
    EXPECT_GE(contrastRatio(text, green), kSmallTextContrast);
    // Still paler than enabled text: the box looks disabled.
    EXPECT_NE(text, box->palette().color(QPalette::Active, QPalette::Text));

    // What is drawn: the text pixel that stands out most from the green is readable.
    const QImage picture = box->grab().toImage();
    double best = 1;
    for (int y = 3; y < picture.height() - 3; ++y)
        for (int x = 3; x < picture.width() - 3; ++x)
            best = std::max(best, contrastRatio(picture.pixelColor(x, y), green));
    EXPECT_GE(best, kReadableContrast);

    w.ui.BTNCloseCom->click();
    EXPECT_TRUE(box->isEnabled());
    EXPECT_EQ(box->palette().color(QPalette::Disabled, QPalette::Text), systemDisabledText);
}

// A download clicked with the mouse moves the focus on from the disabled button; Tab then Space
// from there must not reach the framing switch, which would end the transfer half-written.
TEST(WindowOnPseudoTerminal, TabThenSpaceDuringATransferLeavesModbusRtuChecked) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    WindowOnLine w;
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    ASSERT_TRUE(w.startDownload(folder, [&] { QTest::mouseClick(w.ui.Command3, Qt::LeftButton); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(w.ui.Check1->isChecked());
    w.window.logic().TMRComm_Timer(); // the tick that would take a switch to the machine
    EXPECT_EQ(w.window.logic().Machine().state(), State::RecordAwaited);
    EXPECT_TRUE(w.boxes.empty());
    // "Close" still ends it.
    w.ui.BTNCloseCom->click();
    EXPECT_EQ(w.window.logic().Machine().state(), State::Closed);
    EXPECT_TRUE(w.ui.Check1->isEnabled());
}
