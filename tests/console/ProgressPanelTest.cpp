#include <gtest/gtest.h>

#include "console/output/ProgressPanel.h"

namespace {

// What a terminal shows after the bytes: carriage return, line feed, ESC[nF (n lines up, to the
// line's start), ESC[2K (erase the line) and ESC[J (erase from the cursor down).
std::vector<std::string> screen(const std::string& bytes) {
    std::vector<std::string> lines{""};
    std::size_t row = 0;
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.compare(i, 4, "\x1b[2K") == 0) {
            lines[row].clear();
            i += 3;
        } else if (bytes.compare(i, 3, "\x1b[J") == 0) {
            lines.resize(row + 1);
            lines[row].resize(column);
            i += 2;
        } else if (bytes[i] == '\x1b') {
            const std::size_t end = bytes.find('F', i);
            row -= std::stoul(bytes.substr(i + 2, end - i - 2));
            column = 0;
            i = end;
        } else if (bytes[i] == '\n') {
            if (++row == lines.size())
                lines.emplace_back();
            column = 0;
        } else if (bytes[i] == '\r') {
            column = 0;
        } else {
            lines[row].resize(std::max(lines[row].size(), column + 1), ' ');
            lines[row][column++] = bytes[i];
        }
    }
    return lines;
}

TEST(ProgressPanel, EachBoardKeepsItsOwnLineAndLinesThatStayGoAbove) {
    std::string terminal;
    ProgressPanel panel([&terminal](const std::string& text) { terminal += text; });
    const auto first = panel.rowWriter("[a #3] ");
    const auto second = panel.rowWriter("[b #1] ");
    struct Step {
        std::function<void()> action;
        std::vector<std::string> shown; // the last line is where the cursor waits: empty
    };
    const std::vector<Step> steps = {
        {[] {}, {"[a #3] ", "[b #1] ", ""}},
        // Redrawn in place after a carriage return, as a single run's progress is.
        {[&] { first("\rDOWNLOAD  1/26"); }, {"[a #3] DOWNLOAD  1/26", "[b #1] ", ""}},
        {[&] { second("\rWAIT Connect:  5"); }, {"[a #3] DOWNLOAD  1/26", "[b #1] WAIT Connect:  5", ""}},
        // A shorter text and a wipe with spaces leave no remains of the longer one.
        {[&] { first("\rERASE\r                    \r"); }, {"[a #3] ERASE", "[b #1] WAIT Connect:  5", ""}},
        // A whole line after the wipe replaces the progress, as a board's last word does.
        {[&] { second("\r                \rbootflash: END\n"); },
         {"[a #3] ERASE", "[b #1] bootflash: END", ""}},
        {[&] { panel.print("board b #1 done\n"); },
         {"board b #1 done", "[a #3] ERASE", "[b #1] bootflash: END", ""}},
        {[&] { panel.rowWriter("[b #2] ")("\rDOWNLOAD 3/26"); },
         {"board b #1 done", "[a #3] ERASE", "[b #1] bootflash: END", "[b #2] DOWNLOAD 3/26", ""}},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        steps[i].action();
        EXPECT_EQ(screen(terminal), steps[i].shown) << "step " << i;
    }
}

// On a narrow terminal each line is cut short of its width, whole characters only: a line that
// wrapped would push the panel down a line its redraw does not count.
TEST(ProgressPanel, LinesFitANarrowTerminal) {
    std::string terminal;
    ProgressPanel panel([&terminal](const std::string& text) { terminal += text; },
                        [] { return std::size_t{20}; });
    panel.rowWriter("[/dev/ttyUSB0 #3] ")("\rDOWNLOAD  1/26");
    std::string wide = "[";
    for (int i = 0; i < 30; ++i)
        wide += "\xC3\xA9"; // one column, two bytes
    panel.rowWriter(wide);
    EXPECT_EQ(screen(terminal),
              (std::vector<std::string>{"[/dev/ttyUSB0 #3] D", wide.substr(0, 1 + 18 * 2), ""}));
}

} // namespace
