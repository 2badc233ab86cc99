#include <QApplication>
#include <QRegion>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "window/qt/Contrast.h"
#include "window/qt/MainWindow.h"
#include "window/qt/QtColour.h"

// The window under a dark desktop theme, and driven by the keyboard alone.
namespace {

struct QuietWindow {
    MainWindow window{
        DialogHooks{[](const MessageBoxRequest&) {}, [](const std::string&) { return std::string(); }}};
    WindowControls& ui = window.controls();
};

// A dark theme's palette: light text on near-black.
QPalette darkPalette() {
    QPalette dark(QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Mid, QColor(0x20, 0x20, 0x20));
    return dark;
}

// Puts the application's palette back, whatever a test set.
struct PaletteKept {
    QPalette kept = QApplication::palette();
    ~PaletteKept() { QApplication::setPalette(kept); }
};

// How well text reads in `area` of a picture, from the pixels drawn: the ground is the commonest
// colour there (or `ground` when given), the text its pixel that stands out most. 0 when nothing
// but the ground is drawn. With `acrossLines`, rows where a line runs through the whole area and
// beyond are left out; `area` then lies at least a pixel inside the picture. Pixels `covered` by
// other controls are not the text's.
double drawnContrast(const QImage& picture, const QRect& area, std::optional<QColor> ground = {},
                     bool acrossLines = false, const QRegion& covered = {}) {
    if (!ground) {
        std::map<QRgb, int> counts;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                ++counts[picture.pixel(x, y)];
        ground = QColor(std::ranges::max_element(counts, {}, &std::pair<const QRgb, int>::second)->first);
    }
    const auto isGround = [&](int x, int y) { return picture.pixelColor(x, y) == *ground; };
    double best = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        // A line drawn across the whole area (a frame's edge under a label) is no text.
        if (acrossLines && !isGround(area.left() - 1, y) && !isGround(area.right() + 1, y))
            continue;
        for (int x = area.left(); x <= area.right(); ++x)
            if (picture.pixelColor(x, y) != *ground && !covered.contains(QPoint(x, y)))
                best = std::max(best, contrastRatio(picture.pixelColor(x, y), *ground));
    }
    return best;
}

// Where `text`, in the widget's font, is drawn in `box` of `widget` with `alignment`, in the
// window's coordinates.
QRect textArea(const QWidget& window, const QWidget* widget, const QString& text, const QRect& box,
               Qt::Alignment alignment) {
    const QFontMetrics metrics(widget->font());
    const QSize size(metrics.horizontalAdvance(text), metrics.height());
    return QStyle::alignedRect(Qt::LeftToRight, alignment, size, box)
        .translated(widget->mapTo(&window, QPoint()));
}

} // namespace

