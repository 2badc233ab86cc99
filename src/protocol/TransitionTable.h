#pragma once

#include <optional>
#include <span>

#include "protocol/MachineStates.h"

// One row of the machine's table: in any of the states `from`, `event` under `guard` does `action`
// and leads to `to` (empty: the state stays).
struct Transition {
    Event event;
    StateSet from;
    Guard guard;
    Action action;
    std::optional<State> to;
};

// Every row. For each state and event the rows that name them split the machine's data with
// their guards, so exactly one decides; tests/core hold the table to that.
std::span<const Transition> transitionTable();

// What the guards look at.
struct GuardFacts {
    bool lastRecord = false; // the awaited record is its pass's last
    bool verifyPass = false;
    bool refusedBefore = false;
    bool scanMode = false;
};

bool holds(Guard guard, const GuardFacts& facts);

// The one row that decides `event` in `state`; nullptr only for a table that is not whole.
const Transition* decide(State state, Event event, const GuardFacts& facts);
