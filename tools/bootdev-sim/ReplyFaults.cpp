#include "ReplyFaults.h"

std::optional<FaultedReply> ReplyFaults::apply(std::string frame) {
    if (babbling())
        return std::nullopt;
    ++replyNumber_;
    if (hits(settings_.dropEvery, replyNumber_))
        return std::nullopt;
    if (hits(settings_.corruptEvery, replyNumber_) && frame.size() > corruptedIndex())
        frame[corruptedIndex()] ^= 0x20;
    // Line noise as an RS-485 transceiver makes it when it switches direction: zero bytes.
    if (hits(settings_.strayEvery, replyNumber_))
        frame.insert(0, settings_.strayBytes, '\0');
    if (hits(settings_.twiceEvery, replyNumber_))
        frame += std::string(frame);
    return FaultedReply{std::move(frame), hits(settings_.glueEvery, replyNumber_)};
}
