#include "ports/qt/QtSerialPortService.h"

#include <QSocketNotifier>

// The port's ready-read notification, and the pause in watching the line that spares wake-ups
// while a reply is still crossing it.

void QtSerialPortService::setOnReadyRead(std::function<void()> callback) {
    const bool firstCallback = !onReadyRead;
    onReadyRead = std::move(callback);
    if (firstCallback && onReadyRead)
        QObject::connect(&port, &QSerialPort::readyRead, [this] {
            if (onReadyRead && !fetching)
                onReadyRead();
        });
}

void QtSerialPortService::pauseReadyRead() {
    if (readPaused)
        return;
    readPaused = true;
    applyReadPause();
}

bool QtSerialPortService::resumeReadyRead() {
    if (readPaused) {
        readPaused = false;
        applyReadPause();
    }
    if (!port.isOpen() || lostReason)
        return false;
    return port.bytesAvailable() > 0 || driverBytes() > 0;
}

// QSerialPort watches the line through a read notifier of its own, a child object, and offers no
// call to pause it; QSerialPort switches it on again whenever it is read from, so a pause is
// applied again after every read. Where no such child exists the line is simply always watched.
void QtSerialPortService::applyReadPause() {
    if (!port.isOpen() || lostReason)
        return;
    for (QSocketNotifier* notifier : port.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly))
        if (notifier->type() == QSocketNotifier::Read && notifier->isEnabled() == readPaused)
            notifier->setEnabled(!readPaused);
}

// When the bytes arrived, as noted on the ready-read notification, and the speed they crossed at.
std::optional<int> QtSerialPortService::wireBaud() const {
    if (!port.isOpen() || !paced)
        return std::nullopt;
    return settings.baud;
}

std::optional<std::chrono::steady_clock::time_point> QtSerialPortService::arrivedAt() const {
    // Bytes still in the driver came at a time nobody noted: the read's own time stands for them.
    if (!port.isOpen() || lostReason || driverBytes() > 0)
        return std::nullopt;
    return lastArrival;
}
