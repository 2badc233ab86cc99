#include "ports/NetworkLine.h"

#include "link/SerialPortService.h"

namespace {

// A server that is up answers a connect at once; a name that does not resolve or a silent
// address must not hold the window longer than this.
constexpr int kConnectTimeoutMs = 5000;

} // namespace

PortError NetworkLine::failure(const std::string& why) const {
    return PortError(text + ": " + why);
}

PortLostError NetworkLine::lost(const std::string& why) const {
    return PortLostError(text + ": " + why);
}

void NetworkLine::open(const std::string& portText) {
    if (opened)
        throw PortError("Port already open");
    text = portText;
    const NetworkAddress address = parseNetworkAddress(portText);
    socket.abort();
    socket.connectToHost(QString::fromStdString(address.host), address.port);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        const std::string why = socket.error() == QAbstractSocket::SocketTimeoutError
                                    ? "no answer from the server"
                                    : socket.errorString().toStdString();
        socket.abort();
        throw failure(why);
    }
    // Requests are small and paced by replies: each must leave at once.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    opened = true;
}

void NetworkLine::close() {
    socket.abort();
    opened = false;
}

void NetworkLine::setOnReadyRead(std::function<void()> callback) {
    const bool firstCallback = !onReadyRead;
    onReadyRead = std::move(callback);
    if (!firstCallback || !onReadyRead)
        return;
    const auto notify = [this] {
        if (onReadyRead)
            onReadyRead();
    };
    QObject::connect(&socket, &QTcpSocket::readyRead, notify);
    QObject::connect(&socket, &QTcpSocket::disconnected, notify);
}

std::string NetworkLine::read() {
    if (!opened)
        throw PortError("Port is closed");
    const QByteArray bytes = socket.readAll();
    if (bytes.isEmpty() && socket.state() != QAbstractSocket::ConnectedState)
        throw lost("the server closed the connection");
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void NetworkLine::write(const std::string& bytes) {
    if (!opened)
        throw PortError("Port is closed");
    if (socket.state() != QAbstractSocket::ConnectedState)
        throw lost("the server closed the connection");
    if (socket.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw lost(socket.errorString().toStdString());
    socket.flush();
}

bool NetworkLine::waitForBytes(int milliseconds) {
    return socket.bytesAvailable() > 0 || socket.waitForReadyRead(milliseconds);
}
