#include "protocol/ProtocolMachine.h"

#include <utility>

#include "link/VisibleText.h"
#include "protocol/TransitionTable.h"

namespace {

// A frame awaits its answer, or a refused record its taking up again.
constexpr StateSet kAwaiting = kTransferRunning | kCommandAwaited;

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

} // namespace

ProtocolMachine::ProtocolMachine(MachineHost& host, Limits limits) : host(host), limits_(limits) {}

Action ProtocolMachine::handle(Event event) {
    eventNote.clear();
    eventReply.reset();
    return run(event);
}

Action ProtocolMachine::fileChosen(Pass pass, int count, Origin origin) {
    chosen = TransferPosition{pass, pass, 0, count, origin, false};
    return handle(Event::FileChosen);
}

Action ProtocolMachine::reply(const Reply& reply) {
    const ReplyKeyword keyword = decidingKeyword(reply.text);
    Event event = eventOf(keyword);
    eventNote = "the reply \"" + visibleText(withoutCrLf(reply.text)) + "\"";
    if (inSet(current, kTransferRunning) && reply.origin != position.origin) {
        event = Event::ForeignReply;
        eventNote = otherOrigin(reply.origin, position.origin);
    } else if (inSet(current, kAwaiting) && reply.framesBefore < waitFrom) {
        // Its first byte came before the frame it would answer went out.
        event = Event::SecondAnswer;
        eventNote = "a second answer to the frame before";
    } else {
        tally.add(keyword);
    }
    eventReply = reply;
    return run(event);
}

Action ProtocolMachine::stray(Event event, std::string what) {
    eventNote = std::move(what);
    eventReply.reset();
    return run(event);
}

void ProtocolMachine::checkDeadline(Clock::time_point now) {
    if (deadline_ && now >= *deadline_)
        handle(Event::Deadline);
}

GuardFacts ProtocolMachine::facts() const {
    return {position.record >= position.count, position.pass == Pass::Verify, position.refused,
            host.scanMode()};
}

Action ProtocolMachine::run(Event event) {
    const Transition* row = decide(current, event, facts());
    if (row == nullptr)
        return Action::Ignore; // a table that is not whole; its tests say so
    const State before = current;
    const std::uint64_t sentBefore = host.framesSent();
    current = row->to.value_or(current);
    // A modal box shown by the action lets timer events in, and each runs a step of its own: the
    // step that showed it keeps its own account of what it sent.
    const bool outerSent = std::exchange(frameSent, false);
    const bool outerLost = std::exchange(frameLost, false);
    perform(row->action);
    const bool lost = frameLost;
    armDeadline(before, sentBefore);
    frameSent = outerSent;
    frameLost = outerLost;
    if (observer_)
        observer_(Step{before, event, row->action, current});
    if (lost) {
        eventNote.clear();
        eventReply.reset();
        run(Event::NotSent);
    }
    return row->action;
}

void ProtocolMachine::armDeadline(State before, std::uint64_t sentBefore) {
    if (!inSet(current, kAwaiting)) {
        deadline_.reset();
        return;
    }
    if (current == before && !frameSent)
        return; // the wait goes on: its deadline stands
    instead.clear();
    // A new wait for the frame just sent; a wait that moved on for the same frame keeps its start.
    if (frameSent)
        waitFrom = sentBefore + 1;
    if (current == State::Erasing)
        deadline_ = host.now() + limits_.erase;
    else
        deadline_ = host.now() + limits_.stall;
}