// The design's colours stay whatever the theme: with a dark palette set before the window opens,
// or while it is open, every caption and label and the bar's text in each of its states read at
// 4.5:1 at least, measured on the window as drawn.
TEST(WindowUnderADarkTheme, CaptionsLabelsAndEveryBarStateStayReadable) {
    for (const bool whileOpen : {false, true}) {
        SCOPED_TRACE(whileOpen ? "palette changed while open" : "palette set before");
        const PaletteKept kept;
        if (!whileOpen)
            QApplication::setPalette(darkPalette());
        QuietWindow t;
        t.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.window));
        if (whileOpen) {
            QApplication::setPalette(darkPalette());
            QCoreApplication::processEvents();
        }
        const QImage shown = t.window.grab().toImage();
        for (const QLabel* label : t.window.findChildren<QLabel*>()) {
            // A speed label's round button overlaps its first letter.
            QRegion others;
            for (const QWidget* sibling :
                 label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (sibling != label)
                    others +=
                        sibling->geometry().translated(label->parentWidget()->mapTo(&t.window, QPoint()));
            EXPECT_GE(drawnContrast(
                          shown,
                          textArea(t.window, label, label->text(), label->contentsRect(), label->alignment()),
                          {}, true, others),
                      kReadableContrast)
                << label->objectName().toStdString();
        }
        // A frame's caption sits on its top edge, 5 pixels and its padding of 1 from the left.
        for (const QGroupBox* frame : {t.ui.Frame2, t.ui.Frame3, t.ui.Frame4})
            EXPECT_GE(
                drawnContrast(shown,
                              textArea(t.window, frame, frame->title(), frame->rect().adjusted(6, 0, 0, 0),
                                       Qt::AlignLeft | Qt::AlignTop),
                              {}, true),
                kReadableContrast)
                << frame->title().toStdString();

        // {text, bar colour, value, maximum} as the logic leaves the bar in each state; the text
        // lies over the trough, over the bar, or over both.
        const std::tuple<const char*, Colour, int, int> states[] = {
            {"NO FILE", colours::Blue, 0, 100},    {"READY", colours::Navy, 0, 324},
            {"DOWNLOAD", colours::Navy, 162, 324}, {"VERIFY", colours::Navy, 300, 324},
            {"END", colours::PureGreen, 324, 324}, {"ERROR", colours::Red, 5, 324},
        };
        TextProgressBar& bar = *t.ui.vbalProgressBar1;
        for (const auto& [text, colour, value, maximum] : states) {
            SCOPED_TRACE(text);
            bar.setText(QString::fromLatin1(text));
            bar.setBarColour(colour);
            bar.setMaximum(maximum);
            bar.setValue(value);
            const QImage picture = bar.grab().toImage();
            const QRect inner = bar.rect().adjusted(1, 1, -1, -1);
            const QRect filled(inner.topLeft(), QSize(bar.filledWidth(), inner.height()));
            const QRect trough(filled.topRight() + QPoint(1, 0), inner.bottomRight());
            int parts = 0;
            for (const auto& [part, ground] :
                 {std::pair{filled, std::optional(toQColor(colour, bar.palette()))},
                  {trough, std::optional<QColor>()}}) {
                const double contrast = part.width() > 0 ? drawnContrast(picture, part, ground) : 0;
                if (contrast == 0)
                    continue; // no text in this part
                ++parts;
                EXPECT_GE(contrast, kReadableContrast);
            }
            EXPECT_GT(parts, 0) << "no text drawn";
        }
    }
}

// Enter, on the main keyboard or the keypad, clicks the focused button as Space does.
TEST(WindowByKeyboard, EnterClicksTheFocusedButton) {
    QuietWindow t;
    t.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.window));
    for (QPushButton* button :
         {t.ui.BTNOpenCom, t.ui.Command3, t.ui.Command4, t.ui.Command6, t.ui.Command1, t.ui.Command2}) {
        SCOPED_TRACE(button->objectName().toStdString());
        int clicks = 0;
        const auto counted = QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        button->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
            QTest::keyClick(button, key);
        QObject::disconnect(counted);
        EXPECT_EQ(clicks, 3);
    }
}

// Tab walks the controls in the design's tab order, from the port box round to it again;
// Shift+Tab walks back. Close is disabled while the port is closed, so Tab passes it by.
TEST(WindowByKeyboard, TabFollowsTheDesignOrder) {
    QuietWindow t;
    auto& ui = t.ui;
    t.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.window));
    const std::vector<QWidget*> design = {ui.txt0,     ui.BTNOpenCom, ui.Command3, ui.Command4, ui.Command6,
                                          ui.Text8,    ui.Check1,     ui.Text1,    ui.Text2,    ui.Command1,
                                          ui.Command2, ui.Option1,    ui.Option2,  ui.Option3};
    for (const bool backwards : {false, true}) {
        ui.txt0->setFocus();
        std::vector<QWidget*> visited{QApplication::focusWidget()};
        for (std::size_t step = 0; step < design.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                            backwards ? Qt::ShiftModifier : Qt::NoModifier);
            visited.push_back(QApplication::focusWidget());
        }
        std::vector<QWidget*> expected = design;
        if (backwards)
            std::reverse(expected.begin() + 1, expected.end());
        expected.push_back(ui.txt0);
        std::vector<std::string> names, expectedNames;
        for (QWidget* w : visited)
            names.push_back(w ? w->objectName().toStdString() : "(none)");
        for (QWidget* w : expected)
            expectedNames.push_back(w->objectName().toStdString());
        EXPECT_EQ(names, expectedNames) << (backwards ? "Shift+Tab" : "Tab");
    }
}
