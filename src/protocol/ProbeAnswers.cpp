#include "protocol/ProbeAnswers.h"

#include <algorithm>
#include <iterator>

#include "link/ReplyFrameEnd.h"
#include "link/ReplyFrames.h"
#include "protocol/ProbeWait.h"
#include "protocol/ReplyKeyword.h"
#include "protocol/Vocabulary.h"

namespace {

// A window holds a probe's answers, a few dozen bytes; more is a flood. Bytes past this many are
// counted as unreadable without being looked at, so that a window is judged in bounded time; the
// answers, which come first, are kept.
constexpr std::size_t kWindowLimit = 2 * kReplyBufferLimit;
// A connection wait without a deadline probes for ever; only the recent probes can be answered.
constexpr std::size_t kProbesKept = 256;

} // namespace

void ProbeAnswers::probeSent(std::uint8_t probed, Clock::time_point at, bool bytesWaiting) {
    if (probed == address && !probes.empty()) {
        settle();
    } else {
        unreadableBefore += judge().unreadable + overflow;
        overflow = 0;
        window.clear();
        repliesBefore = 0;
        probes.clear();
        sentOverWaiting.reset();
        firstReplyRead.reset();
    }
    // Read by now and no answer among them: what waited was no board's.
    if (sentOverWaiting && readSinceWaiting && versionReplies() == 0)
        sentOverWaiting.reset();
    if (bytesWaiting && !sentOverWaiting) {
        sentOverWaiting = at;
        readSinceWaiting = false;
    }
    address = probed;
    if (probes.size() == kProbesKept)
        probes.erase(probes.begin());
    probes.push_back(at);
}

void ProbeAnswers::received(const std::string& bytes, std::optional<Clock::time_point> at) {
    const bool answeredBefore = versionReplies() > 0;
    const std::size_t kept = std::min(bytes.size(), kWindowLimit - std::min(window.size(), kWindowLimit));
    window.append(bytes, 0, kept);
    overflow += bytes.size() - kept;
    readSinceWaiting = true;
    if (at && !answeredBefore && versionReplies() > 0)
        firstReplyRead = at;
}

bool ProbeAnswers::moreThanOneBoard(Clock::time_point firstAnswer, Clock::duration onTime) const {
    const Clock::time_point first = firstReplyRead ? std::min(firstAnswer, *firstReplyRead) : firstAnswer;
    Clock::time_point from = first - onTime;
    // The last probe before the first answer is answerable, however long before: a board slower
    // than the window, or a host held up before it read the answer.
    if (const auto after = std::upper_bound(probes.begin(), probes.end(), first); after != probes.begin())
        from = std::min(from, *std::prev(after));
    if (sentOverWaiting) {
        // It came before that probe, after the one before it, which no bytes waited for.
        const auto after = std::lower_bound(probes.begin(), probes.end(), *sentOverWaiting);
        from = std::min(from, after == probes.begin() ? *sentOverWaiting - onTime : *std::prev(after));
    }
    const auto answerable =
        std::count_if(probes.begin(), probes.end(), [&](Clock::time_point sent) { return sent >= from; });
    return versionReplies() > std::max<long>(answerable, 1);
}

// Bytes behind the last whole reply may be the front of one still arriving: the longest reply's
// worth of them stays to be judged with what follows.
void ProbeAnswers::settle() {
    std::size_t cut = judge().settled;
    if (window.size() > cut + kLongestReplyFrame)
        cut = window.size() - kLongestReplyFrame;
    const Judgement done = judge(window.substr(0, cut));
    repliesBefore += done.versionReplies;
    unreadableBefore += done.unreadable + overflow;
    overflow = 0;
    window.erase(0, cut);
}

ProbeAnswers::Judgement ProbeAnswers::judge(const std::string& bytes) const {
    return modbusFraming ? judgeFrames(bytes) : judgeLines(bytes);
}

// Frames are cut as the receiver cuts them (link/ReplyFrameEnd.h), from any address; a frame is
// found only where its CRC holds.
ProbeAnswers::Judgement ProbeAnswers::judgeFrames(const std::string& bytes) const {
    Judgement judged;
    ReplyFrameFinder frames(bytes);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = at + kMinReplyLength <= bytes.size() && bytes[at + 1] == kReplyFunction
                                       ? frames.frameEnd(at).length
                                       : 0;
        if (length == 0) {
            ++judged.unreadable;
            ++at;
            continue;
        }
        const bool fromProbed = static_cast<std::uint8_t>(bytes[at]) == address;
        if (fromProbed && decidingKeyword(bytes.substr(at + 2, length - 4)) == ReplyKeyword::Version)
            ++judged.versionReplies;
        at += length;
        judged.settled = at;
    }
    return judged;
}

// A line is whole once its line end has come; what follows the last one may still be arriving.
ProbeAnswers::Judgement ProbeAnswers::judgeLines(const std::string& bytes) const {
    Judgement judged;
    const std::string echo = vocabulary::kProbe;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find(vocabulary::kLineEnd, at);
        const bool whole = end != std::string::npos;
        const std::size_t next = whole ? end + 2 : bytes.size();
        const std::string line = bytes.substr(at, next - at);
        const ReplyKeyword keyword = decidingKeyword(line);
        if (keyword == ReplyKeyword::Version && whole)
            ++judged.versionReplies;
        else if (keyword == ReplyKeyword::None && line != echo)
            judged.unreadable += line.size();
        at = next;
        if (whole)
            judged.settled = at;
    }
    return judged;
}
