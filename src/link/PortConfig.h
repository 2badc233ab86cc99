#pragma once

#include <cstdint>
#include <string>

// A settings string such as "115200,n,8,1": speed, parity letter, data bits, stop bits.
struct LineSettings {
    int baud = 115200;
    char parity = 'n'; // n, e, o, m or s
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2 (stored as 1 or 2; "1.5" is stored as 3)
};

// Throws PortError for a string that does not have that form.
LineSettings parseLineSettings(const std::string& settings);

// The device behind a port number: COMn on Windows, /dev/ttyS(n-1) on POSIX systems.
// Throws PortError for numbers below 1.
std::string portNameForNumber(int number);
