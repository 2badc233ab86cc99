#include "protocol/FailureText.h"

#include "link/VisibleText.h"

const char* passCaption(Pass pass) {
    return pass == Pass::Verify ? "VERIFY" : "DOWNLOAD";
}

std::string durationText(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0)
        return std::to_string(limit.count() / 1000) + " s";
    return std::to_string(limit.count()) + " ms";
}

std::string recordText(const Failure& failure) {
    return "record " + std::to_string(failure.record) + " of " + std::to_string(failure.count);
}

std::string failureText(const Failure& failure) {
    const std::string during = recordText(failure) + " during " + passCaption(failure.pass);
    switch (failure.reason) {
    case FailureReason::Stalled: {
        std::string text =
            "No answer to " + during + " for " + durationText(failure.limit) + ": the transfer was stopped.";
        if (!failure.instead.empty())
            text += " Instead came " + failure.instead + ".";
        return text;
    }
    case FailureReason::EraseStalled:
        return "The erase the device began at " + during + " did not end within " +
               durationText(failure.limit) + ": the transfer was stopped.";
    case FailureReason::Restarted:
        return "The device restarted during " + recordText(failure) + " (" + visibleText(failure.reply) + ")";
    case FailureReason::FramingSwitched:
        return "The Modbus RTU framing was switched at " + during + ": the transfer was stopped.";
    case FailureReason::NotSent:
        return "R" + recordText(failure).substr(1) + " could not be sent during " +
               passCaption(failure.pass) + ": the transfer was stopped.";
    case FailureReason::EndedEarly:
        return "The device ended the " + std::string(passCaption(failure.pass)) + " pass after " +
               recordText(failure) + ".";
    case FailureReason::RefusedTwice:
        return "The device refused " + during + " twice.";
    case FailureReason::NotRetaken:
        return "The device refused " + during + " and did not take it up again.";
    case FailureReason::MoreThanOneBoard: {
        std::string text = "More than one board answers";
        if (failure.origin.framed)
            text += " at address " + std::to_string(failure.origin.address);
        if (failure.record > 0)
            text += ": " + during + " was stopped";
        if (!failure.reply.empty())
            text += " (" + failure.reply + ")";
        return text + ".";
    }
    }
    return {};
}
