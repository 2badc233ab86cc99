#include "window/qt/MainWindow.h"

#include <QCloseEvent>
#include <QtDebug>
#include <stdexcept>

#include "window/qt/DesignPalette.h"
#include "window/qt/WindowIcon.h"

MainWindow::MainWindow(DialogHooks dialogs, QWidget* parent)
    : QWidget(parent), ui(*this), view(ui, DialogHooks::completed(std::move(dialogs), this)),
      form(view, MSComm1) {
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setPalette(designPalette());
    setWindowIcon(paintedWindowIcon());
    setFixedSize(kClientWidth, kClientHeight);
    connectEvents();
}

void MainWindow::connectEvents() {
    connect(ui.BTNOpenCom, &QPushButton::clicked, this, &MainWindow::BTNOpenCom_Click);
    connect(ui.BTNCloseCom, &QPushButton::clicked, this, &MainWindow::BTNCloseCom_Click);
    connect(ui.Timer3, &QTimer::timeout, this, &MainWindow::Timer3_Timer);
    connect(ui.TMRComm, &QTimer::timeout, this, &MainWindow::TMRComm_Timer);
    MSComm1.setOnReadyRead([this] { MSComm1_OnComm(); });
    connect(ui.Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(ui.Command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    connect(ui.Command3, &QPushButton::clicked, this, &MainWindow::Command3_Click);
    connect(ui.Command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
    connect(ui.Command5, &QPushButton::clicked, this, &MainWindow::Command5_Click);
    connect(ui.Command6, &QPushButton::clicked, this, &MainWindow::Command6_Click);
}

void MainWindow::Command5_Click() {
    try {
        form.Command5_Click();
    } catch (const std::out_of_range&) {
        // The sender refuses to go past the last slot of the record table (no file loaded, or a
        // load that failed); a click on the hidden button then sends nothing, which is all it can do.
    } catch (const std::exception& error) {
        qWarning("Command5_Click: %s", error.what());
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    std::int16_t cancel = 0;
    guarded([&] { form.Form_Unload(cancel); });
    if (cancel != 0)
        event->ignore();
    else
        event->accept();
}

void MainWindow::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        qWarning("Unhandled error in a window handler: %s", error.what());
    }
}
