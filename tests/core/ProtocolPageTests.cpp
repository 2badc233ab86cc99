// docs/PROTOCOL.md shows the table the code runs, and nothing but its own lines.
#include <cctype>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/TransitionTable.h"

namespace {

// The table as docs/PROTOCOL.md shows it: states as rows, events as columns, in four groups.
const std::vector<std::vector<Event>> kEventGroups = {
    {Event::OpenProbe, Event::OpenScan, Event::OpenNoWait, Event::Close, Event::PortLost, Event::ProbeTick,
     Event::GiveUpTick, Event::NextClicked},
    {Event::SetAddressClicked, Event::IdentifyClicked, Event::InstallClicked, Event::SendClicked,
     Event::LoadClicked, Event::FileChosen, Event::FileCancelled, Event::FileRefused},
    {Event::Version, Event::Accepted, Event::Refused, Event::PassEnd, Event::Erase, Event::Unknown},
    {Event::SecondAnswer, Event::ForeignReply, Event::Noise, Event::TwoAnswers, Event::FramingSwitched,
     Event::NotSent, Event::Deadline},
};

std::string cellOf(State state, Event event) {
    std::string cell;
    for (const Transition& row : transitionTable()) {
        if (row.event != event || (row.from & bit(state)) == 0)
            continue;
        if (!cell.empty())
            cell += "<br>";
        if (row.guard != Guard::Always)
            cell += std::string(nameOf(row.guard)) + ": ";
        cell += nameOf(row.action);
        if (row.to)
            cell += std::string(" → ") + nameOf(*row.to);
    }
    return cell;
}

std::string renderedTables() {
    std::string text;
    for (const auto& group : kEventGroups) {
        text += "| state |";
        for (const Event event : group)
            text += std::string(" ") + nameOf(event) + " |";
        text += "\n|---|";
        for (std::size_t i = 0; i < group.size(); ++i)
            text += "---|";
        text += "\n";
        for (std::size_t s = 0; s < kStateCount; ++s) {
            const auto state = static_cast<State>(s);
            text += std::string("| ") + nameOf(state) + " |";
            for (const Event event : group)
                text += " " + cellOf(state, event) + " |";
            text += "\n";
        }
        text += "\n";
    }
    return text;
}

// The tables of the page's section "The table", without the marks (" †1") that point to its notes.
std::string documentedTables() {
    std::ifstream page(std::string(BOOT_SOURCE_DIR) + "/docs/PROTOCOL.md");
    std::string text;
    bool inSection = false;
    bool inTable = false;
    for (std::string line; std::getline(page, line);) {
        if (line.starts_with("## "))
            inSection = line == "## The table";
        if (!inSection)
            continue;
        if (!line.starts_with('|')) {
            if (inTable)
                text += "\n";
            inTable = false;
            continue;
        }
        inTable = true;
        for (std::size_t mark; (mark = line.find(" †")) != std::string::npos;) {
            std::size_t end = mark + std::string(" †").size();
            while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])))
                ++end;
            line.erase(mark, end - mark);
        }
        text += line + "\n";
    }
    return text;
}

// What a line copied from a terminal is, when it is the output of a test run, a build or a
// compiler rather than the page's own text; empty for any other line. Such a line slips in beside a
// table pasted from a failing run, where no table check looks.
std::string terminalOutputKind(const std::string& line) {
    static const std::pair<std::regex, const char*> kinds[] = {
        {std::regex(R"(^\[ *(RUN|OK|FAILED|PASSED|SKIPPED|DISABLED) *\])"), "test-runner output"},
        {std::regex(R"(^\[(=|-){10}\])"), "test-runner output"},
        {std::regex(R"(^(Expected equality of these values:|Value of: |Which is: |  Actual: ))"),
         "test-runner output"},
        {std::regex(R"(^\s*(Start +\d+: |\d+/\d+ Test +#\d+: ))"), "ctest output"},
        {std::regex(R"(^(\d+% tests passed|The following tests FAILED:|Total Test time|Test project /))"),
         "ctest output"},
        {std::regex(R"(^\s+\d+ - \S+ \((Failed|Timeout|Not Run|SEGFAULT|Subprocess aborted)\))"),
         "ctest output"},
        {std::regex(R"(^\S+:\d+(:\d+)?: (fatal error|error|warning|note|Failure)\b)"),
         "a compiler diagnostic"},
        {std::regex(R"(^In file included from \S+:\d+)"), "a compiler diagnostic"},
        {std::regex(R"(^(\[ *\d+%\] |g?make(\[\d+\])?: |ninja: |FAILED: ))"), "build output"},
    };
    for (const auto& [pattern, kind] : kinds)
        if (std::regex_search(line, pattern))
            return kind;
    return {};
}

} // namespace

