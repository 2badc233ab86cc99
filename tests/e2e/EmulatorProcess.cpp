#include "EmulatorProcess.h"

#include <QDeadlineTimer>
#include <stdexcept>

namespace {
constexpr int kStartBoundMs = 30000;
constexpr int kStopBoundMs = 30000;
} // namespace

EmulatorProcess::EmulatorProcess(const QStringList& arguments) {
    process.start(QStringLiteral(BOOTDEV_SIM_PATH), arguments);
    if (!process.waitForStarted(kStartBoundMs))
        throw std::runtime_error("the device emulator did not start: " + process.errorString().toStdString());
    const QDeadlineTimer deadline(kStartBoundMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || !process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            throw std::runtime_error("the device emulator named no terminal: " +
                                     process.readAllStandardError().toStdString());
    }
    path = QString::fromLocal8Bit(process.readLine()).trimmed();
}

EmulatorProcess::~EmulatorProcess() {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(kStopBoundMs)) {
        process.kill();
        process.waitForFinished(kStopBoundMs);
    }
}

bool EmulatorProcess::stop() {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(kStopBoundMs)) {
            process.kill();
            process.waitForFinished(kStopBoundMs);
            return false;
        }
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString EmulatorProcess::log() {
    errors += QString::fromLocal8Bit(process.readAllStandardError());
    return errors;
}
