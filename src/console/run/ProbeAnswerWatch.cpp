#include "console/run/ProbeAnswerWatch.h"

ProbeAnswerWatch::ProbeAnswerWatch(std::chrono::milliseconds window, bool modbusFraming)
    : answers(modbusFraming), window(window) {
    timer.setSingleShot(true);
    // A coarse timer may fire early, before a second board's answer is in.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [this] {
        // Taken out first: the one told may ask for the next verdict.
        const auto tell = std::move(judged);
        judged = nullptr;
        tell(answers.moreThanOneBoard());
    });
}

void ProbeAnswerWatch::probeSent(int address) {
    answers.probeSent(static_cast<std::uint8_t>(address));
    sentAt = std::chrono::steady_clock::now();
}

void ProbeAnswerWatch::judge(std::function<void(bool)> tell) {
    if (judging())
        return;
    judged = std::move(tell);
    const auto left = sentAt + window - std::chrono::steady_clock::now();
    timer.start(std::max(std::chrono::ceil<std::chrono::milliseconds>(left), std::chrono::milliseconds(0)));
}

std::string ProbeAnswerWatch::unreadableNote(int baud) const {
    const std::size_t bytes = answers.unreadableBytes();
    if (bytes == 0)
        return {};
    return "; " + std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") +
           " came that formed no reply: check the speed (now " + std::to_string(baud) + " baud)";
}
