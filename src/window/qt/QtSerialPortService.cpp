#include "window/qt/QtSerialPortService.h"

namespace {

QSerialPort::Parity toQtParity(char parity) {
    switch (parity) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits toQtStopBits(int stopBits) {
    switch (stopBits) {
    case 2: return QSerialPort::TwoStop;
    case 3: return QSerialPort::OneAndHalfStop;
    default: return QSerialPort::OneStop;
    }
}

std::string reason(const QSerialPort& port) { return port.errorString().toStdString(); }

} // namespace

QtSerialPortService::~QtSerialPortService() {
    if (port.isOpen())
        port.close();
}

void QtSerialPortService::setOnReadyRead(std::function<void()> callback) {
    const bool firstCallback = !onReadyRead;
    onReadyRead = std::move(callback);
    if (firstCallback && onReadyRead)
        QObject::connect(&port, &QSerialPort::readyRead, [this] {
            if (onReadyRead)
                onReadyRead();
        });
}

void QtSerialPortService::setSettings(const std::string& text) { settings = parseLineSettings(text); }

void QtSerialPortService::setCommPort(std::int16_t number) { portName = portNameForNumber(number); }

void QtSerialPortService::setCommPath(const std::string& path) { portName = path; }

void QtSerialPortService::setPortOpen(bool open) {
    if (!open) {
        if (port.isOpen())
            port.close();
        port.clearError();
        return;
    }
    if (port.isOpen())
        throw PortError("Port already open");
    port.clearError();
    port.setPortName(QString::fromStdString(portName));
    if (!port.open(QIODevice::ReadWrite))
        throw PortError(portName + ": " + reason(port));
    const bool configured = port.setBaudRate(settings.baud) &&
                            port.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
                            port.setParity(toQtParity(settings.parity)) &&
                            port.setStopBits(toQtStopBits(settings.stopBits)) &&
                            port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const std::string why = reason(port);
        port.close();
        throw PortError(portName + ": " + why);
    }
    // A freshly opened port starts empty, as a real line does: bytes left in the driver from
    // before the open (a pseudo-terminal keeps them) belong to nobody's request.
    port.clear(QSerialPort::AllDirections);
}

bool QtSerialPortService::portOpen() const { return port.isOpen(); }

// A port that vanished (an unplugged adapter) must not look like a quiet line.
void QtSerialPortService::throwIfBroken() {
    if (!port.isOpen())
        throw PortError("Port is closed");
    if (port.error() == QSerialPort::ResourceError || port.error() == QSerialPort::PermissionError)
        throw PortError(portName + ": " + reason(port));
}

int QtSerialPortService::inBufferCount() {
    throwIfBroken();
    return static_cast<int>(port.bytesAvailable());
}

std::string QtSerialPortService::input() {
    throwIfBroken();
    const QByteArray bytes = port.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtSerialPortService::output(const std::string& bytes) {
    throwIfBroken();
    const qint64 written = port.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size()))
        throw PortError(portName + ": " + reason(port));
    // Hand the bytes to the driver now, so a frame written just before a blocking pause still leaves.
    port.flush();
}
