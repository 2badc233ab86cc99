#include "link/VisibleText.h"
#include "protocol/ProbeWait.h"
#include "protocol/ProtocolMachine.h"

// Which frame a reply can answer. The protocol numbers nothing: a reply is matched to a frame by
// when it came, by how many boards gave it, and by what the boards have said before.

namespace {

Event eventOf(ReplyKeyword keyword) {
    switch (keyword) {
    case ReplyKeyword::Version:
        return Event::Version;
    case ReplyKeyword::Error:
        return Event::Refused;
    case ReplyKeyword::PassEnd:
        return Event::PassEnd;
    case ReplyKeyword::Format:
        return Event::Erase;
    case ReplyKeyword::Accepted:
        return Event::Accepted;
    case ReplyKeyword::None:
        break;
    }
    return Event::Unknown;
}

// Why a reply from `from` is not the transfer's, which runs with `with`.
std::string otherOrigin(const Origin& from, const Origin& with) {
    if (from.framed && with.framed)
        return "a reply from address " + std::to_string(from.address);
    return from.framed ? "a reply in a Modbus RTU frame" : "a reply without the Modbus RTU frame";
}

// The answers a board gives a record or command: two boards that disagree show in these.
bool isVerdict(const std::string& text) {
    const ReplyKeyword keyword = decidingKeyword(text);
    return keyword == ReplyKeyword::Accepted || keyword == ReplyKeyword::Error;
}

// Answers in a row that came twice before that is taken for two boards rather than a board's slip.
constexpr int kDoubledWaitsForTwoBoards = 3;

} // namespace

Event ProtocolMachine::classify(const Reply& reply, ReplyKeyword keyword) {
    const Clock::time_point at = reply.completedAt.value_or(host.now());
    const std::string text = withoutCrLf(reply.text);
    const Origin with = current == State::Confirming ? confirmed : position.origin;
    if (inSet(current, kTransferRunning | bit(State::Confirming)) && reply.origin != with) {
        eventNote = otherOrigin(reply.origin, with);
        return Event::ForeignReply;
    }
    if (keyword == ReplyKeyword::Version && reply.origin == probes.origin)
        if (const auto event = classifyVersion(at, reply.framesBefore))
            return *event;
    if (inSet(current, kAwaiting)) {
        // Its first byte came before the frame it would answer went out, or it came sooner than that
        // frame and a reply could cross the line.
        if (reply.framesBefore < waitFrom || at < host.earliestAnswer(waitFrom)) {
            eventNote = "a second answer to the frame before";
            return secondAnswer(text);
        }
        if (const auto event = sameWaitAnswer(text, at))
            return *event;
        if (keyword != ReplyKeyword::None)
            takeAnswer(text, at);
    }
    tally.add(keyword);
    return eventOf(keyword);
}

// A board answers the probes it got in order, each once. The first version reply ends the wait;
// the answers to the probes sent after the one it answered may still follow, later, a probe period
// apart. Until anything but a probe has gone out, a version reply hard on the heels of another, or
// one more than the probes sent, comes from a second board; after that a version reply answers a
// probe only while the board has not yet answered the transfer.
std::optional<Event> ProtocolMachine::classifyVersion(Clock::time_point at, std::uint64_t framesBefore) {
    if (probes.sent == 0)
        return std::nullopt; // nothing probed it: a board announcing itself
    const auto previous = probes.lastAnswer;
    const bool probedSince = probes.sent > probes.sentAtLastAnswer;
    const bool unanswered = probes.answered < probes.sent;
    const auto count = [&] {
        ++probes.answered;
        probes.lastAnswer = at;
        probes.sentAtLastAnswer = probes.sent;
    };
    if (!previous) {
        count();
        return std::nullopt;
    }
    const auto late = [&] {
        count();
        eventNote = "a late answer to a probe";
        return Event::SecondAnswer;
    };
    if (framesBefore > probes.framesAfterLast) {
        // A record went out since: before the board answers it, a version reply is a probe's.
        if (!unanswered || !inSet(current, kTransferRunning) || position.answered)
            return std::nullopt;
        return late();
    }
    if (!probedSince && at - *previous < kTwinSpread) {
        count();
        return twoAnswers("two version replies to one probe");
    }
    if (unanswered) {
        // "?" asks for nothing but a version reply; nothing else takes a late one.
        if (current != State::IdentifyAwaited)
            return late();
        count();
        return std::nullopt;
    }
    if (at < probes.lastSent + host.probeAnswerWindow()) {
        count();
        return twoAnswers("more version replies than probes");
    }
    return std::nullopt;
}

Event ProtocolMachine::secondAnswer(const std::string& text) {
    if (!taken || !isVerdict(text) || !isVerdict(taken->text))
        return Event::SecondAnswer;
    if (decidingKeyword(text) != decidingKeyword(taken->text))
        return twoAnswers("\"" + visibleText(taken->text) + "\" and \"" + visibleText(text) + "\"");
    if (!taken->doubled) {
        taken->doubled = true;
        if (++doubledRun >= kDoubledWaitsForTwoBoards)
            return twoAnswers("every answer twice");
    }
    return Event::SecondAnswer;
}

// A verdict that follows the one taken for the same frame as closely as a second board's would.
std::optional<Event> ProtocolMachine::sameWaitAnswer(const std::string& text, Clock::time_point at) {
    if (!taken || taken->wait != waitFrom || at - taken->at >= kTwinSpread)
        return std::nullopt;
    // A board that says "FORMAT" again while it erases leaves far more time between the two.
    const auto erase = [](const std::string& each) { return decidingKeyword(each) == ReplyKeyword::Format; };
    if (erase(text) && erase(taken->text) && at - taken->at < kTwinSpread / 2)
        return twoAnswers("\"FORMAT\" twice");
    if (!isVerdict(text) || !isVerdict(taken->text))
        return std::nullopt;
    eventNote = "a second answer to the same frame";
    return secondAnswer(text);
}

void ProtocolMachine::takeAnswer(const std::string& text, Clock::time_point at) {
    const bool sameWait = taken && taken->wait == waitFrom;
    if (!sameWait && !(taken && taken->doubled))
        doubledRun = 0;
    taken = TakenAnswer{text, waitFrom, at, sameWait && taken->doubled};
    if (inSet(current, kTransferRunning))
        position.answered = true;
}

Event ProtocolMachine::twoAnswers(std::string answers) {
    conflictText = std::move(answers);
    eventNote = "answers of more than one board (" + conflictText + ")";
    return Event::TwoAnswers;
}

void ProtocolMachine::probeSent(bool reached) {
    if (!reached)
        return;
    const Origin to = host.origin();
    if (to != probes.origin || probes.sent == 0)
        probes = ProbeBook{to, 0, 0, {}, 0, std::nullopt, 0};
    ++probes.sent;
    probes.lastSent = host.now();
    probes.framesAfterLast = host.framesSent();
}
