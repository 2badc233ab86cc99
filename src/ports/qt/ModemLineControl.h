#pragma once

#include "link/SerialPortService.h"

// Sets DTR and RTS of an open serial device in one call (read, change, write back the modem
// bits). Throws PortError, without the port's name, when the device has no modem lines or the
// change fails.
void setModemLinesOf(int fd, const ModemLineChange& change);
