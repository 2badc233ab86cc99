#pragma once

#include <chrono>

// Faults of a board that misbehaves in time rather than in its bytes. Each is off at 0. They go to
// every device, or only to the one SimOptions::faultyDevice names, so that a well-behaved board can
// share an address with a faulty one.
struct BoardFaults {
    // Refuse the N-th record (counted over all passes) once, with "ERROR".
    unsigned refuseRecord = 0;
    // Answer a refused record as a board that prepares the record's place again: "FORMAT", then
    // "OK" this much later; the pass goes on and the record may come again.
    std::chrono::milliseconds eraseAfterRefusal{0};
    // Acknowledge each record on receipt with "OK" and give the record's own answer this much
    // later, once written; requests arriving meanwhile are lost, as to a board busy writing.
    std::chrono::milliseconds ackTwice{0};
    // The version reply to a probe ("BOOTi") comes this much later; replies behind it wait their turn.
    std::chrono::milliseconds probeDelay{0};
};
