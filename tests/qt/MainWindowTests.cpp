#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "window/qt/MainWindow.h"
#include "window/qt/QtColour.h"
#include "window/qt/QtFormView.h"

namespace {

// The window with dialogs that answer at once and remember what they were asked.
struct WindowUnderTest {
    std::vector<MessageBoxRequest> boxes;
    std::vector<std::string> filters;
    std::string fileToChoose;
    MainWindow window{DialogHooks{[this](const MessageBoxRequest& box) { boxes.push_back(box); },
                                  [this](const std::string& filter) {
                                      filters.push_back(filter);
                                      return fileToChoose;
                                  }}};
    WindowControls& ui = window.controls();
};

std::map<Control, bool> enabledStates(const WindowControls& ui) {
    std::map<Control, bool> states;
    for (Control control : kControlOrder)
        states[control] = ui.isEnabled(control);
    return states;
}

} // namespace

TEST(MainWindowAtStart, ShowsTheDesignValues) {
    WindowUnderTest t;
    auto& ui = t.ui;
    EXPECT_EQ(t.window.windowTitle(), "BOOT DEVICE Ventrik V 1.6");
    EXPECT_EQ(t.window.size(), QSize(397, 123));
    EXPECT_EQ(t.window.minimumSize(), t.window.maximumSize());

    EXPECT_EQ(t.window.findChild<QLineEdit*>("txt(0)"), ui.txt0);
    EXPECT_EQ(ui.txt0->text(), "COM3");
    EXPECT_EQ(ui.Text1->text(), "");
    EXPECT_EQ(ui.Text2->text(), "10");
    EXPECT_EQ(ui.Text8->text(), "");
    EXPECT_EQ(ui.Label2->text(), "No info");
    EXPECT_EQ(ui.Command1->text(), "Set Addr");
    EXPECT_EQ(ui.Command3->text(), "Open File and  Download");
    EXPECT_EQ(ui.Command6->text(), "Install ");
    EXPECT_EQ(ui.Command5->text(), "Send");
    EXPECT_EQ(ui.Frame2->title(), "Comm's");
    EXPECT_EQ(ui.Frame4->title(), "Modbus RTU");
    EXPECT_EQ(ui.Label4->text(), "Speed 9600");
    EXPECT_EQ(ui.Label1_0->text(), "Port: (1-9)");

    EXPECT_TRUE(ui.Option3->isChecked());
    EXPECT_FALSE(ui.Option2->isChecked());
    EXPECT_FALSE(ui.Option1->isChecked());
    EXPECT_TRUE(ui.Check1->isChecked());

    EXPECT_EQ(ui.vbalProgressBar1->text(), "NO FILE");
    EXPECT_EQ(ui.vbalProgressBar1->barColour(), colours::Blue);
    EXPECT_EQ(ui.vbalProgressBar1->textColour(), colours::Black);
    EXPECT_EQ(ui.Pic->fillColour(), colours::Yellow);
    EXPECT_TRUE(ui.Pic->isVisibleTo(&t.window));

    EXPECT_FALSE(ui.Timer3->isActive());
    EXPECT_EQ(ui.Timer3->interval(), 200);
    EXPECT_FALSE(ui.TMRComm->isActive());
    EXPECT_EQ(ui.TMRComm->interval(), 20);
    EXPECT_EQ(ui.TMRComm->timerType(), Qt::PreciseTimer);
}

TEST(MainWindowAtStart, PortBoxAndOpenAreEnabledCloseIsNotAndThePortBoxHasTheFocus) {
    WindowUnderTest t;
    EXPECT_EQ(t.ui.tag(Control::txt0), "NO");
    EXPECT_EQ(t.ui.tag(Control::BTNOpenCom), "NO");
    EXPECT_EQ(t.ui.tag(Control::BTNCloseCom), "NC");
    EXPECT_TRUE(t.ui.txt0->isEnabled());
    EXPECT_TRUE(t.ui.BTNOpenCom->isEnabled());
    EXPECT_FALSE(t.ui.BTNCloseCom->isEnabled());

    t.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.window));
    EXPECT_EQ(QApplication::focusWidget(), t.ui.txt0);
}

