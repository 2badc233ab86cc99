#include "console/run/InstallOutcome.h"

#include "protocol/InstallVerdict.h"

std::optional<InstallOutcome> installOutcome(const ReplyTally& replies, bool waitOver,
                                             const std::string& lastAnswer, const std::string& silence) {
    switch (judgeInstall(replies, waitOver)) {
    case InstallVerdict::Pending:
        return std::nullopt;
    case InstallVerdict::Started:
        return InstallOutcome{ExitCode::Success, lastAnswer};
    case InstallVerdict::Refused:
        return InstallOutcome{ExitCode::DeviceError, "the device answered \"ERROR\" to the install command"};
    case InstallVerdict::Unconfirmed:
        return InstallOutcome{ExitCode::DeviceError,
                              "the device did not confirm the install command with \"OK\" "
                              "(last answer: " +
                                  lastAnswer + ")"};
    case InstallVerdict::Silent:
        break;
    }
    return InstallOutcome{ExitCode::Stall, silence};
}
