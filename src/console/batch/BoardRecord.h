#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/cli/ExitCode.h"

// What one board on one port got in a batch: the line a production record keeps for it.
struct BoardRecord {
    std::string port;
    std::optional<int> address;     // empty when the port failed before any board was reached
    std::string reply;              // the board's version reply, when it answered
    std::vector<ExitCode> attempts; // how each attempt ended, in order; the last is the outcome
    double seconds = 0;             // all attempts together
    int records = 0;                // records sent in the last attempt, both passes together
    std::string message;            // how the last attempt ended
    std::string time;               // when the board's last attempt ended, ISO 8601 UTC
    // A board the batch never started: why it was left (a signal's code, or more than one board
    // at its address), as its outcome.
    ExitCode untried = ExitCode::InternalError;

    ExitCode outcome() const { return attempts.empty() ? untried : attempts.back(); }
};

// The batch's exit code: the highest of the boards' codes (success is 0, so any failure wins),
// or "no device" when no board was found at all; `portWithoutBoards` counts as "no device" too.
ExitCode worstOutcome(const std::vector<BoardRecord>& boards, bool portWithoutBoards = false);
