#pragma once

#include <QSocketNotifier>
#include <cstdint>
#include <string>
#include <vector>

#include "PseudoTerminal.h"

// A record as the verify pass sends it: '#' where the download pass sends ':'.
std::string verifyForm(std::string record);

// A bootloader on the far end of a pseudo-terminal, in Modbus RTU framing: it answers probes
// sent to its address with a version reply, each record with "OK" and the last record of a
// pass with "DOWNLOAD". Frames for other addresses are ignored, as on a shared bus.
// Runs in the test's event loop.
class ScriptedDevice {
  public:
    ScriptedDevice(PseudoTerminal& line, std::uint8_t address, std::string lastLine);

    // The records of each kind, without "BOOT".
    std::vector<std::string> records(char firstCharacter) const;

  private:
    void readLine();
    void answer(const std::string& command);
    void reply(const std::string& payload);

    PseudoTerminal& line;
    std::uint8_t address;
    std::string lastLine;
    std::string pending;
    std::vector<std::string> received;
    QSocketNotifier notifier;
};
