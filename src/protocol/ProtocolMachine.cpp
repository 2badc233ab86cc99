#include "protocol/ProtocolMachine.h"

#include <algorithm>
#include <utility>

#include "link/VisibleText.h"
#include "protocol/ProbeWait.h"
#include "protocol/TransitionTable.h"

ProtocolMachine::ProtocolMachine(MachineHost& host, Limits limits) : host(host), limits_(limits) {}

Action ProtocolMachine::handle(Event event) {
    eventNote.clear();
    eventReply.reset();
    const bool writes = event == Event::InstallClicked || event == Event::SetAddressClicked;
    if (writes && conflicted == host.origin())
        return run(stillTwo());
    return run(event);
}

Action ProtocolMachine::fileChosen(Pass pass, int count, Origin origin) {
    chosen = TransferPosition{pass, pass, 0, count, origin, false};
    if (conflicted == origin) {
        eventNote.clear();
        eventReply.reset();
        return run(stillTwo());
    }
    return handle(Event::FileChosen);
}

// A second board named at an address is not forgotten because one of them went quiet.
Event ProtocolMachine::stillTwo() {
    conflictText = "found before: open the port again once one board is left there";
    return Event::TwoAnswers;
}

Action ProtocolMachine::reply(const Reply& reply) {
    const ReplyKeyword keyword = decidingKeyword(reply.text);
    eventNote = "the reply \"" + visibleText(withoutCrLf(reply.text)) + "\"";
    eventReply = reply;
    return run(classify(reply, keyword));
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
    if (current == State::Confirming) {
        // Record 1 goes out once a second board at the address would have answered too: its twin
        // close behind the first answer, a slower one within the probe's answer window.
        if (before != State::Confirming)
            deadline_ = std::max(host.now() + kTwinSpread, probes.lastSent + host.probeAnswerWindow());
        return;
    }
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
