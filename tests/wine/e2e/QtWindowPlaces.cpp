// Writes where the Qt window puts each of its controls, as it opens, for the comparison with the
// Windows window: one line per control of the layout table,
//   name <TAB> caption <TAB> left top width height
// in pixels from the client area's corner, read from the widgets themselves.
// Usage: qt-window-places FILE (run with QT_QPA_PLATFORM=offscreen)
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <cstdio>
#include <fstream>

#include "window/FormLayout.h"
#include "window/qt/ApplicationLook.h"
#include "window/qt/MainWindow.h"

namespace {

QString captionOf(const QWidget& widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return button->text();
    if (const auto* box = qobject_cast<const QLineEdit*>(&widget))
        return box->text();
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(&widget))
        return frame->title();
    if (const auto* bar = dynamic_cast<const TextProgressBar*>(&widget))
        return bar->text();
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: qt-window-places FILE\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    applyApplicationLook();
    MainWindow window;
    window.show();
    QApplication::processEvents();

    std::ofstream out(argv[1]);
    for (const ControlLayout& layout : kFormLayout) {
        const QWidget* widget = window.controls().widget(layout.control);
        const QPoint corner = widget->mapTo(&window, QPoint(0, 0));
        out << layout.name << '\t' << captionOf(*widget).toStdString() << '\t' << corner.x() << ' '
            << corner.y() << ' ' << widget->width() << ' ' << widget->height() << '\n';
    }
    out << "client\t\t0 0 " << window.width() << ' ' << window.height() << '\n';
    return out ? 0 : 1;
}
