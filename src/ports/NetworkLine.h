#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QTcpSocket>
#include <QTimer>

#include "link/PortAddress.h"
#include "link/SerialPortService.h"

// A TCP connection to a serial device server, made without waiting: the event loop goes on while
// the name resolves and the server answers. Failures are told as a port's are: the reason names
// the address the user typed. What the server sends is held up to a bound (the socket's read
// buffer), so a server that floods the line fills no more memory than that: past it the kernel
// holds the bytes and TCP slows the server down.
class NetworkLine {
  public:
    NetworkLine();

    // Starts connecting; `settled` is called from the event loop once connected or failed
    // (failure() then says why), at the latest after the connect timeout. Throws PortError for an
    // address that cannot be read.
    void connectTo(const std::string& portText, std::function<void()> settled);
    // Ends the connection, or the attempt: `settled` is not called after this.
    void close();
    bool isConnected() const { return connected; }
    const std::optional<PortError>& failure() const { return failed; }

    // What has arrived since the last read. Throws PortLostError once the server has closed the
    // connection and nothing it sent before is left.
    std::string read();
    // Hands the bytes to the network at once. Throws PortLostError once the connection is gone,
    // or when the server has left more unread than a line could ever owe it.
    void write(const std::string& bytes);
    // Called when bytes arrive and when the server closes the connection (the next read then
    // reports the loss), so a reader on arrival learns of both.
    void setOnArrival(std::function<void()> onArrival) { arrival = std::move(onArrival); }

    const std::string& portText() const { return text; }
    PortError error(const std::string& why) const { return PortError(text + ": " + why); }

  private:
    void settle(std::optional<PortError> failure);
    PortLostError lost(const std::string& why) const;

    QTcpSocket socket;
    QTimer deadline;
    std::function<void()> settled;
    std::function<void()> arrival;
    std::optional<PortError> failed;
    std::string text;
    bool connected = false;
};
