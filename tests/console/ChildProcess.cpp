#include "ChildProcess.h"

#include <csignal>
#include <stdexcept>

#include <QDeadlineTimer>

namespace {

void start(QProcess& process, const std::string& program, const std::vector<std::string>& arguments) {
    QStringList words;
    for (const std::string& argument : arguments)
        words << QString::fromStdString(argument);
    process.start(QString::fromStdString(program), words);
    if (!process.waitForStarted())
        throw std::runtime_error("cannot start " + program);
}

int exitCodeWithin(QProcess& process, int limitMs) {
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    return WatchedProgram(program, arguments).finish();
}

BackgroundProgram::BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                                     const std::string& errorFile) {
    process.setStandardErrorFile(errorFile.empty() ? QProcess::nullDevice()
                                                   : QString::fromStdString(errorFile));
    start(process, program, arguments);
    while (!process.canReadLine())
        if (!process.waitForReadyRead(20000))
            throw std::runtime_error(program + " printed no first line");
    line = process.readLine().trimmed().toStdString();
}

int BackgroundProgram::stop() {
    if (process.state() == QProcess::NotRunning)
        return -1;
    process.terminate();
    return exitCodeWithin(process, 20000);
}

void BackgroundProgram::kill() {
    process.kill();
    process.waitForFinished();
}

void BackgroundProgram::signal(int number) {
    ::kill(static_cast<pid_t>(process.processId()), number);
}

WatchedProgram::WatchedProgram(const std::string& program, const std::vector<std::string>& arguments) {
    start(process, program, arguments);
}

WatchedProgram::~WatchedProgram() {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

bool WatchedProgram::waitForError(const std::string& text, int times) {
    const QDeadlineTimer bound(60000);
    for (;;) {
        err += process.readAllStandardError().toStdString();
        int found = 0;
        for (auto at = err.find(text); at != std::string::npos; at = err.find(text, at + text.size()))
            ++found;
        if (found >= times)
            return true;
        if (process.state() == QProcess::NotRunning || bound.hasExpired())
            return false;
        process.waitForReadyRead(100);
    }
}

void WatchedProgram::signal(int number) {
    ::kill(static_cast<pid_t>(process.processId()), number);
}

ProgramRun WatchedProgram::finish() {
    const int exitCode = exitCodeWithin(process, 120000);
    err += process.readAllStandardError().toStdString();
    return {exitCode, process.readAllStandardOutput().toStdString(), err};
}
