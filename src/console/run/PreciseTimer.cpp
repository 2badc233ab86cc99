#include "console/run/PreciseTimer.h"

#include <algorithm>

PreciseTimer::PreciseTimer(std::function<void()> onFire) : queue(TimerQueue::forThisThread()) {
    timer.onFire = std::move(onFire);
    if (queue)
        return;
    fallback.setTimerType(Qt::PreciseTimer);
    QObject::connect(&fallback, &QTimer::timeout, [this] { timer.onFire(); });
}

PreciseTimer::~PreciseTimer() {
    stop();
}

void PreciseTimer::startEvery(Clock::duration interval) {
    if (queue) {
        queue->start(timer, Clock::now() + interval, interval);
        return;
    }
    fallback.setSingleShot(false);
    fallback.start(std::chrono::ceil<std::chrono::milliseconds>(interval));
}

void PreciseTimer::startAt(Clock::time_point when) {
    if (queue) {
        queue->start(timer, when, Clock::duration::zero());
        return;
    }
    fallback.setSingleShot(true);
    fallback.start(std::chrono::ceil<std::chrono::milliseconds>(
        std::max(when - Clock::now(), Clock::duration(std::chrono::nanoseconds(1)))));
}

void PreciseTimer::stop() {
    if (queue)
        queue->stop(timer);
    else
        fallback.stop();
}
