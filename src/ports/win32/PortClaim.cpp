#include "ports/win32/PortClaim.h"

#include "link/SerialPortService.h"
#include "link/WideText.h"
#include "ports/win32/Win32PortErrors.h"

PortClaim::PortClaim(const std::string& name) {
    // Named in the session's namespace: a port held in another session is refused by the system.
    mutex = CreateMutexW(nullptr, FALSE, (L"Local\\bootdevice-port-" + widen(name)).c_str());
    if (!mutex)
        throw PortError(name + ": " + systemErrorText(GetLastError()));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        throw PortError(name + ": " + kInUseReason);
    }
}

PortClaim::~PortClaim() {
    CloseHandle(mutex);
}
