#include "window/frmSerial.h"

void frmSerial::Command5_Click() {}
