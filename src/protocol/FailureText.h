#pragma once

#include <chrono>
#include <string>

#include "protocol/MachineHost.h"

// How a transfer's failure is worded, alike in the window's box and in the flasher's message.

// "DOWNLOAD" or "VERIFY", as the bar names the pass.
const char* passCaption(Pass pass);
// "5 s", or "500 ms" for a limit of no whole seconds.
std::string durationText(std::chrono::milliseconds limit);
// "record 5 of 324".
std::string recordText(const Failure& failure);
// One sentence that says what failed, where, and what came instead of an answer.
std::string failureText(const Failure& failure);
