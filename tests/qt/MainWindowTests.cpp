#include <QApplication>
#include <QTest>
#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "window/qt/Contrast.h"
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

std::string shownText(const QWidget* widget) {
    if (const auto* bar = dynamic_cast<const TextProgressBar*>(widget))
        return bar->text().toStdString();
    return widget->property(widget->inherits("QGroupBox") ? "title" : "text").toString().toStdString();
}

} // namespace

TEST(MainWindowAtStart, ShowsTheDesignValuesWithThePortBoxFocused) {
    WindowUnderTest t;
    auto& ui = t.ui;
    EXPECT_EQ(t.window.windowTitle(), "BOOT DEVICE Ventrik V 1.6");
    EXPECT_EQ(t.window.size(), QSize(397, 123));
    EXPECT_EQ(t.window.minimumSize(), t.window.maximumSize());

    EXPECT_EQ((std::array{ui.Option1->isChecked(), ui.Option2->isChecked(), ui.Option3->isChecked()}),
              (std::array{false, false, true}));
    EXPECT_TRUE(ui.Check1->isChecked());

    EXPECT_EQ(ui.vbalProgressBar1->barColour(), colours::Blue);
    EXPECT_EQ(ui.vbalProgressBar1->textColour(), colours::Black);
    EXPECT_EQ(ui.Pic->fillColour(), colours::Yellow);
    EXPECT_TRUE(ui.Pic->isVisibleTo(&t.window));

    // {running, interval in ms, kind}
    EXPECT_EQ(std::tuple(ui.Timer3->isActive(), ui.Timer3->interval()), std::tuple(false, 200));
    EXPECT_EQ(std::tuple(ui.TMRComm->isActive(), ui.TMRComm->interval(), ui.TMRComm->timerType()),
              std::tuple(false, 20, Qt::PreciseTimer));

    // Only the port box and Open are usable before a port is open; SwitchTags flips them by tag.
    // Send waits for the first successful load.
    EXPECT_EQ((std::array{ui.tag(Control::txt0), ui.tag(Control::BTNOpenCom), ui.tag(Control::BTNCloseCom)}),
              (std::array<std::string, 3>{"NO", "NO", "NC"}));
    EXPECT_EQ((std::array{ui.txt0->isEnabled(), ui.BTNOpenCom->isEnabled(), ui.BTNCloseCom->isEnabled(),
                          ui.Command5->isEnabled()}),
              (std::array{true, true, false, false}));
    t.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.window));
    EXPECT_EQ(QApplication::focusWidget(), ui.txt0);
    // The file dialog asks for HEX files.
    ui.Command3->click();
    EXPECT_EQ(t.filters, std::vector<std::string>{"HEX files (*.hex)"});
}

