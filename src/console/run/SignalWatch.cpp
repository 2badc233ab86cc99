#include "console/run/SignalWatch.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kWatchedSignals[] = {SIGHUP, SIGINT, SIGTERM};
volatile std::sig_atomic_t signalPipe = -1;

void forwardSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = write(signalPipe, &number, 1);
    errno = saved;
}

} // namespace

SignalWatch::SignalWatch(std::function<void(int)> onSignal) : onSignal(std::move(onSignal)) {
    if (pipe(pipeFds) != 0)
        return; // without a pipe the signals keep their default effect
    for (int fd : pipeFds) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    signalPipe = pipeFds[1];
    notifier = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
        unsigned char number = 0;
        while (read(pipeFds[0], &number, 1) == 1)
            this->onSignal(number);
    });
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : kWatchedSignals)
        sigaction(signal, &action, nullptr);
}

SignalWatch::~SignalWatch() {
    for (int signal : kWatchedSignals)
        std::signal(signal, SIG_DFL);
    notifier.reset();
    signalPipe = -1;
    for (int fd : pipeFds)
        if (fd >= 0)
            close(fd);
}

ExitCode signalExitCode(int signal) {
    switch (signal) {
    case SIGHUP:
        return ExitCode::HungUp;
    case SIGTERM:
        return ExitCode::Terminated;
    default:
        return ExitCode::Interrupted;
    }
}
