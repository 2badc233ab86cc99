#include <QApplication>
#include <gtest/gtest.h>

#include "window/qt/ApplicationLook.h"

int main(int argc, char** argv) {
    // Listing the tests at build time happens without the test's environment and without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyApplicationLook();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
