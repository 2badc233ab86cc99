#pragma once

#include <functional>

#include <QSerialPort>

#include "link/PortConfig.h"
#include "link/SerialPortService.h"
#include "window/qt/ReadyReadSource.h"

// The serial port service on QSerialPort. Settings and port name are kept until the next open,
// as a serial control does; errors come back as PortError with Qt's reason.
class QtSerialPortService final : public SerialPortService, public ReadyReadSource {
public:
    QtSerialPortService() = default;
    ~QtSerialPortService() override;

    void setSettings(const std::string& settings) override;
    void setCommPort(std::int16_t number) override;
    void setCommPath(const std::string& path) override;
    void setPortOpen(bool open) override;
    bool portOpen() const override;
    int inBufferCount() override;
    std::string input() override;
    void output(const std::string& bytes) override;

    void setOnReadyRead(std::function<void()> onReadyRead) override;

private:
    void throwIfBroken();

    QSerialPort port;
    LineSettings settings;
    std::string portName = portNameForNumber(1);
    std::function<void()> onReadyRead;
};
