// The flasher's command line from arbitrary arguments (the input cut at NUL bytes): it either
// refuses with a UsageError or gives options that all lie in their ranges.
#include <string>
#include <vector>

#include "console/cli/CliOptions.h"
#include "fuzz/FuzzRequire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back() += static_cast<char>(data[i]);
    }
    try {
        const CliOptions options = parseCommandLine(arguments);
        if (options.help || options.version)
            return 0;
        require(options.baud == 9600 || options.baud == 19200 || options.baud == 115200);
        // No poll means replies are read on arrival.
        require(!options.pollMs || (*options.pollMs >= 1 && *options.pollMs <= kMaxPollMs));
        require(options.scanFirst >= 1 && options.scanFirst <= options.scanLast && options.scanLast <= 127);
        // Waits are kept to the millisecond; no board answers the broadcast address 0.
        require(!options.connectTimeoutSeconds || *options.connectTimeoutSeconds >= 0.001);
        require(!options.address || (*options.address >= 1 && *options.address <= 255));
        require(options.stallTimeoutSeconds >= 0.001);
        require(!takesFirmwareFile(options.operation) || !options.file.empty());
    } catch (const UsageError&) {
    }
    return 0;
}
