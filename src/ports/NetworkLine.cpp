#include "ports/NetworkLine.h"

namespace {

// A server that is up answers a connect at once; a name that does not resolve or a silent
// address is given up after this.
constexpr int kConnectTimeoutMs = 5000;
// What the socket holds of the server's bytes between two reads: far more than any reply.
constexpr qint64 kReadBufferBytes = 64 * 1024;
// Requests are small and paced by replies: a server that leaves this much unread is not reading.
constexpr qint64 kUnsentBytesAtMost = 256 * 1024;

} // namespace

NetworkLine::NetworkLine() {
    socket.setReadBufferSize(kReadBufferBytes);
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [this] {
        socket.abort();
        settle(error("no answer from the server"));
    });
    QObject::connect(&socket, &QTcpSocket::connected, [this] {
        // Requests are small and paced by replies: each must leave at once.
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connected = true;
        settle(std::nullopt);
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [this] {
        if (!connected)
            settle(error(socket.errorString().toStdString()));
    });
    const auto notify = [this] {
        if (connected && arrival)
            arrival();
    };
    QObject::connect(&socket, &QTcpSocket::readyRead, notify);
    QObject::connect(&socket, &QTcpSocket::disconnected, notify);
}

PortLostError NetworkLine::lost(const std::string& why) const {
    return PortLostError(text + ": " + why);
}

void NetworkLine::connectTo(const std::string& portText, std::function<void()> onSettled) {
    close();
    text = portText;
    const NetworkAddress address = parseNetworkAddress(portText);
    settled = std::move(onSettled);
    deadline.start(kConnectTimeoutMs);
    socket.connectToHost(QString::fromStdString(address.host), address.port);
}

void NetworkLine::settle(std::optional<PortError> failure) {
    deadline.stop();
    failed = std::move(failure);
    // Taken before the call: whoever is told may start the next attempt.
    if (const std::function<void()> told = std::exchange(settled, nullptr))
        told();
}

void NetworkLine::close() {
    settled = nullptr;
    deadline.stop();
    connected = false;
    failed.reset();
    socket.abort();
}

std::string NetworkLine::read() {
    if (!connected)
        throw PortError("Port is closed");
    const QByteArray bytes = socket.readAll();
    if (bytes.isEmpty() && socket.state() != QAbstractSocket::ConnectedState)
        throw lost("the server closed the connection");
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void NetworkLine::write(const std::string& bytes) {
    if (!connected)
        throw PortError("Port is closed");
    if (socket.state() != QAbstractSocket::ConnectedState)
        throw lost("the server closed the connection");
    if (socket.bytesToWrite() > kUnsentBytesAtMost)
        throw lost("the server takes none of the bytes sent");
    if (socket.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw lost(socket.errorString().toStdString());
    socket.flush();
}
