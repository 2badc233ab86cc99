#include "protocol/InstallVerdict.h"

InstallVerdict judgeInstall(const ReplyTally& replies, bool waitOver) {
    if (replies.of(ReplyKeyword::Error) > 0)
        return InstallVerdict::Refused;
    const bool accepted = replies.of(ReplyKeyword::Accepted) > 0;
    // The version reply answers the query sent last, so nothing more is to come after it.
    if (!waitOver && replies.of(ReplyKeyword::Version) == 0)
        return InstallVerdict::Pending;
    if (accepted)
        return InstallVerdict::Started;
    return replies.total() > 0 ? InstallVerdict::Unconfirmed : InstallVerdict::Silent;
}
