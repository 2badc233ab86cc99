#include "protocol/TransitionTable.h"

#include <array>

namespace {

using S = State;
using E = Event;
using G = Guard;
using A = Action;

constexpr StateSet kAll = (StateSet{1} << kStateCount) - 1;
constexpr StateSet kResting = states(S::Idle, S::Ended, S::Failed);
constexpr StateSet kWaits = states(S::Probing, S::Scanning);
constexpr StateSet kCommands = kCommandAwaited;
constexpr StateSet kInFlight = kRecordInFlight;
// A frame awaits its answer: nothing else may go out beside it.
constexpr StateSet kBusy = kCommands | kInFlight;
constexpr StateSet kNotBusy = kAll & ~kBusy;
// Where a reply is only shown: nothing awaits it.
constexpr StateSet kNothingAwaited = kAll & ~kBusy & ~bit(S::Held);
// A file awaits the board that answers the wait, or that board's twin.
constexpr StateSet kFileAwaits = states(S::VersionAwaited, S::Confirming);
// What a board sends after the transfer's end changes nothing on the bar.
constexpr StateSet kOver = states(S::Ended, S::Failed);

constexpr std::optional<State> kStay{};

constexpr Transition kRows[] = {
    // The port.
    {E::OpenProbe, kAll, G::Always, A::OpenProbe, S::Probing},
    {E::OpenScan, kAll, G::Always, A::OpenScan, S::Scanning},
    {E::OpenNoWait, kAll, G::Always, A::OpenNoWait, S::Idle},
    {E::Close, kAll, G::Always, A::Close, S::Closed},
    {E::PortLost, kAll, G::Always, A::LosePort, S::Closed},

    // The connection wait. With the port closed, "Next" still runs the wait, which sends nothing.
    {E::ProbeTick, bit(S::Closed) | kWaits | bit(S::VersionAwaited), G::Always, A::Probe, kStay},
    {E::ProbeTick, kResting | kBusy | states(S::Held, S::Confirming), G::Always, A::Ignore, kStay},
    {E::GiveUpTick, kWaits | bit(S::VersionAwaited), G::Always, A::GiveUp, S::Idle},
    {E::GiveUpTick, bit(S::Closed), G::Always, A::GiveUp, kStay},
    {E::GiveUpTick, kResting | kBusy | states(S::Held, S::Confirming), G::Always, A::Ignore, kStay},
    {E::NextClicked, bit(S::Closed) | bit(S::VersionAwaited), G::Always, A::ResumeScan, kStay},
    {E::NextClicked, kResting | kWaits | bit(S::Held), G::Always, A::ResumeScan, S::Scanning},
    {E::NextClicked, kBusy | bit(S::Confirming), G::Always, A::Refuse, kStay},

    // Single-shot commands: sent wherever a click may send, and awaited where nothing else runs. "?"
    // sends the connection wait's own probe, so the wait goes on; "Set Addr" and "Install " end the
    // wait and await their answer. A transfer waiting for the board to answer gives way to the
    // command; so does a held transfer.
    {E::IdentifyClicked, bit(S::Closed) | kWaits, G::Always, A::SendIdentify, kStay},
    {E::IdentifyClicked, kResting | bit(S::Held), G::Always, A::SendIdentify, S::IdentifyAwaited},
    {E::IdentifyClicked, bit(S::VersionAwaited), G::ScanMode, A::SendIdentify, S::Scanning},
    {E::IdentifyClicked, bit(S::VersionAwaited), G::FixedAddress, A::SendIdentify, S::Probing},
    {E::IdentifyClicked, kBusy | bit(S::Confirming), G::Always, A::Refuse, kStay},
    {E::SetAddressClicked, bit(S::Closed), G::Always, A::SendAddressChange, kStay},
    {E::SetAddressClicked, kResting | bit(S::Held), G::Always, A::SendAddressChange, S::AddressChangeAwaited},
    {E::SetAddressClicked, kWaits | bit(S::VersionAwaited), G::Always, A::StopWaitAndSendAddressChange,
     S::AddressChangeAwaited},
    {E::SetAddressClicked, kBusy | bit(S::Confirming), G::Always, A::Refuse, kStay},
    {E::InstallClicked, bit(S::Closed), G::Always, A::SendInstall, kStay},
    {E::InstallClicked, kResting | bit(S::Held), G::Always, A::SendInstall, S::InstallAwaited},
    {E::InstallClicked, kWaits | bit(S::VersionAwaited), G::Always, A::StopWaitAndSendInstall,
     S::InstallAwaited},
    {E::InstallClicked, kBusy | bit(S::Confirming), G::Always, A::Refuse, kStay},
    // The hidden "Send" button: records go out only as the board answers them.
    {E::SendClicked, kAll, G::Always, A::Ignore, kStay},

    // Choosing a file. The poll runs on while the dialog is open: the state may have moved on.
    {E::LoadClicked, kNotBusy, G::Always, A::AllowDialog, kStay},
    {E::LoadClicked, kBusy, G::Always, A::Refuse, kStay},
    {E::FileChosen, bit(S::Closed), G::Always, A::LoadWithoutSending, kStay},
    {E::FileChosen, kResting | bit(S::Held), G::Always, A::StartTransfer, S::RecordAwaited},
    {E::FileChosen, kWaits | bit(S::VersionAwaited), G::Always, A::AwaitVersionToStart, S::VersionAwaited},
    {E::FileChosen, bit(S::Confirming), G::Always, A::AwaitVersionToStart, kStay},
    {E::FileChosen, kBusy, G::Always, A::Refuse, kStay},
    {E::FileCancelled, kAll, G::Always, A::Cancelled, kStay},
    {E::FileRefused, kNotBusy, G::Always, A::ShowNoFile, kStay},
    {E::FileRefused, kBusy, G::Always, A::Ignore, kStay},

    // "VER=": the board is there. During a transfer it has restarted.
    {E::Version, bit(S::Closed), G::Always, A::ShowOnly, kStay},
    {E::Version, kResting, G::Always, A::Ready, kStay},
    {E::Version, kWaits | states(S::IdentifyAwaited, S::InstallAwaited), G::Always, A::Ready, S::Idle},
    {E::Version, bit(S::AddressChangeAwaited), G::Always, A::Ready, kStay}, // no answer to "BOOT$"
    {E::Version, bit(S::VersionAwaited), G::Always, A::AwaitAnswerWindow, S::Confirming},
    {E::Version, bit(S::Confirming), G::Always, A::ShowOnly,
     kStay}, // a late or a second answer: taken apart before
    {E::Version, kInFlight, G::Always, A::FailRestarted, S::Failed},
    {E::Version, bit(S::Held), G::Always, A::ResumeOnVersion, S::RecordAwaited},

    // "OK": only an awaited record or command takes it.
    {E::Accepted, kNothingAwaited | bit(S::IdentifyAwaited) | bit(S::InstallAwaited), G::Always, A::ShowOnly,
     kStay},
    {E::Accepted, bit(S::AddressChangeAwaited), G::Always, A::CommandAnswered, S::Idle},
    {E::Accepted, states(S::RecordAwaited, S::Erasing), G::MoreRecords, A::SendNextRecord, S::RecordAwaited},
    {E::Accepted, states(S::RecordAwaited, S::Erasing), G::LastRecord, A::AwaitPassEnd, S::PassEndAwaited},
    {E::Accepted, bit(S::PassEndAwaited), G::Always, A::NoteInstead, kStay},
    {E::Accepted, bit(S::Held), G::Always, A::Resume, S::RecordAwaited},

    // "ERROR".
    {E::Refused, bit(S::Closed) | kOver, G::Always, A::ShowOnly, kStay},
    {E::Refused, bit(S::Idle) | kWaits | kFileAwaits, G::Always, A::MarkError, kStay},
    {E::Refused, kCommands, G::Always, A::MarkError, S::Idle},
    {E::Refused, kInFlight, G::FirstRefusal, A::Hold, S::Held},
    {E::Refused, kInFlight, G::RefusedAgain, A::FailRefused, S::Failed},
    {E::Refused, bit(S::Held), G::Always, A::NoteInstead, kStay},

    // "DOWNLOAD": the end of a pass, only after its last record.
    {E::PassEnd, kNothingAwaited | kCommands | bit(S::Held), G::Always, A::ShowOnly, kStay},
    {E::PassEnd, states(S::RecordAwaited, S::Erasing), G::MoreRecords, A::FailEndedEarly, S::Failed},
    {E::PassEnd, states(S::RecordAwaited, S::Erasing), G::LastOfDownload, A::StartVerifyPass,
     S::RecordAwaited},
    {E::PassEnd, states(S::RecordAwaited, S::Erasing), G::LastOfVerify, A::EndVerified, S::Ended},
    {E::PassEnd, bit(S::PassEndAwaited), G::DownloadPass, A::StartVerifyPass, S::RecordAwaited},
    {E::PassEnd, bit(S::PassEndAwaited), G::VerifyPass, A::EndVerified, S::Ended},

    // "FORMAT": the board erases before it answers; its allowance starts once per record.
    {E::Erase, bit(S::Closed) | kOver, G::Always, A::ShowOnly, kStay},
    {E::Erase, kAll & ~kOver & ~states(S::Closed, S::RecordAwaited, S::PassEndAwaited, S::Held), G::Always,
     A::ShowErase, kStay},
    {E::Erase, bit(S::Held), G::Always, A::HoldErasing, kStay},
    {E::Erase, states(S::RecordAwaited, S::PassEndAwaited), G::Always, A::StartErase, S::Erasing},

    // A reply without a keyword (an echo of the request, a text of the board's own) answers nothing.
    {E::Unknown, kNothingAwaited, G::Always, A::ShowOnly, kStay},
    {E::Unknown, kBusy | bit(S::Held), G::Always, A::NoteInstead, kStay},

    // What answers nothing awaited.
    {E::SecondAnswer, kNothingAwaited, G::Always, A::ShowOnly, kStay},
    {E::SecondAnswer, kBusy | bit(S::Held), G::Always, A::NoteInstead, kStay},
    {E::ForeignReply, kNothingAwaited, G::Always, A::ShowOnly, kStay},
    {E::ForeignReply, kBusy | bit(S::Held), G::Always, A::NoteInstead, kStay},
    {E::Noise, kNothingAwaited, G::Always, A::Ignore, kStay},
    {E::Noise, kBusy | bit(S::Held), G::Always, A::NoteInstead, kStay},
    // More than one board answers: a transfer stops; anything else stops before it sends.
    {E::TwoAnswers, kInFlight | bit(S::Held), G::Always, A::FailConflict, S::Failed},
    {E::TwoAnswers, kCommands | kWaits | kFileAwaits | kResting, G::Always, A::NameConflict, S::Idle},
    {E::TwoAnswers, bit(S::Closed), G::Always, A::ShowOnly, kStay},

    // Replies can no longer come back in the framing the transfer or command went out in.
    {E::FramingSwitched, kInFlight, G::Always, A::FailFraming, S::Failed},
    {E::FramingSwitched, bit(S::Held), G::Always, A::GiveUpHeld, S::Failed},
    {E::FramingSwitched, kCommands, G::Always, A::CommandUnanswered, S::Idle},
    {E::FramingSwitched, kNothingAwaited & ~bit(S::Confirming), G::Always, A::Ignore, kStay},
    {E::FramingSwitched, bit(S::Confirming), G::Always, A::Ignore,
     S::Idle}, // its board answered in the other

    // A frame that did not reach the wire is answered by nothing.
    {E::NotSent, bit(S::RecordAwaited), G::Always, A::FailNotSent, S::Failed},
    {E::NotSent, kCommands, G::Always, A::CommandUnanswered, S::Idle},
    {E::NotSent, kNothingAwaited | bit(S::Held) | states(S::Erasing, S::PassEndAwaited), G::Always, A::Ignore,
     kStay},

    // Deadlines: no state but the resting ones waits for ever.
    {E::Deadline, states(S::RecordAwaited, S::PassEndAwaited), G::Always, A::FailStalled, S::Failed},
    {E::Deadline, bit(S::Erasing), G::Always, A::FailEraseStalled, S::Failed},
    {E::Deadline, bit(S::Held), G::Always, A::GiveUpHeld, S::Failed},
    {E::Deadline, kCommands, G::Always, A::CommandUnanswered, S::Idle},
    {E::Deadline, bit(S::Confirming), G::Always, A::StartOnVersion, S::RecordAwaited},
    {E::Deadline, kNothingAwaited & ~bit(S::Confirming), G::Always, A::Ignore, kStay},
};

} // namespace

std::span<const Transition> transitionTable() {
    return kRows;
}

bool holds(Guard guard, const GuardFacts& facts) {
    switch (guard) {
    case Guard::Always:
        return true;
    case Guard::MoreRecords:
        return !facts.lastRecord;
    case Guard::LastOfDownload:
        return facts.lastRecord && !facts.verifyPass;
    case Guard::LastOfVerify:
        return facts.lastRecord && facts.verifyPass;
    case Guard::LastRecord:
        return facts.lastRecord;
    case Guard::DownloadPass:
        return !facts.verifyPass;
    case Guard::VerifyPass:
        return facts.verifyPass;
    case Guard::FirstRefusal:
        return !facts.refusedBefore;
    case Guard::RefusedAgain:
        return facts.refusedBefore;
    case Guard::ScanMode:
        return facts.scanMode;
    case Guard::FixedAddress:
        return !facts.scanMode;
    }
    return false;
}

const Transition* decide(State state, Event event, const GuardFacts& facts) {
    for (const Transition& row : kRows)
        if (row.event == event && (row.from & bit(state)) != 0 && holds(row.guard, facts))
            return &row;
    return nullptr;
}
