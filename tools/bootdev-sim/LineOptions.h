#pragma once

#include "SimOptions.h"

// The options of line `line` (counted from 1) of several: its own link and dump paths, and the
// faults only where --faulty-line allows them.
SimOptions lineOptions(const SimOptions& options, unsigned line);
