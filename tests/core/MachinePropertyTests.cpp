// The window's logic driven by thousands of random sequences of clicks, ticks and board behaviour,
// against model boards on a line with its wire time, each case with one kind of fault (the model
// and the invariants: support/MachineSequence.h).
// MACHINE_SEED and MACHINE_SEQUENCES run other or more sequences; MACHINE_TRACE=1 prints each step;
// MACHINE_CORPUS=DIR writes each case's choices (its first failing sequence, else its first) as a
// seed of the fuzzer tests/fuzz/MachineFuzzer.cpp.
#include <cstdlib>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "support/MachineSequence.h"

namespace {

struct FaultCase {
    const char* name;
    std::optional<Faults> faults; // empty: each sequence chooses its own mix
    friend void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }
};

constexpr Faults kHonest{.restarts = 1, .refusals = 4, .formats = 3};

const FaultCase kCases[] = {
    {"HonestBoards", kHonest},
    {"HonestBoardsAt9600", Faults{.restarts = 1, .refusals = 4, .formats = 3, .baud = 9600}},
    {"LateDuplicates", Faults{.lateDuplicates = 20, .refusals = 4}},
    {"DropWhileBusy", Faults{.busyWriteMs = 30}},
    {"DropWhileBusyAndLateDuplicates", Faults{.lateDuplicates = 10, .busyWriteMs = 30, .baud = 9600}},
    {"TwoBoardsAnsweringAlike", Faults{.twin = Faults::Twin::Alike, .refusals = 4}},
    {"TwoBoardsOneRefusing", Faults{.twin = Faults::Twin::Refusing}},
    {"SlowProbeAnswers", Faults{.slowProbes = true, .restarts = 1, .refusals = 4}},
    {"NoiseBetweenReplies", Faults{.noise = 20, .refusals = 4}},
    {"Restarts", Faults{.restarts = 5}},
    {"RefusalsTakenUpOrNot", Faults{.refusals = 15}},
    {"FormatErases", Faults{.refusals = 4, .formats = 10, .baud = 19200}},
    {"AnyMix", std::nullopt},
};

unsigned fromEnvironment(const char* name, unsigned otherwise) {
    const char* value = std::getenv(name);
    return value ? static_cast<unsigned>(std::stoul(value)) : otherwise;
}

class MachineProperties : public testing::TestWithParam<FaultCase> {};

} // namespace

TEST_P(MachineProperties, NoRunEndsInAFalseSuccess) {
    const FaultCase& fault = GetParam();
    const unsigned base = fromEnvironment("MACHINE_SEED", 20261207u);
    const unsigned count = fromEnvironment("MACHINE_SEQUENCES", 400u);
    const char* corpus = std::getenv("MACHINE_CORPUS");
    std::string failure, kept;
    unsigned seed = base;
    for (; seed < base + count && failure.empty(); ++seed) {
        RandomChoices choices(seed);
        const Faults faults = fault.faults ? *fault.faults : Faults::choose(choices);
        failure = runMachineSequence(choices, faults, 600, std::getenv("MACHINE_TRACE") != nullptr);
        if (!failure.empty())
            failure += " (faults: " + faults.describe() + ")";
        if (seed == base || !failure.empty())
            kept = (fault.faults ? fault.faults->asChoices() : std::string()) + choices.kept;
    }
    if (corpus)
        std::ofstream(std::string(corpus) + "/" + fault.name, std::ios::binary) << kept;
    EXPECT_EQ(failure, "") << "MACHINE_SEED=" << seed - 1 << " MACHINE_SEQUENCES=1";
}

INSTANTIATE_TEST_SUITE_P(Faults, MachineProperties, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });
