#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <QTimer>

#include "console/cli/CliOptions.h"
#include "protocol/ProbeAnswers.h"

// Watches the answers to the connection wait's probes (protocol/ProbeAnswers.h). A board that
// answers is taken only once its probe's answer window has closed: a second board at the same
// address answers the same probe, and only then is it known whether one did. Every operation
// waits so, once, before it sends anything to the board.
class ProbeAnswerWatch {
  public:
    // A probe's answers may come as long as a scan waits at an address (protocol/ProbeWait.h), and
    // a second board's answer as long as a reply takes on the line after the first one.
    explicit ProbeAnswerWatch(const CliOptions& options);

    // A probe went out to `address`; `bytesWaiting`: received bytes were still unread then.
    void probeSent(int address, bool bytesWaiting = false);
    // Bytes received during the connection wait.
    void received(const std::string& bytes) { answers.received(bytes, std::chrono::steady_clock::now()); }
    // Asked when the first answer came: tells `judged` whether more than one board answered the
    // probes, once the last one's answer window has closed. Asked again while it waits (the same
    // probe's second answer), it keeps the first ask.
    void judge(std::function<void(bool moreThanOneBoard)> judged);
    bool judging() const { return timer.isActive(); }
    // Whole version replies from the probed address so far.
    int versionReplies() const { return answers.versionReplies(); }
    // For a connection wait that failed: what came that formed no reply, and what to check; empty
    // when nothing came.
    std::string unreadableNote(int baud) const;

  private:
    ProbeAnswers answers;
    std::chrono::milliseconds window;
    std::chrono::milliseconds afterAnswer;
    std::chrono::steady_clock::time_point sentAt;
    std::chrono::steady_clock::time_point firstAnswer;
    std::function<void(bool)> judged;
    QTimer timer;
};
