#pragma once

#include <cstddef>
#include <cstdint>

// The connection and the transfer as one machine: where it stands (State), what happens to it
// (Event), the condition a row may put on the machine's data (Guard) and what the row does
// (Action). docs/PROTOCOL.md has the table for people.

enum class State : std::uint8_t {
    Closed,               // the port is closed
    Idle,                 // open; nothing awaits an answer (connected, gave up, or opened without a wait)
    Probing,              // the connection wait probes one address
    Scanning,             // the connection wait walks the addresses
    VersionAwaited,       // a file was chosen during the wait: the transfer starts at the board that answers
    Confirming,           // that board answered: record 1 waits until a second board would have answered too
    IdentifyAwaited,      // "?" sent: its version reply awaited
    InstallAwaited,       // "Install " sent: the board's "OK" and the version reply awaited
    AddressChangeAwaited, // "Set Addr" sent: the board's answer awaited
    RecordAwaited,        // a record of a pass sent: its answer awaited
    Erasing,              // the board said "FORMAT" for the awaited record: it erases first
    PassEndAwaited,       // the pass's last record was answered "OK": the pass end awaited
    Held,                 // a record was refused ("ERROR"): the board may take it again
    Ended,                // END: every record of the transfer's passes was answered
    Failed,               // the transfer stopped, for a reason the machine keeps
};
inline constexpr std::size_t kStateCount = static_cast<std::size_t>(State::Failed) + 1;

enum class Event : std::uint8_t {
    // The port.
    OpenProbe,  // opened with an address in the address box
    OpenScan,   // opened with the address box empty
    OpenNoWait, // opened with the address "0"
    Close,      // "Close", or the window closing
    PortLost,   // the port failed while open
    // The connection wait's timer.
    ProbeTick,  // a probe is due
    GiveUpTick, // the 127 probes are spent
    // Buttons.
    NextClicked,
    SetAddressClicked,
    IdentifyClicked,
    InstallClicked,
    SendClicked, // the hidden "Send" button
    LoadClicked, // "Open File and  Download" or "Verify", before the dialog
    FileChosen,  // a file was chosen and read whole
    FileCancelled,
    FileRefused, // the chosen file cannot be sent: the loader has said why
    // Replies from the board the machine talks to, by their deciding keyword.
    Version,
    Accepted, // "OK"
    Refused,  // "ERROR"
    PassEnd,  // "DOWNLOAD"
    Erase,    // "FORMAT"
    Unknown,  // no keyword
    // Replies that answer nothing awaited, and other bytes.
    SecondAnswer, // a reply that began to arrive before the awaited frame was sent
    ForeignReply, // a reply from another address, or in the other framing
    Noise,        // bytes that formed no reply
    TwoAnswers,   // two different answers to one frame, or more answers than frames: more than one board
    // The machine's own.
    FramingSwitched, // Modbus RTU framing switched on or off
    NotSent,         // the frame the machine sent did not reach the wire
    Deadline,        // the state's deadline has passed
};
inline constexpr std::size_t kEventCount = static_cast<std::size_t>(Event::Deadline) + 1;

// A condition on the machine's data. For one state and event, the guards of its rows split every
// combination of the data between them: exactly one row applies.
enum class Guard : std::uint8_t {
    Always,
    MoreRecords,    // the awaited record is not the pass's last
    LastOfDownload, // it is the last, in the download pass
    LastOfVerify,   // it is the last, in the verify pass
    LastRecord,     // it is the last, in either pass
    DownloadPass,
    VerifyPass,
    FirstRefusal, // the awaited record was not refused before
    RefusedAgain, // it was refused once already
    ScanMode,     // the port was opened to scan
    FixedAddress, // it was opened with an address
};

enum class Action : std::uint8_t {
    Ignore,      // nothing at all: the event has no business in this state
    ShowOnly,    // the reply stays in the answer box; nothing else changes
    NoteInstead, // remembered as what came instead of the awaited answer
    Refuse,      // a click refused: a frame awaits its answer (the button is disabled)
    OpenProbe,   // the wait starts, at the address in the box
    OpenScan,    // the wait starts, walking the addresses
    OpenNoWait,  // open without a wait
    Close,       // everything stops
    LosePort,    // everything stops; the port failed
    Probe,       // one probe of the wait
    GiveUp,      // the wait ends without a board
    ResumeScan,  // "Next": the wait goes on past the board found
    SendAddressChange,
    SendIdentify,
    SendInstall,
    StopWaitAndSendAddressChange, // the connection wait stops: the command's answer is awaited
    StopWaitAndSendInstall,
    AllowDialog,         // the file dialog may open
    LoadWithoutSending,  // port closed: the file is loaded, nothing can go out
    StartTransfer,       // record 1 of the first pass goes out
    AwaitVersionToStart, // the transfer starts with the version reply of the board that answers
    AwaitAnswerWindow,   // that reply came: a second board's answer is waited for first
    StartOnVersion,      // none came: record 1 goes to the address that answered
    Cancelled,           // the dialog was cancelled
    ShowNoFile,          // the file was refused: the bar has no file
    Ready,               // a version reply: the wait stops, the status reads "READY"
    MarkError,           // "ERROR" outside a transfer: the bar says so
    NameConflict,        // more than one board answers: the bar says ERROR, one box says so
    ShowErase,           // "FORMAT" outside a record's wait, or again: the bar shows the erase
    CommandAnswered,     // the board answered "Set Addr"
    SendNextRecord,
    AwaitPassEnd,
    StartVerifyPass,
    EndVerified,
    StartErase,
    Hold,             // the refused record may be taken again
    HoldErasing,      // the board erases before it takes the refused record again: the erase allowance
    Resume,           // the refused record goes out again
    ResumeOnVersion,  // the same, on the version reply of the board that restarted
    FailEndedEarly,   // the board ended a pass before its last record
    FailRefused,      // the same record refused twice
    FailRestarted,    // a version reply while a record awaited its answer
    FailStalled,      // no answer within the stall limit
    FailEraseStalled, // the erase did not end within its allowance
    FailFraming,      // the framing was switched while the transfer ran
    FailNotSent,      // a record did not reach the wire
    FailConflict,     // two different answers to one record, or every record answered twice
    GiveUpHeld,       // a refused record was not taken again in time
    CommandUnanswered,
};

// A set of states, for rows that decide alike for several.
using StateSet = std::uint32_t;

constexpr StateSet bit(State state) {
    return StateSet{1} << static_cast<unsigned>(state);
}
template <typename... States> constexpr StateSet states(States... each) {
    return (bit(each) | ...);
}

// A record of a transfer awaits its answer; a single-shot command awaits its answer.
inline constexpr StateSet kRecordInFlight =
    states(State::RecordAwaited, State::Erasing, State::PassEndAwaited);
inline constexpr StateSet kCommandAwaited =
    states(State::IdentifyAwaited, State::InstallAwaited, State::AddressChangeAwaited);
// A transfer runs, or is held for its board to take the refused record up again.
inline constexpr StateSet kTransferRunning = kRecordInFlight | bit(State::Held);
// A frame awaits its answer, or a refused record its taking up again.
inline constexpr StateSet kAwaiting = kTransferRunning | kCommandAwaited;

constexpr bool inSet(State state, StateSet set) {
    return (bit(state) & set) != 0;
}

const char* nameOf(State state);
const char* nameOf(Event event);
const char* nameOf(Guard guard);
const char* nameOf(Action action);
