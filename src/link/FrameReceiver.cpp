#include "window/frmSerial.h"

void frmSerial::TMRComm_Timer() {}
