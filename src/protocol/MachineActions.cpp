#include "protocol/ProtocolMachine.h"

// What each action of the table does: the machine's data, and what it asks of its host.

void ProtocolMachine::send(bool reached) {
    frameSent = frameSent || reached;
    frameLost = frameLost || !reached;
}

// A new transfer judges its answers afresh: the last one's doubled answers say nothing of it.
void ProtocolMachine::startTransfer() {
    failure_.reset();
    taken.reset();
    doubledRun = 0;
    startPass(position.pass);
}

void ProtocolMachine::startPass(Pass pass) {
    position.pass = pass;
    position.record = 1;
    position.refused = false;
    send(host.sendRecord(pass, 1));
}

void ProtocolMachine::fail(FailureReason reason, bool tell) {
    Failure failure{reason, position.pass, position.record, position.count, {}, instead, {}, {}};
    if (reason == FailureReason::Restarted && eventReply)
        failure.reply = withoutCrLf(eventReply->text);
    if (reason == FailureReason::Stalled)
        failure.limit = limits_.stall;
    if (reason == FailureReason::EraseStalled)
        failure.limit = limits_.erase;
    if (reason == FailureReason::MoreThanOneBoard) {
        failure.reply = conflictText;
        failure.origin = position.origin;
        conflicted = position.origin;
    }
    failure_ = failure;
    // A held record's "FORMAT" may have blanked the bar: every failure ends on ERROR.
    host.showBar(BarMark::Error);
    if (tell)
        host.showFailure(failure);
}

// More than one board answers outside a transfer: nothing more goes to them.
void ProtocolMachine::nameConflict() {
    host.setWaiting(false);
    host.showBar(BarMark::Error);
    Failure failure;
    failure.reason = FailureReason::MoreThanOneBoard;
    failure.reply = conflictText;
    failure.origin = eventReply ? eventReply->origin : host.origin();
    conflicted = failure.origin;
    host.showFailure(failure);
}

void ProtocolMachine::perform(Action action) {
    switch (action) {
    case Action::Ignore:
    case Action::ShowOnly:
    case Action::Refuse:
    case Action::AllowDialog:
    case Action::CommandAnswered:
    case Action::CommandUnanswered:
        break;
    case Action::OpenNoWait:
        conflicted.reset();
        break;
    case Action::NoteInstead:
        instead = eventNote;
        break;
    case Action::OpenProbe:
    case Action::OpenScan:
    case Action::ResumeScan:
        probes = ProbeBook{};
        conflicted.reset();
        host.setWaiting(true);
        if (action == Action::ResumeScan)
            host.clearAnswer();
        break;
    case Action::Close:
    case Action::LosePort:
        host.setWaiting(false);
        probes = ProbeBook{};
        conflicted.reset();
        break;
    case Action::Probe: {
        const std::uint64_t before = host.framesSent();
        host.probe();
        probeSent(host.framesSent() > before);
        break;
    }
    case Action::GiveUp:
        host.giveUp();
        break;
    case Action::StopWaitAndSendAddressChange:
        host.setWaiting(false);
        [[fallthrough]];
    case Action::SendAddressChange:
        send(host.sendAddressChange());
        break;
    case Action::SendIdentify: {
        host.clearAnswer();
        const bool reached = host.sendIdentify();
        send(reached);
        probeSent(reached); // it is the wait's own probe
        break;
    }
    case Action::StopWaitAndSendInstall:
        host.setWaiting(false);
        [[fallthrough]];
    case Action::SendInstall:
        send(host.sendInstall());
        break;
    case Action::LoadWithoutSending:
    case Action::AwaitVersionToStart:
        host.takeChosenFile(chosen.pass);
        break;
    case Action::StartTransfer:
        position = chosen;
        host.takeChosenFile(position.pass);
        startTransfer();
        break;
    case Action::AwaitAnswerWindow:
        host.setWaiting(false);
        host.showReady();
        confirmed = eventReply ? eventReply->origin : chosen.origin;
        break;
    case Action::StartOnVersion:
        position = chosen;
        position.origin = confirmed;
        startTransfer();
        break;
    case Action::Cancelled:
        host.showCancelled();
        break;
    case Action::ShowNoFile:
        host.showBar(BarMark::NoFile);
        break;
    case Action::Ready:
        host.setWaiting(false);
        host.showReady();
        break;
    case Action::MarkError:
        host.showBar(BarMark::Error);
        break;
    case Action::NameConflict:
        nameConflict();
        break;
    case Action::ShowErase:
    case Action::StartErase:
        host.showBar(BarMark::Erase);
        break;
    case Action::SendNextRecord:
        ++position.record;
        position.refused = false;
        send(host.sendRecord(position.pass, position.record));
        break;
    case Action::AwaitPassEnd:
        position.refused = false;
        break;
    case Action::StartVerifyPass:
        host.showBar(BarMark::Verify);
        startPass(Pass::Verify);
        break;
    case Action::EndVerified:
        host.showBar(BarMark::End);
        break;
    case Action::Hold:
        position.refused = true;
        host.showBar(BarMark::Error);
        break;
    case Action::HoldErasing:
        // The board erases before it takes the refused record again: it has the erase's allowance.
        host.showBar(BarMark::Erase);
        deadline_ = host.now() + limits_.erase;
        break;
    case Action::ResumeOnVersion:
        host.setWaiting(false);
        host.showReady();
        send(host.sendRecord(position.pass, position.record));
        break;
    case Action::Resume:
        send(host.sendRecord(position.pass, position.record));
        break;
    case Action::FailEndedEarly:
        fail(FailureReason::EndedEarly, false);
        break;
    case Action::FailRefused:
        fail(FailureReason::RefusedTwice, false);
        break;
    case Action::FailRestarted:
        host.showReady();
        fail(FailureReason::Restarted, true);
        break;
    case Action::FailStalled:
        fail(FailureReason::Stalled, true);
        break;
    case Action::FailEraseStalled:
        fail(FailureReason::EraseStalled, true);
        break;
    case Action::FailFraming:
        fail(FailureReason::FramingSwitched, true);
        break;
    case Action::FailNotSent:
        fail(FailureReason::NotSent, true);
        break;
    case Action::GiveUpHeld:
        fail(FailureReason::NotRetaken, true);
        break;
    case Action::FailConflict:
        fail(FailureReason::MoreThanOneBoard, true);
        break;
    }
}
