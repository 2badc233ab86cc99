#include "console/run/ConnectionPacer.h"

#include "protocol/ProbeWait.h"

namespace {

constexpr std::chrono::milliseconds kWindowTick{200};
// The window's connection wait probes up to this address and then gives up by itself.
constexpr int kLastProbedAddress = 127;

} // namespace

ConnectionPacer::ConnectionPacer(const CliOptions& options, const frmSerial& form, Events events)
    : options(options), form(form), events(std::move(events)),
      scanWait(probeWait(options.baud, std::chrono::milliseconds(options.probeMarginMs))) {
    timer3.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    // A coarse timer may fire up to 5 % early: the deadline is a promise not to give up sooner.
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer3, &QTimer::timeout, [this] { timedOut(); });
    QObject::connect(&deadline, &QTimer::timeout, [this] { this->events.deadlinePassed(); });
}

void ConnectionPacer::switched(bool on) {
    timer3.setInterval(form.ScanMode == 1 ? scanWait : kWindowTick);
    on ? timer3.start() : timer3.stop();
}

void ConnectionPacer::startDeadline() {
    if (options.connectTimeoutSeconds)
        deadline.start(
            std::chrono::milliseconds(static_cast<long long>(*options.connectTimeoutSeconds * 1000 + 0.5)));
}

void ConnectionPacer::stop() {
    timer3.stop();
    deadline.stop();
}

void ConnectionPacer::timedOut() {
    // A range that ends below the window's last address ends where the window would give up.
    if (form.ScanMode == 1 && options.scanLast < kLastProbedAddress && form.ConnectCount > options.scanLast)
        events.rangeEnded();
    else
        events.tick();
}
