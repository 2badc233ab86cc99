#pragma once

#include <string>

#include "support/ModelBoards.h"

// One run of the window's logic (frmSerial on a fake view) against model boards on a model line:
// the user's clicks, the time between them and the boards' behaviour come from `choices`, for at
// most `steps` steps (fewer once the choices are spent). Returns the first invariant broken, with
// the step it broke at; empty when all held. `trace` prints every write, answer and machine step.
//
// Always: END only when every board at the transfer's address holds the file's image; every state
// that waits for the board has a deadline; the connection wait probes. Where no fault lets a reply
// answer another frame, also on the wire: at most one record in flight; a transfer's records form
// one chain per pass, which starts again at record 1 only when the user asks; a verify pass never
// writes; records go only to the board the transfer started with.
std::string runMachineSequence(Choices& choices, const Faults& faults, int steps, bool trace);
