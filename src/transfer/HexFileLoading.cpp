#include "window/frmSerial.h"

void frmSerial::Command3_Click() {}
void frmSerial::Command2_Click() {}
