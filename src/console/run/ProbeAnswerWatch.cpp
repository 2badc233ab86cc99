#include "console/run/ProbeAnswerWatch.h"

#include "protocol/ProbeWait.h"

ProbeAnswerWatch::ProbeAnswerWatch(const CliOptions& options)
    : answers(options.modbusRtu),
      window(probeWait(options.baud, std::chrono::milliseconds(options.probeMarginMs))),
      afterAnswer(std::chrono::ceil<std::chrono::milliseconds>(lineTime(kLongestReplyFrame, options.baud)) +
                  kWakeAllowance) {
    timer.setSingleShot(true);
    // A coarse timer may fire early, before a second board's answer is in.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [this] {
        // Taken out first: the one told may ask for the next verdict.
        const auto tell = std::move(judged);
        judged = nullptr;
        tell(answers.moreThanOneBoard(firstAnswer, window));
    });
}

void ProbeAnswerWatch::probeSent(int address, bool bytesWaiting) {
    sentAt = std::chrono::steady_clock::now();
    answers.probeSent(static_cast<std::uint8_t>(address), sentAt, bytesWaiting);
}

void ProbeAnswerWatch::judge(std::function<void(bool)> tell) {
    if (judging())
        return;
    judged = std::move(tell);
    // A board slow to answer is followed by the other at its address just as closely.
    const auto now = std::chrono::steady_clock::now();
    firstAnswer = now;
    const auto left = std::max<std::chrono::steady_clock::duration>(sentAt + window - now, afterAnswer);
    timer.start(std::chrono::ceil<std::chrono::milliseconds>(left));
}

std::string ProbeAnswerWatch::unreadableNote(int baud) const {
    const std::size_t bytes = answers.unreadableBytes();
    if (bytes == 0)
        return {};
    return "; " + std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") +
           " came that formed no reply: check the speed (now " + std::to_string(baud) + " baud)";
}