TEST(MainWindowAtStart, SendButtonLiesOutsideTheClientAreaAndTakesNoFocus) {
    WindowUnderTest t;
    EXPECT_FALSE(t.window.rect().intersects(t.ui.Command5->geometry()));
    EXPECT_EQ(t.ui.Command5->focusPolicy(), Qt::NoFocus);
}

TEST(MainWindowLayout, ControlsSitAtTheirDesignPlaces) {
    WindowUnderTest t;
    auto& ui = t.ui;
    // Twips / 15, inside a frame counted from the frame's corner.
    EXPECT_EQ(ui.Frame4->geometry(), QRect(296, 0, 101, 57));
    EXPECT_EQ(ui.Frame3->geometry(), QRect(0, 56, 397, 65));
    EXPECT_EQ(ui.Command3->parentWidget(), ui.Frame2);
    EXPECT_EQ(ui.Command3->geometry(), QRect(108, 32, 137, 17));
    EXPECT_EQ(ui.Command1->parentWidget(), ui.Frame4);
    EXPECT_EQ(ui.Command1->geometry(), QRect(40, 35, 53, 17));
    EXPECT_EQ(ui.vbalProgressBar1->geometry(), QRect(8, 16, 381, 17));
    EXPECT_EQ(ui.Option3->geometry(), QRect(220, 0, 13, 13));
    EXPECT_EQ(ui.Text8->parentWidget(), &t.window);
    EXPECT_EQ(ui.Text8->geometry(), QRect(48, 94, 341, 19));
}

TEST(MainWindowLayout, AnswerBoxIsDrawnInFrontOfTheStatusFrame) {
    WindowUnderTest t;
    const QPoint inside = t.ui.Text8->geometry().center();
    EXPECT_TRUE(t.ui.Frame3->geometry().contains(inside));
    QWidget* top = t.window.childAt(inside);
    EXPECT_TRUE(top == t.ui.Text8 || t.ui.Text8->isAncestorOf(top));
}

TEST(MainWindowLayout, SpeedOptionsAreOneGroup) {
    WindowUnderTest t;
    t.ui.Option1->click();
    EXPECT_TRUE(t.ui.Option1->isChecked());
    EXPECT_FALSE(t.ui.Option3->isChecked());
    EXPECT_FALSE(t.ui.Option2->isChecked());
}

TEST(SwitchTags, FlipsOnlyTheTaggedControlsAndTwiceRestoresEveryControl) {
    WindowUnderTest t;
    const auto before = enabledStates(t.ui);

    t.window.logic().SwitchTags();
    auto once = enabledStates(t.ui);
    for (Control control : kControlOrder) {
        const bool tagged = !t.ui.tag(control).empty();
        EXPECT_EQ(once[control], tagged ? !before.at(control) : before.at(control));
    }
    EXPECT_FALSE(t.ui.txt0->isEnabled());
    EXPECT_FALSE(t.ui.BTNOpenCom->isEnabled());
    EXPECT_TRUE(t.ui.BTNCloseCom->isEnabled());

    t.window.logic().SwitchTags();
    EXPECT_EQ(enabledStates(t.ui), before);
}

TEST(WindowView, AnswerBoxShowsEveryReceivedByteAsOneCharacter) {
    WindowUnderTest t;
    std::string everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte += static_cast<char>(value);
    QtFormView view(t.ui, {});
    view.setText8Text(everyByte);
    const QString shown = t.ui.Text8->text();
    ASSERT_EQ(shown.size(), 256);
    for (int value = 0; value < 256; ++value)
        EXPECT_EQ(shown.at(value).unicode(), value);
}

TEST(WindowView, PortBoxTurnsGreenAndBackToTheSystemBackground) {
    WindowUnderTest t;
    QtFormView view(t.ui, {});
    const QColor systemBase = t.ui.txt0->palette().color(QPalette::Base);
    view.setTxtBackColor(0, colours::PureGreen);
    EXPECT_EQ(t.ui.txt0->palette().color(QPalette::Base), QColor(0, 255, 0));
    view.setTxtBackColor(0, colours::WindowBackground);
    EXPECT_EQ(t.ui.txt0->palette().color(QPalette::Base), systemBase);
}

