#include "LineOptions.h"

SimOptions lineOptions(const SimOptions& options, unsigned line) {
    SimOptions own = options;
    if (options.lines > 1) {
        const std::string suffix = "." + std::to_string(line);
        if (own.linkPath)
            *own.linkPath += suffix;
        if (own.dumpPath)
            *own.dumpPath += suffix;
    }
    if (options.faultyLine != 0 && options.faultyLine != line) {
        const SimOptions clean;
        own.timing.replyDelay = clean.timing.replyDelay;
        own.faults = clean.faults;
        own.boardFaults = clean.boardFaults;
        own.endPassAfter = clean.endPassAfter;
        own.restartAt = clean.restartAt;
        own.restartOnError = clean.restartOnError;
        own.quirks.noiseEvery = clean.quirks.noiseEvery;
    }
    return own;
}
