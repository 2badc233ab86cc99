#include "console/output/ProgressOrder.h"

namespace {

int stageRank(const std::string& stage) {
    if (stage == "ERASE")
        return 1;
    if (stage == "DOWNLOAD")
        return 2;
    if (stage == "VERIFY")
        return 3;
    if (stage == "END" || stage == "ERROR")
        return 4;
    return 0;
}

} // namespace

ProgressState forwardProgress(const std::optional<ProgressState>& shown, ProgressState next) {
    // The device takes the first record of a download only once its flash is erased.
    if (next.stage == "DOWNLOAD" && next.value <= 1) {
        next.stage = "ERASE";
        next.value = 0;
    }
    // Within a stage the bar only climbs; it falls only with a step back to an earlier stage.
    if (shown && stageRank(next.stage) < stageRank(shown->stage)) {
        next.stage = shown->stage;
        next.value = shown->value;
    }
    return next;
}
