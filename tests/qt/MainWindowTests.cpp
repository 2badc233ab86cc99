#include <QApplication>
#include <QTest>
#include <array>
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
    MainWindow window{DialogHooks{[this](const MessageBoxRequest& box) { boxes.push_back(box); },
                                  [this](const std::string& filter) {
                                      filters.push_back(filter);
                                      return std::string();
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

TEST(MainWindowAtStart, ShowsTheDesignValuesWithThePortBoxFocused) {
    WindowUnderTest t;
    auto& ui = t.ui;
    EXPECT_EQ(t.window.windowTitle(), "BOOT DEVICE Ventrik V 1.6");
    EXPECT_EQ(t.window.size(), QSize(397, 123));
    EXPECT_EQ(t.window.minimumSize(), t.window.maximumSize());

    // "design name=text": frames show a title, the other controls a text.
    for (const std::string entry :
         {"txt(0)=COM3", "Text1=", "Text2=10", "Text8=", "Label2=No info", "Command1=Set Addr",
          "Command3=Open File and  Download", "Command6=Install ", "Command5=Send", "Frame2=Comm's",
          "Frame4=Modbus RTU", "Label4=Speed 9600", "Label1(0)=Port: (1-9)"}) {
        const auto equals = entry.find('=');
        QWidget* widget = t.window.findChild<QWidget*>(QString::fromStdString(entry.substr(0, equals)));
        ASSERT_NE(widget, nullptr) << entry;
        EXPECT_EQ(widget->property(widget->inherits("QGroupBox") ? "title" : "text").toString().toStdString(),
                  entry.substr(equals + 1));
    }
    EXPECT_EQ((std::array{ui.Option1->isChecked(), ui.Option2->isChecked(), ui.Option3->isChecked()}),
              (std::array{false, false, true}));
    EXPECT_TRUE(ui.Check1->isChecked());

    EXPECT_EQ(ui.vbalProgressBar1->text(), "NO FILE");
    EXPECT_EQ(ui.vbalProgressBar1->barColour(), colours::Blue);
    EXPECT_EQ(ui.vbalProgressBar1->textColour(), colours::Black);
    EXPECT_EQ(ui.Pic->fillColour(), colours::Yellow);
    EXPECT_TRUE(ui.Pic->isVisibleTo(&t.window));

    // {running, interval in ms, kind}
    EXPECT_EQ(std::tuple(ui.Timer3->isActive(), ui.Timer3->interval()), std::tuple(false, 200));
    EXPECT_EQ(std::tuple(ui.TMRComm->isActive(), ui.TMRComm->interval(), ui.TMRComm->timerType()),
              std::tuple(false, 20, Qt::PreciseTimer));

    // Only the port box and Open are usable before a port is open; SwitchTags flips them by tag.
    EXPECT_EQ(ui.tag(Control::txt0), "NO");
    EXPECT_EQ(ui.tag(Control::BTNOpenCom), "NO");
    EXPECT_EQ(ui.tag(Control::BTNCloseCom), "NC");
    EXPECT_TRUE(ui.txt0->isEnabled());
    EXPECT_TRUE(ui.BTNOpenCom->isEnabled());
    EXPECT_FALSE(ui.BTNCloseCom->isEnabled());
    t.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.window));
    EXPECT_EQ(QApplication::focusWidget(), ui.txt0);
}

TEST(SwitchTags, FlipsOnlyTheTaggedControlsAndTwiceRestoresEveryControl) {
    WindowUnderTest t;
    const auto before = enabledStates(t.ui);

    t.window.logic().SwitchTags();
    auto once = enabledStates(t.ui);
    for (Control control : kControlOrder)
        EXPECT_EQ(once[control], t.ui.tag(control).empty() ? before.at(control) : !before.at(control));

    t.window.logic().SwitchTags();
    EXPECT_EQ(enabledStates(t.ui), before);
}

TEST(MainWindowLayout, ControlsSitAtTheirDesignPlacesInTheDesignTabOrder) {
    WindowUnderTest t;
    auto& ui = t.ui;
    // Twips / 15, inside a frame counted from the frame's corner.
    const std::vector<std::tuple<QWidget*, QWidget*, QRect>> places = {
        {ui.Frame4, &t.window, QRect(296, 0, 101, 57)},
        {ui.Frame3, &t.window, QRect(0, 56, 397, 65)},
        {ui.Command3, ui.Frame2, QRect(108, 32, 137, 17)},
        {ui.Command1, ui.Frame4, QRect(40, 35, 53, 17)},
        {ui.vbalProgressBar1, ui.Frame3, QRect(8, 16, 381, 17)},
        {ui.Option3, ui.Frame2, QRect(220, 0, 13, 13)},
        {ui.Text8, &t.window, QRect(48, 94, 341, 19)}};
    for (const auto& [widget, parent, place] : places) {
        SCOPED_TRACE(widget->objectName().toStdString());
        EXPECT_EQ(widget->parentWidget(), parent);
        EXPECT_EQ(widget->geometry(), place);
    }
    // The hidden Send button lies outside the client area and is never reached by the keyboard.
    EXPECT_FALSE(t.window.rect().intersects(ui.Command5->geometry()));
    EXPECT_EQ(ui.Command5->focusPolicy(), Qt::NoFocus);
    // The answer box is drawn in front of the status frame it overlaps.
    const QPoint inside = ui.Text8->geometry().center();
    EXPECT_TRUE(ui.Frame3->geometry().contains(inside));
    QWidget* top = t.window.childAt(inside);
    EXPECT_TRUE(top == ui.Text8 || ui.Text8->isAncestorOf(top));

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

    // The speed options are one group: choosing one clears the others.
    ui.Option1->click();
    EXPECT_EQ((std::array{ui.Option1->isChecked(), ui.Option2->isChecked(), ui.Option3->isChecked()}),
              (std::array{true, false, false}));
}

TEST(WindowView, ShowsEveryReceivedByteAsOneCharacterAndColoursWithRedInTheLowestByte) {
    const QPalette palette;
    // The design's numbers hold red in the lowest byte and blue in the highest.
    EXPECT_EQ((std::array{toQColor(colours::Red, palette), toQColor(colours::MediumGreen, palette),
                          toQColor(colours::Navy, palette)}),
              (std::array{QColor(255, 0, 0), QColor(0, 192, 0), QColor(0, 0, 128)}));
    EXPECT_EQ(toQColor(colours::WindowBackground, palette), palette.color(QPalette::Active, QPalette::Base));

    WindowUnderTest t;
    QtFormView view(t.ui, {});
    const QColor systemBase = t.ui.txt0->palette().color(QPalette::Base);
    view.setTxtBackColor(0, colours::PureGreen);
    EXPECT_EQ(t.ui.txt0->palette().color(QPalette::Base), QColor(0, 255, 0));
    view.setTxtBackColor(0, colours::WindowBackground);
    EXPECT_EQ(t.ui.txt0->palette().color(QPalette::Base), systemBase);

    std::string everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte += static_cast<char>(value);
    view.setText8Text(everyByte);
    EXPECT_EQ(t.ui.Text8->text(), QString::fromLatin1(everyByte.data(), 256));
}

TEST(WindowView, PipeFiltersBecomeQtFilters) {
    EXPECT_EQ(QtFormView::qtFileFilter("HEX files (*.hex)|*.hex"), "HEX files (*.hex)");
    EXPECT_EQ(QtFormView::qtFileFilter("Text|*.txt;*.log|All (*.*)|*.*"), "Text (*.txt *.log);;All (*.*)");
}

TEST(WindowView, ProgressBarFillsByValueAndNeverBeyondItsFrame) {
    TextProgressBar bar;
    bar.resize(102, 17);
    // {maximum, value, filled pixels}; a maximum of 0 counts as full.
    for (const auto& [maximum, value, filled] : {std::array{4, 1, 25}, {4, 9, 100}, {0, 1, 100}, {0, 0, 0}}) {
        bar.setMaximum(maximum);
        bar.setValue(value);
        EXPECT_EQ(bar.filledWidth(), filled) << maximum << " " << value;
    }
}

TEST(WindowEvents, BoxesCarryTheCaptionTheFileDialogAsksForHexFilesAndSendPastTheLastRecordIsQuiet) {
    WindowUnderTest t;
    t.ui.txt0->setText("/dev/no-such-port-here");
    t.ui.BTNOpenCom->click();
    t.ui.Command3->click();
    ASSERT_EQ(t.boxes.size(), 2u);
    EXPECT_EQ(t.boxes[0].text,
              "/dev/no-such-port-here Not available! Use Serial settings to setup your ports.");
    EXPECT_FALSE(t.boxes[0].detail.empty()) << "the port's reason";
    EXPECT_EQ(t.filters, std::vector<std::string>{"HEX files (*.hex)"});
    EXPECT_EQ(t.boxes[1].text, "Cancel");
    for (const MessageBoxRequest& box : t.boxes) {
        EXPECT_EQ(box.title, "BOOT DEVICE Ventrik V 1.6");
        EXPECT_EQ(box.icon, FormView::Icon::None);
    }

    t.window.logic().RecordIndex = frmSerial::kMaxRecords;
    EXPECT_NO_THROW(t.ui.Command5->click());
    EXPECT_EQ(t.boxes.size(), 2u);
}
