#include "window/frmSerial.h"

void frmSerial::Com_Parser() {}
