#pragma once

#include <string>

#include <windows.h>

// A claim on a port by name, held while it is open, beside the system's own refusal of a second
// open: Wine opens a COM port as often as asked. Throws PortError "NAME: in use by another
// program" when another holder has it.
class PortClaim {
  public:
    explicit PortClaim(const std::string& name);
    ~PortClaim();
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

  private:
    HANDLE mutex;
};
