#pragma once

#include <optional>

#include "console/output/ProgressReporter.h"

// What a progress line shows of a transfer's state: it moves forward only. The window's bar goes
// back when the device announces its erase ("FORMAT" empties the bar after record 1 of a download
// went out) and may do so again later; a reader of the lines sees the stages in their order
// (ERASE, DOWNLOAD, VERIFY, END) and a count that never falls within a stage.
ProgressState forwardProgress(const std::optional<ProgressState>& shown, ProgressState next);