TEST(MachineTable, TerminalOutputIsToldFromThePagesOwnLines) {
    const std::pair<const char*, bool> lines[] = {
        {"[  FAILED  ] MachineTable.TheProtocolPageShowsTheTableTheCodeRuns (6 ms)", true},
        {"[ RUN      ] MachineTable.EveryStateHasItsDeadline", true},
        {"[       OK ] MachineTable.EveryStateHasItsDeadline (0 ms)", true},
        {"[==========] 12 tests from 1 test suite ran. (8 ms total)", true},
        {"[----------] 12 tests from MachineTable", true},
        {"Expected equality of these values:", true},
        {"      Start 12: MachineTable.TheProtocolPageShowsTheTableTheCodeRuns", true},
        {"12/40 Test #12: MachineTable.TheProtocolPageShowsTheTableTheCodeRuns ...***Failed    0.01 sec",
         true},
        {"97% tests passed, 1 tests failed out of 40", true},
        {"The following tests FAILED:", true},
        {"\t 12 - MachineTable.TheProtocolPageShowsTheTableTheCodeRuns (Failed)", true},
        {"Total Test time (real) =   3.21 sec", true},
        {"/src/protocol/TransitionTable.cpp:40:5: error: expected '}' before ';' token", true},
        {"TransitionTable.cpp:40: warning: unused variable 'row'", true},
        {"tests/core/MachineTableTests.cpp:381: Failure", true},
        {"In file included from src/protocol/ProtocolMachine.cpp:1:", true},
        {"[ 42%] Building CXX object src/CMakeFiles/bootcore.dir/protocol/TransitionTable.cpp.o", true},
        {"make[2]: *** [src/CMakeFiles/bootcore.dir/build.make:90] Error 1", true},
        {"ninja: build stopped: subcommand failed.", true},
        {"| Failed | ShowOnly | ShowOnly | Ignore | Ignore | Ignore | Ignore |", false},
        {"| RecordAwaited | FailStalled → Failed |", false},
        {"## Where the table departs from the window's design", false},
        {"1. **Nothing is sent beside a frame that awaits its answer.** While a record or a single-shot",
         false},
        {"   Addr\"/\"Next\" are disabled and refused; a file chosen while the dialog was open is not "
         "loaded.",
         false},
        {"- `RecordAwaited`: a record of a pass sent: its answer awaited; see [the table](#the-table).",
         false},
        {"[the window's design]: README.md#the-window", false},
        {"", false},
    };
    for (const auto& [line, output] : lines)
        EXPECT_EQ(!terminalOutputKind(line).empty(), output) << line;
}

// The page for people shows the table the code runs, cell by cell, marks aside, and nothing of a
// terminal's output is left on it.
TEST(MachineTable, TheProtocolPageShowsTheTableTheCodeRuns) {
    EXPECT_EQ(documentedTables(), renderedTables()) << "docs/PROTOCOL.md should hold:\n" << renderedTables();
    std::ifstream page(std::string(BOOT_SOURCE_DIR) + "/docs/PROTOCOL.md");
    ASSERT_TRUE(page.is_open());
    std::size_t number = 0;
    for (std::string line; std::getline(page, line);) {
        ++number;
        const std::string kind = terminalOutputKind(line);
        EXPECT_TRUE(kind.empty()) << "docs/PROTOCOL.md line " << number << " is " << kind
                                  << ", not the page's own: " << line;
    }
}
