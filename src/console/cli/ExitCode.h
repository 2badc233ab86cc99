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
    // The log, standard output or standard error could not be written: the record of the run is
    // incomplete, whatever the board's own outcome.
    OutputLost = 8,
    // More than one board answered at one address: a command to it would reach them all, and
    // their replies would mix.
    AddressConflict = 9,
    // Ended by a signal, as shells number it: 128 + SIGHUP, 128 + SIGINT, 128 + SIGTERM.
    HungUp = 129,
    Interrupted = 130,
    Terminated = 143,
};

inline int toInt(ExitCode code) {
    return static_cast<int>(code);
}

// Whether a signal ended the run.
inline bool endedBySignal(ExitCode code) {
    return code == ExitCode::HungUp || code == ExitCode::Interrupted || code == ExitCode::Terminated;
}
