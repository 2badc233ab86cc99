#pragma once

#include "protocol/ReplyKeyword.h"

// What a board's replies to "Install " ("BOOTg", then the version query) say. Only the board's
// "OK" to the start command is its word that the application starts.
enum class InstallVerdict {
    Pending,     // nothing decisive yet: the replies may still come
    Started,     // "OK", and no "ERROR"
    Refused,     // a reply holding "ERROR"
    Unconfirmed, // replies came, but no "OK": the version query answered alone, or texts with no keyword
    Silent,      // no reply at all
};

// `replies`: the replies since "Install " was clicked. `waitOver`: no further reply will be waited for.
InstallVerdict judgeInstall(const ReplyTally& replies, bool waitOver);
