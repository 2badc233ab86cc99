#include "window/frmSerial.h"

void frmSerial::BTNOpenCom_Click() {}
void frmSerial::Timer3_Timer() {}
void frmSerial::BTNCloseCom_Click() {}
void frmSerial::Form_Unload(std::int16_t& Cancel) { (void)Cancel; }
