#include <QApplication>

#include "window/qt/ApplicationLook.h"
#include "window/qt/MainWindow.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    applyApplicationLook();
    MainWindow window;
    window.show();
    return QApplication::exec();
}