TEST(MainWindowLayout, EveryControlShowsItsDesignTextAtItsDesignPlace) {
    WindowUnderTest t;
    struct Design {
        const char* name;
        const char* container;        // nullptr: the window itself
        const char* text;             // a frame's title, a progress bar's bar text, a control's caption
        int left, top, width, height; // twips, counted from the container's corner
    };
    const Design design[] = {
        {"Frame4", nullptr, "Modbus RTU", 4440, 0, 1515, 855},
        {"Command1", "Frame4", "Set Addr", 600, 520, 795, 255},
        {"Text2", "Frame4", "10", 120, 480, 435, 285},
        {"Text1", "Frame4", "", 1020, 240, 435, 285},
        {"Check1", "Frame4", "Check1", 1200, 0, 255, 255},
        {"Label5", "Frame4", "Addr Device", 60, 240, 915, 255},
        {"Text8", nullptr, "", 720, 1410, 5115, 285},
        {"Command5", nullptr, "Send", 1800, 2760, 855, 255},
        {"Frame3", nullptr, "Status", 0, 840, 5955, 975},
        {"vbalProgressBar1", "Frame3", "NO FILE", 120, 240, 5715, 255},
        {"Label3", "Frame3", "Answer:", 120, 600, 735, 255},
        {"Frame2", nullptr, "Comm's", 0, 0, 4395, 855},
        {"Option3", "Frame2", "Option3", 3300, 0, 195, 195},
        {"Option2", "Frame2", "Option2", 2520, 0, 195, 195},
        {"Option1", "Frame2", "Option1", 1860, 0, 195, 195},
        {"Command2", "Frame2", "Verify", 3720, 480, 615, 255},
        {"Command6", "Frame2", "Install ", 3420, 170, 615, 255},
        {"Command4", "Frame2", "?", 4080, 170, 255, 255},
        {"Command3", "Frame2", "Open File and  Download", 1620, 480, 2055, 255},
        {"BTNCloseCom", "Frame2", "Close", 960, 480, 615, 255},
        {"BTNOpenCom", "Frame2", "Open", 960, 200, 615, 255},
        {"txt(0)", "Frame2", "COM3", 60, 480, 855, 315},
        {"Label7", "Frame2", "115200", 2700, 0, 615, 255},
        {"Label6", "Frame2", "19200", 2040, 0, 495, 255},
        {"Label4", "Frame2", "Speed 9600", 960, 0, 975, 255},
        {"Label2", "Frame2", "No info", 1620, 240, 1755, 255},
        {"Pic", "Frame2", "", 720, 0, 195, 255},
        {"Label1(0)", "Frame2", "Port: (1-9)", 120, 240, 795, 255},
    };
    // Every control that is a widget is in the table, and only those.
    const auto widgets =
        std::ranges::count_if(kControlOrder, [&](Control c) { return t.ui.widget(c) != nullptr; });
    EXPECT_EQ(widgets, std::ssize(design));

    // 15 twips make a pixel; a half pixel rounds up.
    const auto pixels = [](int twips) { return int(std::floor(twips / 15.0 + 0.5)); };
    for (const Design& d : design) {
        SCOPED_TRACE(d.name);
        QWidget* widget = t.window.findChild<QWidget*>(QString::fromLatin1(d.name));
        ASSERT_NE(widget, nullptr);
        QWidget* container =
            d.container ? t.window.findChild<QWidget*>(QString::fromLatin1(d.container)) : &t.window;
        EXPECT_EQ(widget->parentWidget(), container);
        EXPECT_EQ(shownText(widget), d.text);
        EXPECT_EQ(widget->geometry(),
                  QRect(pixels(d.left), pixels(d.top), pixels(d.width), pixels(d.height)));
    }
    // The bar's text: a sans-serif face of 8.25 points, normal weight.
    const QFont barFont = t.ui.vbalProgressBar1->font();
    EXPECT_EQ(std::tuple(barFont.pointSizeF(), barFont.styleHint(), barFont.weight()),
              std::tuple(8.25, QFont::SansSerif, QFont::Normal));
}

TEST(MainWindowLayout, OnlyTheCommsCaptionIsDrawnInDarkBlue) {
    WindowUnderTest t;
    t.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.window));
    // {frame, whether its caption is dark blue}; the caption runs along the frame's top edge, left
    // of the first control placed there. Smoothed small glyphs never reach their full colour, so
    // the caption's colour is told by its strongest pixel: dark blue is blue 192 with no red or
    // green, the default caption grey with blue no stronger than red and green.
    for (const auto& [frame, darkBlue] :
         {std::pair{t.ui.Frame2, true}, {t.ui.Frame4, false}, {t.ui.Frame3, false}}) {
        SCOPED_TRACE(frame->objectName().toStdString());
        const QImage picture = frame->grab().toImage();
        int captionEnd = frame->width();
        for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->y() < 8)
                captionEnd = std::min(captionEnd, child->x());
        QColor strongest = picture.pixelColor(0, 6);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < captionEnd; ++x)
                if (picture.pixelColor(x, y).lightness() < strongest.lightness())
                    strongest = picture.pixelColor(x, y);
        const bool blue = strongest.blue() > std::max(strongest.red(), strongest.green()) + 128 &&
                          std::abs(strongest.blue() - 192) < 16;
        EXPECT_EQ(blue, darkBlue) << strongest.name().toStdString();
    }
}

// (The tab order is walked with the keyboard in ThemeAndKeyboardTests.cpp.)
TEST(MainWindowLayout, HiddenSendAndTheAnswerBoxInFront) {
    WindowUnderTest t;
    auto& ui = t.ui;
    // The hidden Send button lies outside the client area and is never reached by the keyboard.
    EXPECT_FALSE(t.window.rect().intersects(ui.Command5->geometry()));
    EXPECT_EQ(ui.Command5->focusPolicy(), Qt::NoFocus);
    // The answer box is drawn in front of the status frame it overlaps.
    const QPoint inside = ui.Text8->geometry().center();
    EXPECT_TRUE(ui.Frame3->geometry().contains(inside));
    QWidget* top = t.window.childAt(inside);
    EXPECT_TRUE(top == ui.Text8 || ui.Text8->isAncestorOf(top));

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
