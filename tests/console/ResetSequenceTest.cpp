#include <gtest/gtest.h>

#include "console/cli/CliOptions.h"
#include "console/cli/ResetSequence.h"

namespace {

// A sequence as one line: "D1 R0 W100ms ...", U steps as "D1R0".
std::string steps(const std::vector<ResetStep>& sequence) {
    std::string text;
    for (const ResetStep& step : sequence) {
        text += text.empty() ? "" : " ";
        if (step.lines.dtr)
            text += std::string("D") + (*step.lines.dtr ? "1" : "0");
        if (step.lines.rts)
            text += std::string("R") + (*step.lines.rts ? "1" : "0");
        if (!step.lines.dtr && !step.lines.rts)
            text += "W" + std::to_string(step.wait.count()) + "us";
    }
    return text;
}

} // namespace

TEST(ResetSequence, ReadsStepsAndPresets) {
    const struct {
        const char* text;
        const char* steps;
    } table[] = {
        {"D0|R1|W0.1|D1|R0|W0.05|D0", "D0 R1 W100000us D1 R0 W50000us D0"},
        {"U1,0|W0|U0,1", "D1R0 W0us D0R1"},
        {"W2.5", "W2500000us"},
        {"W60", "W60000000us"},
        {"W.5", "W500000us"},
        {"dtr-reset", "D1 W100000us D0 W50000us"},
        {"rts-reset", "R1 W100000us R0 W50000us"},
        {"dtr-reset-rts-boot", "R1 D1 W100000us D0 W50000us R0"},
        {"rts-reset-dtr-boot", "D1 R1 W100000us R0 W50000us D0"},
    };
    for (const auto& row : table)
        EXPECT_EQ(steps(parseResetSequence(row.text, "--reset")), row.steps) << row.text;
}

TEST(ResetSequence, AMalformedSequenceIsBadUsageNamingTheStep) {
    const struct {
        const char* text;
        const char* named; // the part of the message that names the step
    } table[] = {
        {"", "step 1 \"\""},
        {"D0||D1", "step 2 \"\""},
        {"D0|", "step 2 \"\""},
        {"D2", "step 1 \"D2\""},
        {"d1", "step 1 \"d1\""},
        {"R1|X", "step 2 \"X\""},
        {"D1 ", "step 1 \"D1 \""},
        {"U1", "step 1 \"U1\""},
        {"U1,2", "step 1 \"U1,2\""},
        {"U1;0", "step 1 \"U1;0\""},
        {"W", "step 1 \"W\""},
        {"W-1", "step 1 \"W-1\""},
        {"W60.1", "step 1 \"W60.1\""},
        {"W1e3", "step 1 \"W1e3\""},
        {"W0.1.2", "step 1 \"W0.1.2\""},
        {"Wnan", "step 1 \"Wnan\""},
        {"dtr-reset|D1", "step 1 \"dtr-reset\""},
    };
    for (const auto& row : table) {
        try {
            parseResetSequence(row.text, "--after");
            ADD_FAILURE() << "accepted: " << row.text;
        } catch (const UsageError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("--after: ", 0), 0u) << message;
            EXPECT_NE(message.find(row.named), std::string::npos) << message;
        }
    }
}
