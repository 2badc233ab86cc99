#pragma once

#include <string>

// Whether the port by that name passes bytes at its set speed, 10 bits a byte: a UART, or a
// pseudo-terminal whose other end paces them as a line does (BOOTDEVICE_PTY_WIRE=1). Only there
// does a reply's time on the line tell which frame it can answer.
bool pacesBytesAtItsSpeed(const std::string& portName);