TEST(WindowView, ColoursKeepRedInTheLowestByte) {
    const QPalette palette;
    EXPECT_EQ(toQColor(colours::Red, palette), QColor(255, 0, 0));
    EXPECT_EQ(toQColor(colours::Navy, palette), QColor(0, 0, 128));
    EXPECT_EQ(toQColor(colours::MediumGreen, palette), QColor(0, 192, 0));
    EXPECT_EQ(toQColor(colours::WindowBackground, palette), palette.color(QPalette::Active, QPalette::Base));
}

TEST(WindowView, PipeFiltersBecomeQtFilters) {
    EXPECT_EQ(QtFormView::qtFileFilter("HEX files (*.hex)|*.hex"), "HEX files (*.hex)");
    EXPECT_EQ(QtFormView::qtFileFilter("Text|*.txt;*.log|All (*.*)|*.*"), "Text (*.txt *.log);;All (*.*)");
}

TEST(WindowView, ProgressBarFillsByValueAndNeverBeyondItsFrame) {
    TextProgressBar bar;
    bar.resize(102, 17);
    bar.setMaximum(4);
    bar.setValue(1);
    EXPECT_EQ(bar.filledWidth(), 25);
    bar.setValue(9);
    EXPECT_EQ(bar.filledWidth(), 100);
    bar.setMaximum(0);
    bar.setValue(1);
    EXPECT_EQ(bar.filledWidth(), 100);
    bar.setValue(0);
    EXPECT_EQ(bar.filledWidth(), 0);
}

TEST(WindowEvents, FailedOpeningShowsItsBoxWithTheApplicationTitleAndLeavesThePortClosedLook) {
    WindowUnderTest t;
    t.ui.txt0->setText("/dev/no-such-port-here");
    t.ui.BTNOpenCom->click();
    ASSERT_EQ(t.boxes.size(), 1u);
    EXPECT_EQ(t.boxes[0].text,
              "/dev/no-such-port-here Not available! Use Serial settings to setup your ports.");
    EXPECT_EQ(t.boxes[0].title, "BOOT DEVICE Ventrik V 1.6");
    EXPECT_EQ(t.boxes[0].icon, FormView::Icon::None);
    EXPECT_FALSE(t.boxes[0].detail.empty());
    EXPECT_EQ(t.ui.Label2->text(), "Not present board");
    EXPECT_TRUE(t.ui.BTNOpenCom->isEnabled());
    EXPECT_FALSE(t.ui.BTNCloseCom->isEnabled());
    EXPECT_FALSE(t.ui.Timer3->isActive());
}

TEST(WindowEvents, DownloadAsksForHexFilesAndACancelledChoiceSaysCancel) {
    WindowUnderTest t;
    t.ui.Command3->click();
    ASSERT_EQ(t.filters.size(), 1u);
    EXPECT_EQ(t.filters[0], "HEX files (*.hex)");
    ASSERT_EQ(t.boxes.size(), 1u);
    EXPECT_EQ(t.boxes[0].text, "Cancel");
    EXPECT_EQ(t.boxes[0].title, "BOOT DEVICE Ventrik V 1.6");
}

TEST(WindowEvents, ClickOnTheHiddenSendButtonPastTheLastRecordEndsQuietly) {
    WindowUnderTest t;
    t.window.logic().RecordIndex = frmSerial::kMaxRecords;
    EXPECT_NO_THROW(t.ui.Command5->click());
    EXPECT_TRUE(t.boxes.empty());
}

TEST(MainWindowLayout, TabOrderFollowsTheDesign) {
    WindowUnderTest t;
    auto& ui = t.ui;
    const std::vector<QWidget*> design = {
        ui.txt0,  ui.BTNOpenCom, ui.BTNCloseCom, ui.Command3, ui.Command4, ui.Command6, ui.Text8,  ui.Check1,
        ui.Text1, ui.Text2,      ui.Command1,    ui.Command2, ui.Option1,  ui.Option2,  ui.Option3};
    std::vector<QWidget*> chain;
    QWidget* next = ui.txt0;
    do {
        if (next->focusPolicy() & Qt::TabFocus)
            chain.push_back(next);
        next = next->nextInFocusChain();
    } while (next != ui.txt0);
    EXPECT_EQ(chain, design);
}
