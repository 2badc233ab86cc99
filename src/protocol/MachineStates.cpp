#include "protocol/MachineStates.h"

#include <array>

namespace {

constexpr std::array kStateNames = {
    "Closed",         "Idle",
    "Probing",        "Scanning",
    "VersionAwaited", "Confirming",     "IdentifyAwaited",
    "InstallAwaited", "AddressChangeAwaited",
    "RecordAwaited",  "Erasing",
    "PassEndAwaited", "Held",
    "Ended",          "Failed",
};
static_assert(kStateNames.size() == static_cast<std::size_t>(State::Failed) + 1);

constexpr std::array kEventNames = {
    "OpenProbe",       "OpenScan",        "OpenNoWait",
    "Close",           "PortLost",        "ProbeTick",
    "GiveUpTick",      "NextClicked",     "SetAddressClicked",
    "IdentifyClicked", "InstallClicked",  "SendClicked",
    "LoadClicked",     "FileChosen",      "FileCancelled",
    "FileRefused",     "Version",         "Accepted",
    "Refused",         "PassEnd",         "Erase",
    "Unknown",         "SecondAnswer",    "ForeignReply",
    "Noise",           "TwoAnswers",      "FramingSwitched", "NotSent",
    "Deadline",
};
static_assert(kEventNames.size() == static_cast<std::size_t>(Event::Deadline) + 1);

constexpr std::array kGuardNames = {
    "Always",     "MoreRecords",  "LastOfDownload", "LastOfVerify", "LastRecord",   "DownloadPass",
    "VerifyPass", "FirstRefusal", "RefusedAgain",   "ScanMode",     "FixedAddress",
};
static_assert(kGuardNames.size() == static_cast<std::size_t>(Guard::FixedAddress) + 1);

constexpr std::array kActionNames = {
    "Ignore",
    "ShowOnly",
    "NoteInstead",
    "Refuse",
    "OpenProbe",
    "OpenScan",
    "OpenNoWait",
    "Close",
    "LosePort",
    "Probe",
    "GiveUp",
    "ResumeScan",
    "SendAddressChange",
    "SendIdentify",
    "SendInstall",
    "StopWaitAndSendAddressChange",
    "StopWaitAndSendInstall",
    "AllowDialog",
    "LoadWithoutSending",
    "StartTransfer",
    "AwaitVersionToStart",
    "AwaitAnswerWindow",
    "StartOnVersion",
    "Cancelled",
    "ShowNoFile",
    "Ready",
    "MarkError",
    "NameConflict",
    "ShowErase",
    "CommandAnswered",
    "SendNextRecord",
    "AwaitPassEnd",
    "StartVerifyPass",
    "EndVerified",
    "StartErase",
    "Hold",
    "HoldErasing",
    "Resume",
    "ResumeOnVersion",
    "FailEndedEarly",
    "FailRefused",
    "FailRestarted",
    "FailStalled",
    "FailEraseStalled",
    "FailFraming",
    "FailNotSent",
    "FailConflict",
    "GiveUpHeld",
    "CommandUnanswered",
};
static_assert(kActionNames.size() == static_cast<std::size_t>(Action::CommandUnanswered) + 1);

} // namespace

const char* nameOf(State value) {
    return kStateNames.at(static_cast<std::size_t>(value));
}

const char* nameOf(Event value) {
    return kEventNames.at(static_cast<std::size_t>(value));
}

const char* nameOf(Guard value) {
    return kGuardNames.at(static_cast<std::size_t>(value));
}

const char* nameOf(Action value) {
    return kActionNames.at(static_cast<std::size_t>(value));
}
