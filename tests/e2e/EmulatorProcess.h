#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The device emulator as a child process on a pseudo-terminal of its own. Its first line of output
// is the path of the terminal the window opens.
class EmulatorProcess {
  public:
    // Throws std::runtime_error when the emulator does not start or names no terminal.
    explicit EmulatorProcess(const QStringList& arguments);
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    const QString& portPath() const { return path; }

    // Ends the emulator with SIGTERM and waits for it, so that a flash dump asked for with --dump
    // is complete on disk. True when it ended by itself with exit code 0.
    bool stop();

    // What the emulator wrote on standard error so far (its log with --verbose).
    QString log();

  private:
    QProcess process;
    QString path;
    QString errors;
};
