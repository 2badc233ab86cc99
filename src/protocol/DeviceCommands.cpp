#include "window/frmSerial.h"

void frmSerial::Command1_Click() {}
void frmSerial::Command4_Click() {}
void frmSerial::Command6_Click() {}
