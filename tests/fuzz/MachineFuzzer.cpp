// The window's logic against the model boards of the property test (support/MachineSequence.h):
// the input chooses the boards' faults, the line's speed, every timing and the user's clicks. A
// broken invariant, above all END while a board at the address lacks the file, aborts with a line
// that says which.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/MachineSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteChoices choices(data, size);
    const Faults faults = Faults::choose(choices);
    const std::string broken =
        runMachineSequence(choices, faults, 3000, std::getenv("MACHINE_TRACE") != nullptr);
    if (!broken.empty()) {
        std::fflush(stdout); // a trace asked for comes before the abort
        std::fprintf(stderr, "%s (faults: %s)\n", broken.c_str(), faults.describe().c_str());
        std::abort();
    }
    return 0;
}
