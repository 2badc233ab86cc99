#pragma once

#include <functional>
#include <string>

#include <QTcpSocket>

#include "link/PortAddress.h"
#include "link/SerialPortService.h"

// A TCP connection to a serial device server, with the failures told as a port's are: the
// reason names the address the user typed.
class NetworkLine {
  public:
    // Resolves and connects, waiting at most the connect timeout. Throws PortError.
    void open(const std::string& portText);
    void close();
    bool isOpen() const { return opened; }

    // What has arrived since the last read. Throws PortLostError once the server has closed the
    // connection and nothing it sent before is left.
    std::string read();
    // Hands the bytes to the network at once. Throws PortLostError once the connection is gone.
    void write(const std::string& bytes);
    // Called when bytes arrive and when the server closes the connection (the next read then
    // reports the loss), so a reader on arrival learns of both.
    void setOnReadyRead(std::function<void()> onReadyRead);
    // Waits up to `milliseconds` for bytes to arrive; false when none came.
    bool waitForBytes(int milliseconds);

    const std::string& portText() const { return text; }

  private:
    PortError failure(const std::string& why) const;
    PortLostError lost(const std::string& why) const;

    QTcpSocket socket;
    std::function<void()> onReadyRead;
    std::string text;
    bool opened = false;
};
