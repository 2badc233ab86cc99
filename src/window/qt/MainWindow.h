#pragma once

#include <QWidget>
#include <functional>

#include "ports/SchemePortService.h"
#include "window/frmSerial.h"
#include "window/qt/DialogHooks.h"
#include "window/qt/QtFormView.h"
#include "window/qt/WindowControls.h"

// The program's one window. It only forwards: every event goes to the logic's handler of the
// same name, and the logic works the controls through QtFormView.
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    // Without hooks the window uses modal Qt dialogs.
    explicit MainWindow(DialogHooks dialogs = {}, QWidget* parent = nullptr);

    WindowControls& controls() { return ui; }
    frmSerial& logic() { return form; }
    const SerialPortService& serialPort() const { return MSComm1; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private slots:
    void BTNOpenCom_Click() {
        guarded([this] { form.BTNOpenCom_Click(); });
    }
    void BTNCloseCom_Click() {
        guarded([this] { form.BTNCloseCom_Click(); });
    }
    void Timer3_Timer() {
        guarded([this] { form.Timer3_Timer(); });
    }
    void TMRComm_Timer() {
        guarded([this] { form.TMRComm_Timer(); });
    }
    void MSComm1_OnComm() {
        guarded([this] { form.MSComm1_OnComm(); });
    }
    void Command1_Click() {
        guarded([this] { form.Command1_Click(); });
    }
    void Command2_Click() {
        guarded([this] { form.Command2_Click(); });
    }
    void Command3_Click() {
        guarded([this] { form.Command3_Click(); });
    }
    void Command4_Click() {
        guarded([this] { form.Command4_Click(); });
    }
    void Command5_Click();
    void Command6_Click() {
        guarded([this] { form.Command6_Click(); });
    }

  private:
    // Qt cannot carry an exception through its event loop; one that escapes a handler is
    // reported on stderr and the event ends there.
    static void guarded(const std::function<void()>& handler);
    void connectEvents();

    WindowControls ui;
    SchemePortService MSComm1;
    QtFormView view;
    frmSerial form;
};
