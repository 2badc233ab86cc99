#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <windows.h>

#include "link/PortConfig.h"
#include "link/SerialPortService.h"
#include "ports/win32/ArrivalNotice.h"
#include "ports/win32/ArrivalWatch.h"
#include "ports/win32/PortClaim.h"
#include "ports/win32/QueuedWrites.h"

// The serial port service on a Win32 COM port, opened for overlapped I/O so that reads never wait,
// writes return once the driver has the bytes, and a thread of the port's own can wait for arrivals.
// Settings and port name are kept until the next open. A port that fails while open (the device
// gone, a read or write error) counts as open until the logic closes it: every use then throws
// PortLostError, which is how the logic learns of the loss.
//
// wireBaud() and arrivedAt() stay empty: a COM name may be a UART, a USB adapter or a virtual pair
// that does not pace its bytes, which Windows does not tell apart, and Windows gives no arrival time
// of received bytes; the logic then judges replies by when they are read.
class Win32SerialPortService final : public SerialPortService, public ArrivalNotice {
  public:
    Win32SerialPortService() = default;
    ~Win32SerialPortService() override;
    Win32SerialPortService(const Win32SerialPortService&) = delete;
    Win32SerialPortService& operator=(const Win32SerialPortService&) = delete;

    void setSettings(const std::string& settings) override;
    void setCommPort(std::int16_t number) override;
    // "COMn" or "\\.\COMn" (any case); another "\\.\NAME" device is opened as given.
    void setCommPath(const std::string& path) override;
    void setPortOpen(bool open) override;
    bool portOpen() const override;
    int inBufferCount() override;
    std::string input() override;
    void output(const std::string& bytes) override;
    void keepQuiet(std::chrono::microseconds span) override;
    void setModemLines(const ModemLineChange& change) override;

    void setOnArrival(std::function<void()> onArrival) override;

  private:
    void openPort();
    void configure();
    void closePort();
    void throwIfBroken() const;
    // The port has failed for good with the system's `error`: noted once, from any thread.
    void lose(const std::string& meaning, DWORD error);

    HANDLE handle = INVALID_HANDLE_VALUE;
    LineSettings settings;
    std::string portText = "COM1";
    std::string portName; // the open port's canonical name
    std::unique_ptr<ArrivalWatch> watch;
    QueuedWrites writes;
    std::function<void()> onArrival;
    std::unique_ptr<PortClaim> claim;
    mutable std::mutex lostGuard;
    std::optional<std::string> lostReason;
};
