#include "window/frmSerial.h"

frmSerial::frmSerial(FormView& view, SerialPortService& port) : view(view), MSComm1(port) {}

void frmSerial::SwitchTags() {
    for (Control control : kControlOrder)
        if (!view.tag(control).empty())
            view.setEnabled(control, !view.isEnabled(control));
}
