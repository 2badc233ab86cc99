#include "ports/qt/QtSerialPortService.h"

#include <algorithm>
#include <cerrno>

#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_UNIX

#include "ports/qt/AdapterLatency.h"
#include "ports/qt/ModemLineControl.h"
#include "ports/qt/PacedLine.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

QSerialPort::Parity toQtParity(char parity) {
    switch (parity) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits toQtStopBits(int stopBits) {
    switch (stopBits) {
    case 2:
        return QSerialPort::TwoStop;
    case 3:
        return QSerialPort::OneAndHalfStop;
    default:
        return QSerialPort::OneStop;
    }
}

std::string reason(const QSerialPort& port) {
    return port.errorString().toStdString();
}

// What a failure that loses the port means, empty for the others. Qt's own text comes from errno,
// which after a hang-up often still holds an unrelated "Resource temporarily unavailable".
std::string lossMeaning(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ResourceError:
        return "the device was removed or hung up";
    case QSerialPort::ReadError:
        return "reading from the device failed";
    case QSerialPort::WriteError:
        return "writing to the device failed";
    default:
        return {};
    }
}

} // namespace

QtSerialPortService::QtSerialPortService() {
    QObject::connect(&port, &QSerialPort::errorOccurred, &port,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
    // Connected first, so that a reader told of the same bytes finds them stamped.
    QObject::connect(&port, &QSerialPort::readyRead, &port,
                     [this] { lastArrival = std::chrono::steady_clock::now(); });
}

QtSerialPortService::~QtSerialPortService() {
    if (port.isOpen())
        port.close();
}

void QtSerialPortService::setSettings(const std::string& text) {
    settings = parseLineSettings(text);
}

void QtSerialPortService::setCommPort(std::int16_t number) {
    portName = portNameForNumber(number);
}

void QtSerialPortService::setCommPath(const std::string& path) {
    portName = path;
}

void QtSerialPortService::setPortOpen(bool open) {
    if (!open) {
        readPaused = false;
        if (port.isOpen())
            port.close();
        port.clearError();
        lock.release();
        lockFile.release();
        lostReason.reset();
        emptyNotices = 0;
        return;
    }
    if (portOpen())
        throw PortError("Port already open");
    // A terminal program holds a port by its lock file alone: asked first, so the open never
    // takes the port from it.
    lockFile.check(portName);
    lock.acquire(portName);
    try {
        openPort();
        lockFile.hold();
    } catch (const PortError&) {
        if (port.isOpen())
            port.close();
        lock.release();
        throw;
    }
}

void QtSerialPortService::openPort() {
    port.clearError();
    lastArrival.reset();
    paced = pacesBytesAtItsSpeed(portName);
    port.setPortName(QString::fromStdString(portName));
    if (!port.open(QIODevice::ReadWrite)) {
        // Having got the device lock, a refusal to lock is another program's lock file.
        if (port.error() == QSerialPort::PermissionError)
            throw PortError(portName + ": " + kInUseReason + " (" + reason(port) + ")");
        throw PortError(portName + ": " + reason(port));
    }
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
    tuneAdapter();
}

// A USB adapter that holds received bytes for its latency timer delays every reply by it; a port
// without the setting (a pseudo-terminal, a built-in UART) is left as it is, silently.
void QtSerialPortService::tuneAdapter() {
#ifdef Q_OS_UNIX
    std::string done = requestLowLatencyMode(static_cast<int>(port.handle()));
    const std::string timer = lowerAdapterLatencyTimer("/sys", portName);
    if (!timer.empty())
        done += (done.empty() ? "" : ", ") + timer;
    if (!done.empty() && onAdapterTuned)
        onAdapterTuned(portName + ": " + done);
#endif
}

void QtSerialPortService::setModemLines(const ModemLineChange& change) {
    throwIfBroken();
    try {
#ifdef Q_OS_UNIX
        setModemLinesOf(static_cast<int>(port.handle()), change);
#else
        if ((change.dtr && !port.setDataTerminalReady(*change.dtr)) ||
            (change.rts && !port.setRequestToSend(*change.rts)))
            throw PortError(reason(port));
#endif
    } catch (const PortError& error) {
        throw PortError(portName + ": " + error.what());
    }
}

bool QtSerialPortService::portOpen() const {
    return port.isOpen() || lostReason.has_value();
}

void QtSerialPortService::onError(QSerialPort::SerialPortError error) {
    // input() may have fetched the bytes whose arrival Qt's notification had already announced; Qt's
    // own read then finds nothing, which is no loss of the line. Qt switched its notification off
    // for it: it is switched on again. Such a read of a terminal returns 0 and leaves errno as it
    // was, so what Qt names the error (a resource or a read error) and its reason say nothing: the
    // line itself is asked. A line that announces bytes without end and gives none is lost.
    const bool readFailed = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (readFailed && emptyNotices < kMostEmptyNotices && foundNothingToRead()) {
        ++emptyNotices;
        port.clearError();
        applyReadPause();
        return;
    }
    const std::string meaning = lossMeaning(error);
    if (!port.isOpen() || lostReason || meaning.empty())
        return;
    lostReason = meaning + " (" + reason(port) + ")";
    // Closed from the event loop, not inside QSerialPort's own notification: closing drops the
    // bytes still queued for writing, which it would otherwise retry on the dead line without end.
    QTimer::singleShot(0, &port, [this] {
        if (lostReason && port.isOpen())
            port.close();
        // A reader on arrival polls nothing: the next read is how it learns of the loss.
        if (onReadyRead)
            onReadyRead();
    });
}

void QtSerialPortService::throwIfBroken() {
    if (lostReason)
        throw PortLostError(portName + ": " + *lostReason);
    if (!port.isOpen())
        throw PortError("Port is closed");
}

// Qt's buffer and what still waits in the driver: the event loop may not have let Qt fetch the
// driver's bytes yet (a process stopped and continued wakes to its timers and its port at once),
// and a deadline judged before those bytes would pass over a reply that came in time.
int QtSerialPortService::inBufferCount() {
    throwIfBroken();
    return static_cast<int>(port.bytesAvailable()) + driverBytes();
}

std::string QtSerialPortService::input() {
    throwIfBroken();
    if (driverBytes() > 0) {
        // Qt fetches them now; its ready-read notification, which this read answers already, is
        // kept from the reader: it would read again from within this read.
        fetching = true;
        port.waitForReadyRead(0);
        fetching = false;
    }
    const QByteArray bytes = port.readAll();
    lastArrival.reset();
    if (!bytes.isEmpty())
        emptyNotices = 0;
    if (readPaused)
        applyReadPause();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A read that failed only because nothing was there: the line has not hung up.
bool QtSerialPortService::foundNothingToRead() const {
#ifdef Q_OS_UNIX
    pollfd line{static_cast<int>(port.handle()), POLLIN, 0};
    return ::poll(&line, 1, 0) >= 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
#else
    return false;
#endif
}

int QtSerialPortService::driverBytes() const {
#ifdef Q_OS_UNIX
    int waiting = 0;
    if (port.isOpen() && ioctl(static_cast<int>(port.handle()), FIONREAD, &waiting) == 0)
        return std::max(waiting, 0);
#endif
    return 0;
}

// Straight to the driver while nothing waits in Qt's own queue: a frame almost always fits the
// driver's buffer at once, and Qt's queue would arm and then disarm a write notifier for it, two
// wake-ups of the event loop a frame. Returns how many bytes went; the caller queues the rest.
std::size_t QtSerialPortService::writeToDriver(const std::string& bytes) {
    std::size_t sent = 0;
#ifdef Q_OS_UNIX
    if (port.bytesToWrite() != 0)
        return 0;
    const int fd = static_cast<int>(port.handle());
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // full or failing: Qt's queue waits, or reports the failure as it always has
    }
#endif
    return sent;
}

void QtSerialPortService::output(const std::string& bytes) {
    throwIfBroken();
    const std::size_t direct = writeToDriver(bytes);
    if (direct == bytes.size())
        return;
    const auto rest = static_cast<qint64>(bytes.size() - direct);
    const qint64 written = port.write(bytes.data() + direct, rest);
    if (written != rest)
        throw PortError(portName + ": " + reason(port));
    // Hand the bytes to the driver now, so a frame written just before a blocking pause still leaves.
    port.flush();
    throwIfBroken();
}
