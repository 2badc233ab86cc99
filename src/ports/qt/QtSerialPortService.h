#pragma once

#include <chrono>
#include <functional>

#include <QSerialPort>
#include <optional>

#include "link/PortConfig.h"
#include "link/SerialPortService.h"
#include "ports/qt/DeviceLock.h"
#include "ports/qt/ReadyReadSource.h"
#include "ports/qt/UucpLock.h"

// The serial port service on QSerialPort. Settings and port name are kept until the next open,
// as a serial control does; errors come back as PortError with Qt's reason. A port that fails
// while open (the device gone, a read or write error) is let go at once, so that nothing keeps
// retrying on a dead line, yet it counts as open until the logic closes it: every use then
// throws PortLostError, which is how the logic learns of the loss.
class QtSerialPortService final : public SerialPortService, public ReadyReadSource {
  public:
    QtSerialPortService();
    ~QtSerialPortService() override;

    void setSettings(const std::string& settings) override;
    void setCommPort(std::int16_t number) override;
    void setCommPath(const std::string& path) override;
    void setPortOpen(bool open) override;
    bool portOpen() const override;
    int inBufferCount() override;
    std::string input() override;
    void output(const std::string& bytes) override;
    void setModemLines(const ModemLineChange& change) override;
    std::optional<int> wireBaud() const override;
    std::optional<std::chrono::steady_clock::time_point> arrivedAt() const override;

    // Told, after each open of a USB adapter, what was set to cut its latency (for --verbose).
    void setOnAdapterTuned(std::function<void(const std::string&)> callback) {
        onAdapterTuned = std::move(callback);
    }

    void setOnReadyRead(std::function<void()> onReadyRead) override;
    void pauseReadyRead() override;
    bool resumeReadyRead() override;

    // The operating system's handle of the open port, -1 when closed (for tests and diagnostics).
    qintptr handle() const { return port.isOpen() ? port.handle() : -1; }

  private:
    void openPort();
    void onError(QSerialPort::SerialPortError error);
    void throwIfBroken();
    void applyReadPause();
    void tuneAdapter();
    std::size_t writeToDriver(const std::string& bytes);
    // Bytes received by the driver that Qt has not fetched yet.
    int driverBytes() const;
    bool foundNothingToRead() const;

    QSerialPort port;
    DeviceLock lock;
    UucpLock lockFile;
    LineSettings settings;
    std::string portName = portNameForNumber(1);
    std::function<void()> onReadyRead;
    std::function<void(const std::string&)> onAdapterTuned;
    std::optional<std::string> lostReason;
    bool readPaused = false;
    // Bytes cross a wire at the set speed: a UART, or a pseudo-terminal whose other end paces them.
    bool paced = false;
    // When the last bytes Qt took from the driver arrived; cleared by each read.
    std::optional<std::chrono::steady_clock::time_point> lastArrival;
    bool fetching = false; // input() is having Qt fetch the driver's bytes
    // Notifications in a row whose read found nothing; reset by bytes read.
    int emptyNotices = 0;
    static constexpr int kMostEmptyNotices = 1000;
};
