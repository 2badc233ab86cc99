#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

// A refusal or failure of the serial port, with a reason the caller can show.
class PortError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The open port has failed for good (a read or write error, the device gone): nothing more will
// pass through it until it is closed and opened again.
class PortLostError : public PortError {
  public:
    using PortError::PortError;
};

// Why a port that another program holds is refused, on every system: "COM3: in use by another program".
inline constexpr const char* kInUseReason = "in use by another program";

// The modem control lines a reset or boot-select wiring hangs on; a line left empty keeps its level.
struct ModemLineChange {
    std::optional<bool> dtr;
    std::optional<bool> rts;
};

// The serial port as the window's logic drives it: configure, open, poll, write, close.
// Reception is polled; nothing here calls back. Byte strings carry bytes 0..255 unchanged.
class SerialPortService {
  public:
    virtual ~SerialPortService() = default;

    // "115200,n,8,1", "19200,n,8,1" or "9600,n,8,1": speed, parity, data bits, stop bits,
    // taken at the next open. Throws PortError for a string it cannot apply.
    virtual void setSettings(const std::string& settings) = 0;
    // The port the next open uses, by number (COMn on Windows, /dev/ttyS(n-1) on POSIX systems).
    // Throws PortError for a number it refuses.
    virtual void setCommPort(std::int16_t number) = 0;
    // The port the next open uses, by device path (a USB adapter, a by-id link, a pseudo-terminal)
    // or by the network address of a serial device server (tcp://HOST:PORT, rfc2217://HOST:PORT).
    virtual void setCommPath(const std::string& path) = 0;
    // Starts reaching the line `portText` names with `settings` (a connection over the network and
    // its set-up take time) without waiting, and calls `reached` from the event loop once it
    // stands or has failed; the next open of that line with those settings takes it, or throws
    // the failure. A line that needs no time to reach calls `reached` at once.
    virtual void reach(const std::string& portText, const std::string& settings,
                       std::function<void()> reached) {
        (void)portText;
        (void)settings;
        reached();
    }
    // Opens (true) or closes (false). Opening throws PortError with the reason when it cannot.
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // The speed at which bytes cross the line, for judging whether a reply can already answer a frame
    // just written; empty where nothing paces them (a pseudo-terminal, a raw TCP stream).
    virtual std::optional<int> wireBaud() const { return std::nullopt; }
    // When the last of the bytes waiting now arrived, where the binding notes arrivals; empty: the
    // time they are read is all that is known.
    virtual std::optional<std::chrono::steady_clock::time_point> arrivedAt() const { return std::nullopt; }
    // Received bytes waiting to be read; 0 when none. Throws PortLostError once the port has failed.
    virtual int inBufferCount() = 0;
    // The waiting bytes, removed from the receive buffer.
    virtual std::string input() = 0;
    // Queues the bytes for sending, in order, and hands them to the driver at once without
    // waiting for them to leave the wire. Throws PortError when the write fails, PortLostError
    // once the port has failed.
    virtual void output(const std::string& bytes) = 0;
    // Returns once `span` has passed, the line kept silent meanwhile: the silence a board needs
    // between its answer and the next frame. A binding may wait in any way that keeps the time;
    // the spans asked for are a few characters' time, too short for the event loop's timers.
    virtual void keepQuiet(std::chrono::microseconds span) { std::this_thread::sleep_for(span); }
    // Sets DTR and RTS of the open port, both in one call where the line allows it, and returns
    // once the line has taken them; a change that sets neither only checks that the line has them.
    // Throws PortError for a line without modem lines (a pseudo-terminal, a raw TCP stream).
    virtual void setModemLines(const ModemLineChange& change);
};

inline void SerialPortService::setModemLines(const ModemLineChange&) {
    throw PortError("this line has no modem lines (DTR, RTS)");
}
