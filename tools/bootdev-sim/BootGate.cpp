#include "BootGate.h"

BootGate::BootGate(Line line, Clock::duration window) : line(line), window(window) {}

void BootGate::linesSet(bool dtr, bool rts, Clock::time_point now) {
    if (line == Line::None)
        return;
    const bool nowAsserted = line == Line::Dtr ? dtr : rts;
    if (nowAsserted)
        listeningUntil.reset(); // held in reset
    else if (asserted)
        listeningUntil = now + window;
    asserted = nowAsserted;
}

bool BootGate::takes(Clock::time_point now) {
    if (line == Line::None)
        return true;
    if (!listeningUntil || now > *listeningUntil)
        return false;
    listeningUntil = now + window;
    return true;
}
