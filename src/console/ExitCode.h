#pragma once

// What a run of the flasher ends with; scripts branch on these, so the values never change.
enum class ExitCode : int {
    Success = 0,
    InternalError = 1,
    BadUsage = 2,
    PortNotAvailable = 3,
    NoDevice = 4,
    FileError = 5,
    DeviceError = 6,
    Stall = 7,
};

inline int toInt(ExitCode code) {
    return static_cast<int>(code);
}
