#include "protocol/ProbeAnswers.h"

#include <algorithm>

#include "link/ReplyFrameEnd.h"
#include "link/ReplyFrames.h"
#include "protocol/ReplyKeyword.h"
#include "protocol/Vocabulary.h"

namespace {

// A window holds a probe's answers, a few dozen bytes; more is a flood. Bytes past this many are
// counted as unreadable without being looked at, so that a window is judged in bounded time; the
// answers, which come first, are kept, and a flood's first bytes are damage enough.
constexpr std::size_t kWindowLimit = 2 * kReplyBufferLimit;

bool isLineNoise(char byte) {
    return byte == '\x00' || byte == '\xFF';
}

} // namespace

void ProbeAnswers::probeSent(std::uint8_t probed) {
    unreadableBefore += judge().unreadable;
    address = probed;
    window.clear();
    overflow = 0;
}

void ProbeAnswers::received(const std::string& bytes) {
    const std::size_t kept = std::min(bytes.size(), kWindowLimit - window.size());
    window.append(bytes, 0, kept);
    overflow += bytes.size() - kept;
}

bool ProbeAnswers::moreThanOneBoard() const {
    const Judgement judged = judge();
    return judged.versionReplies > 1 || (judged.versionReplies == 1 && judged.damaged >= kMinReplyLength);
}

ProbeAnswers::Judgement ProbeAnswers::judge() const {
    Judgement judged = modbusFraming ? judgeFrames() : judgeLines();
    judged.unreadable += overflow;
    return judged;
}

// Frames are cut as the receiver cuts them (link/ReplyFrameEnd.h), from any address.
ProbeAnswers::Judgement ProbeAnswers::judgeFrames() const {
    Judgement judged;
    ReplyFrameFinder frames(window);
    for (std::size_t at = 0; at < window.size();) {
        const std::size_t length = at + kMinReplyLength <= window.size() && window[at + 1] == kReplyFunction
                                       ? frames.frameEnd(at).length
                                       : 0;
        if (length == 0) {
            ++judged.unreadable;
            judged.damaged += isLineNoise(window[at]) ? 0 : 1;
            ++at;
            continue;
        }
        const bool fromProbed = static_cast<std::uint8_t>(window[at]) == address;
        if (fromProbed && decidingKeyword(window.substr(at + 2, length - 4)) == ReplyKeyword::Version)
            ++judged.versionReplies;
        at += length;
    }
    return judged;
}

ProbeAnswers::Judgement ProbeAnswers::judgeLines() const {
    Judgement judged;
    const std::string echo = vocabulary::kProbe;
    for (std::size_t at = 0; at < window.size();) {
        const std::size_t end = window.find(vocabulary::kLineEnd, at);
        const std::size_t next = end == std::string::npos ? window.size() : end + 2;
        const std::string line = window.substr(at, next - at);
        const ReplyKeyword keyword = decidingKeyword(line);
        if (keyword == ReplyKeyword::Version) {
            ++judged.versionReplies;
        } else if (keyword == ReplyKeyword::None && line != echo) {
            judged.unreadable += line.size();
            for (const char byte : line)
                judged.damaged += isLineNoise(byte) ? 0 : 1;
        }
        at = next;
    }
    return judged;
}
