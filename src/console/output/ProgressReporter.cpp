#include "console/output/ProgressReporter.h"

#include <algorithm>
#include <cstdio>

#include "console/output/ProgressOrder.h"

namespace {

constexpr auto kTerminalRedraw = std::chrono::milliseconds(100);
constexpr auto kPlainLineEvery = std::chrono::seconds(1);

} // namespace

std::string formatProgress(const ProgressState& state, std::optional<double> recordsPerSecond) {
    char line[160];
    const double percent = state.maximum > 0 ? 100.0 * state.value / state.maximum : 0.0;
    int used =
        std::snprintf(line, sizeof line, "%-8s %5d/%-5d %5.1f%%",
                      state.stage.empty() ? "-" : state.stage.c_str(), state.value, state.maximum, percent);
    if (recordsPerSecond && *recordsPerSecond > 0) {
        const long long left = static_cast<long long>(state.recordsRemaining / *recordsPerSecond + 0.5);
        std::snprintf(line + used, sizeof line - used, "  %7.1f rec/s  %lld:%02lld left", *recordsPerSecond,
                      left / 60, left % 60);
    } else {
        std::snprintf(line + used, sizeof line - used, "        - rec/s");
    }
    return line;
}

ProgressReporter::ProgressReporter(bool terminal, std::function<void(const std::string&)> write,
                                   ColumnsSource columns)
    : terminal(terminal), write(std::move(write)), columns(std::move(columns)) {}

void ProgressReporter::update(const ProgressState& reported) {
    const auto now = Clock::now();
    if (!started) {
        started = now;
        sentAtStart = reported.recordsSent;
    }
    const ProgressState state = forwardProgress(shown, reported);
    shown = state;
    const bool stageChanged = state.stage != lastStage;
    const auto interval = terminal ? std::chrono::duration_cast<Clock::duration>(kTerminalRedraw)
                                   : std::chrono::duration_cast<Clock::duration>(kPlainLineEvery);
    if (stageChanged || now - lastDrawn >= interval)
        draw(state, now);
}

void ProgressReporter::draw(const ProgressState& state, Clock::time_point now) {
    lastDrawn = now;
    lastStage = state.stage;
    const double seconds = std::chrono::duration<double>(now - *started).count();
    // Measured from the first report on: the records sent since, over the time since.
    std::optional<double> rate;
    if (seconds > 0 && state.recordsSent > sentAtStart)
        rate = (state.recordsSent - sentAtStart) / seconds;
    const std::string line = formatProgress(state, rate);
    if (terminal)
        redraw(line);
    else
        write(line + "\n");
}

void ProgressReporter::status(const std::string& text) {
    if (terminal)
        redraw(text);
}

void ProgressReporter::redraw(std::string line) {
    const std::size_t fits = columns ? columns() : 0;
    line = fittedTo(line, fits);
    // Pad over the rest of a longer previous line, as far as the terminal, narrowed since, shows it.
    const std::size_t width = columnsOf(line);
    const std::size_t rest = fits == 0 ? lastWidth : std::min(lastWidth, fits - 1);
    if (width < rest)
        line.append(rest - width, ' ');
    lastWidth = width;
    write("\r" + line);
    lineOpen = true;
}

void ProgressReporter::finish() {
    if (lineOpen)
        write("\n");
    lineOpen = false;
    lastWidth = 0;
}

void ProgressReporter::clear() {
    if (lineOpen)
        write("\r" + std::string(lastWidth, ' ') + "\r");
    lineOpen = false;
    lastWidth = 0;
}
