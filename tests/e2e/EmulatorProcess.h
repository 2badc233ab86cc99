#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <stdexcept>

// The device emulator as a child process on a pseudo-terminal of its own. Its first line of output
// is the path of the terminal the window opens.
class EmulatorProcess {
  public:
    explicit EmulatorProcess(const QStringList& arguments) {
        process.start(QStringLiteral(BOOTDEV_SIM_PATH), arguments);
        while (!process.canReadLine() && process.waitForReadyRead(kBoundMs)) {
        }
        if (!process.canReadLine())
            throw std::runtime_error("the device emulator named no terminal: " +
                                     process.readAllStandardError().toStdString());
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~EmulatorProcess() { stop(); }

    const QString& portPath() const { return path; }

    // Ends the emulator with SIGTERM and waits for it, so that its flash dump is complete on disk.
    // True when it ended by itself with exit code 0.
    bool stop() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(kBoundMs)) {
                process.kill();
                process.waitForFinished(kBoundMs);
                return false;
            }
        }
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    // What the emulator wrote on standard error since the last call (its log with --verbose).
    QString log() { return QString::fromLocal8Bit(process.readAllStandardError()); }

  private:
    static constexpr int kBoundMs = 30000;
    QProcess process;
    QString path;
};
