#include "console/cli/ResetSequence.h"

#include <cmath>

#include "console/cli/CliOptions.h"
#include "console/cli/OptionValues.h"

namespace {

// The usual jig wirings; a line asserted ("1") drives its pin low on a standard adapter.
struct Preset {
    const char* name;
    const char* steps;
};

constexpr Preset kPresets[] = {
    {"dtr-reset", "D1|W0.1|D0|W0.05"},
    {"rts-reset", "R1|W0.1|R0|W0.05"},
    {"dtr-reset-rts-boot", "R1|D1|W0.1|D0|W0.05|R0"},
    {"rts-reset-dtr-boot", "D1|R1|W0.1|R0|W0.05|D0"},
};

// Waits longer than this are a typing error, not a reset.
constexpr double kLongestWaitSeconds = 60;

bool level(char digit, bool& on) {
    if (digit != '0' && digit != '1')
        return false;
    on = digit == '1';
    return true;
}

// Fills `step` from its text; false when the text is no step.
bool readStep(const std::string& text, ResetStep& step) {
    bool on = false;
    bool other = false;
    if (text.size() == 2 && (text[0] == 'D' || text[0] == 'R') && level(text[1], on)) {
        (text[0] == 'D' ? step.lines.dtr : step.lines.rts) = on;
        return true;
    }
    if (text.size() == 4 && text[0] == 'U' && text[2] == ',' && level(text[1], on) && level(text[3], other)) {
        step.lines = {on, other};
        return true;
    }
    if (text.size() < 2 || text[0] != 'W')
        return false;
    const std::optional<double> seconds = optionvalues::decimalSeconds(text.substr(1));
    if (!seconds || *seconds > kLongestWaitSeconds)
        return false;
    step.wait = std::chrono::microseconds(std::llround(*seconds * 1e6));
    return true;
}

} // namespace

std::vector<ResetStep> parseResetSequence(const std::string& text, const std::string& option) {
    std::string steps = text;
    for (const Preset& preset : kPresets)
        if (text == preset.name)
            steps = preset.steps;
    std::vector<ResetStep> sequence;
    std::size_t from = 0;
    while (true) {
        const std::size_t bar = steps.find('|', from);
        ResetStep step;
        step.text = steps.substr(from, bar - from);
        if (!readStep(step.text, step))
            throw UsageError(option + ": step " + std::to_string(sequence.size() + 1) + " \"" + step.text +
                             "\" is none of D0, D1, R0, R1, U<dtr>,<rts> (U1,0), W<seconds> (W0.1, at "
                             "most 60), nor a preset name");
        sequence.push_back(step);
        if (bar == std::string::npos)
            return sequence;
        from = bar + 1;
    }
}

std::string resetPresetsHelp() {
    std::string help;
    for (const Preset& preset : kPresets)
        help += std::string(help.empty() ? "" : ", ") + preset.name + " (" + preset.steps + ")";
    return help;
}
