#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/ProtocolMachine.h"

namespace {

using Clock = MachineHost::Clock;

// Writes down every request of the machine, in order.
class RecordingHost final : public MachineHost {
  public:
    std::vector<std::string> calls;
    bool scan = false;
    bool sendsReach = true;
    Clock::time_point clock{};

    Clock::time_point now() const override { return clock; }
    std::uint64_t framesSent() const override { return frames; }
    bool scanMode() const override { return scan; }
    Origin origin() const override { return {true, 1}; }
    Clock::time_point earliestAnswer(std::uint64_t) const override { return Clock::time_point::min(); }
    Clock::duration probeAnswerWindow() const override { return std::chrono::milliseconds(200); }
    bool sendRecord(Pass pass, int record) override {
        calls.push_back("record " + passName(pass) + " " + std::to_string(record));
        return sent();
    }
    bool sendIdentify() override { return frame("identify"); }
    bool sendInstall() override { return frame("install"); }
    bool sendAddressChange() override { return frame("address change"); }
    void probe() override { frame("probe"); }
    void giveUp() override { note("give up"); }
    void setWaiting(bool on) override { note(on ? "wait on" : "wait off"); }
    void showReady() override { note("READY"); }
    void clearAnswer() override { note("clear answer"); }
    void showBar(BarMark mark) override { note("bar " + std::to_string(static_cast<int>(mark))); }
    void takeChosenFile(Pass pass) override { note("take file " + passName(pass)); }
    void showCancelled() override { note("Cancel"); }
    void showFailure(const Failure& failure) override {
        note("box " + std::to_string(static_cast<int>(failure.reason)));
    }

    static std::string passName(Pass pass) { return pass == Pass::Verify ? "verify" : "download"; }

  private:
    void note(const std::string& call) { calls.push_back(call); }
    bool frame(const std::string& call) {
        calls.push_back(call);
        return sent();
    }
    bool sent() {
        frames += sendsReach ? 1 : 0;
        return sendsReach;
    }
    std::uint64_t frames = 0;
};

std::string bar(BarMark mark) {
    return "bar " + std::to_string(static_cast<int>(mark));
}
std::string box(FailureReason reason) {
    return "box " + std::to_string(static_cast<int>(reason));
}

// What each action asks of its host, given where the transfer stood before it and the pass of
// the file chosen.
std::vector<std::string> expectedCalls(Action action, const TransferPosition& before, Pass chosen) {
    using A = Action;
    const std::string error = bar(BarMark::Error), erase = bar(BarMark::Erase);
    const std::string same =
        "record " + RecordingHost::passName(before.pass) + " " + std::to_string(before.record);
    const std::string file = "take file " + RecordingHost::passName(chosen);
    const std::string first = "record " + RecordingHost::passName(chosen) + " 1";
    const std::map<Action, std::vector<std::string>> calls = {
        {A::OpenProbe, {"wait on"}},
        {A::OpenScan, {"wait on"}},
        {A::Close, {"wait off"}},
        {A::LosePort, {"wait off"}},
        {A::Probe, {"probe"}},
        {A::GiveUp, {"give up"}},
        {A::ResumeScan, {"wait on", "clear answer"}},
        {A::SendAddressChange, {"address change"}},
        {A::SendIdentify, {"clear answer", "identify"}},
        {A::SendInstall, {"install"}},
        {A::StopWaitAndSendAddressChange, {"wait off", "address change"}},
        {A::StopWaitAndSendInstall, {"wait off", "install"}},
        {A::LoadWithoutSending, {file}},
        {A::AwaitVersionToStart, {file}},
        {A::StartTransfer, {file, first}},
        {A::AwaitAnswerWindow, {"wait off", "READY"}},
        {A::StartOnVersion, {first}},
        {A::NameConflict, {"wait off", error, box(FailureReason::MoreThanOneBoard)}},
        {A::FailConflict, {error, box(FailureReason::MoreThanOneBoard)}},
        {A::GiveUpHeld, {error, box(FailureReason::NotRetaken)}},
        {A::HoldErasing, {erase}},
        {A::Cancelled, {"Cancel"}},
        {A::ShowNoFile, {bar(BarMark::NoFile)}},
        {A::Ready, {"wait off", "READY"}},
        {A::MarkError, {error}},
        {A::Hold, {error}},
        {A::FailEndedEarly, {error}},
        {A::FailRefused, {error}},
        {A::ShowErase, {erase}},
        {A::StartErase, {erase}},
        {A::SendNextRecord,
         {"record " + RecordingHost::passName(before.pass) + " " + std::to_string(before.record + 1)}},
        {A::StartVerifyPass, {bar(BarMark::Verify), "record verify 1"}},
        {A::EndVerified, {bar(BarMark::End)}},
        {A::Resume, {same}},
        {A::ResumeOnVersion, {"wait off", "READY", same}},
        {A::FailRestarted, {"READY", error, box(FailureReason::Restarted)}},
        {A::FailStalled, {error, box(FailureReason::Stalled)}},
        {A::FailEraseStalled, {error, box(FailureReason::EraseStalled)}},
        {A::FailFraming, {error, box(FailureReason::FramingSwitched)}},
        {A::FailNotSent, {error, box(FailureReason::NotSent)}},
    };
    // The rest ask for nothing: Ignore, ShowOnly, NoteInstead, Refuse, AllowDialog, OpenNoWait,
    // CommandAnswered, CommandUnanswered, AwaitPassEnd.
    const auto found = calls.find(action);
    return found == calls.end() ? std::vector<std::string>{} : found->second;
}

const Origin kBoard{true, 1};

// A way into a state, with the data its guards look at.
struct Recipe {
    const char* name;
    State state;
    bool scan = false;
    std::function<void(ProtocolMachine&)> steps;
    Pass chosen = Pass::Download; // the pass of the file chosen during the wait
};

// A reply read after every frame sent so far.
void reply(ProtocolMachine& machine, const char* text) {
    machine.reply({text, kBoard, ~std::uint64_t{0}});
}

std::vector<Recipe> recipes() {
    const auto open = [](ProtocolMachine& m) { m.handle(Event::OpenNoWait); };
    const auto sending = [open](int count, Pass pass) {
        return [open, count, pass](ProtocolMachine& m) {
            open(m);
            m.fileChosen(pass, count, kBoard);
        };
    };
    const auto then = [](std::function<void(ProtocolMachine&)> first,
                         std::function<void(ProtocolMachine&)> more) {
        return [first, more](ProtocolMachine& m) {
            first(m);
            more(m);
        };
    };
    const auto say = [](const char* text) { return [text](ProtocolMachine& m) { reply(m, text); }; };
    return {
        {"closed", State::Closed, false, [](ProtocolMachine&) {}},
        {"idle", State::Idle, false, open},
        {"probing", State::Probing, false, [](ProtocolMachine& m) { m.handle(Event::OpenProbe); }},
        {"scanning", State::Scanning, true, [](ProtocolMachine& m) { m.handle(Event::OpenScan); }},
        {"version awaited, fixed", State::VersionAwaited, false,
         [](ProtocolMachine& m) {
             m.handle(Event::OpenProbe);
             m.fileChosen(Pass::Download, 3, kBoard);
         }},
        {"version awaited, scan", State::VersionAwaited, true,
         [](ProtocolMachine& m) {
             m.handle(Event::OpenScan);
             m.fileChosen(Pass::Verify, 3, kBoard);
         },
         Pass::Verify},
        {"confirming", State::Confirming, false,
         [](ProtocolMachine& m) {
             m.handle(Event::OpenProbe);
             m.fileChosen(Pass::Download, 3, kBoard);
             reply(m, "VER=1.0");
         }},
        {"identify", State::IdentifyAwaited, false,
         then(open, [](ProtocolMachine& m) { m.handle(Event::IdentifyClicked); })},
        {"install", State::InstallAwaited, false,
         then(open, [](ProtocolMachine& m) { m.handle(Event::InstallClicked); })},
        {"address change", State::AddressChangeAwaited, false,
         then(open, [](ProtocolMachine& m) { m.handle(Event::SetAddressClicked); })},
        {"record 1 of 3", State::RecordAwaited, false, sending(3, Pass::Download)},
        {"last record of download", State::RecordAwaited, false, sending(1, Pass::Download)},
        {"last record of verify", State::RecordAwaited, false, sending(1, Pass::Verify)},
        {"record 1 again", State::RecordAwaited, false,
         then(sending(3, Pass::Download),
              [](ProtocolMachine& m) {
                  reply(m, "ERROR");
                  // Later than a second board's answer would come: the board's own.
                  m.reply({"OK", kBoard, ~std::uint64_t{0}, MachineHost::Clock::time_point{} + std::chrono::seconds(1)});
              })},
        {"erasing record 1 of 3", State::Erasing, false, then(sending(3, Pass::Download), say("FORMAT"))},
        {"erasing the last record", State::Erasing, false, then(sending(1, Pass::Verify), say("FORMAT"))},
        {"pass end of download", State::PassEndAwaited, false, then(sending(1, Pass::Download), say("OK"))},
        {"pass end of verify", State::PassEndAwaited, false, then(sending(1, Pass::Verify), say("OK"))},
        {"held", State::Held, false, then(sending(3, Pass::Verify), say("ERROR"))},
        {"ended", State::Ended, false, then(sending(1, Pass::Verify), say("DOWNLOAD"))},
        {"failed", State::Failed, false, then(sending(3, Pass::Download), say("VER=1.0"))},
    };
}

// Runs `event` on a machine whose recipe has brought it to its state.
void runEvent(ProtocolMachine& machine, Event event) {
    switch (event) {
    case Event::FileChosen:
        machine.fileChosen(Pass::Verify, 2, kBoard);
        return;
    case Event::Version:
        reply(machine, "VER=2.0");
        return;
    case Event::Accepted:
        reply(machine, "OK");
        return;
    case Event::Refused:
        reply(machine, "ERROR");
        return;
    case Event::PassEnd:
        reply(machine, "DOWNLOAD");
        return;
    case Event::Erase:
        reply(machine, "FORMAT");
        return;
    case Event::Unknown:
        reply(machine, "hello");
        return;
    case Event::SecondAnswer:
        machine.reply({"DOWNLOAD", kBoard, 0}); // read before any frame went out
        return;
    case Event::ForeignReply:
        machine.stray(Event::ForeignReply, "a reply from address 2");
        return;
    default:
        machine.handle(event);
    }
}

} // namespace

// For every state, every event and every combination of the data the guards look at, exactly one
// row decides.
TEST(MachineTable, EveryStateAndEventIsDecidedByExactlyOneRow) {
    for (std::size_t s = 0; s < kStateCount; ++s) {
        for (std::size_t e = 0; e < kEventCount; ++e) {
            for (int facts = 0; facts < 16; ++facts) {
                const GuardFacts given{(facts & 1) != 0, (facts & 2) != 0, (facts & 4) != 0,
                                       (facts & 8) != 0};
                int deciding = 0;
                for (const Transition& row : transitionTable())
                    if (row.event == static_cast<Event>(e) && (row.from & bit(static_cast<State>(s))) != 0 &&
                        holds(row.guard, given))
                        ++deciding;
                EXPECT_EQ(deciding, 1) << nameOf(static_cast<State>(s)) << " x "
                                       << nameOf(static_cast<Event>(e)) << ", facts " << facts;
            }
        }
    }
}

// Every cell of the table, reached through the machine's own events: the row's action asks its host
// for exactly what that action means, and the machine lands where the row says, with a deadline in
// every state that waits for the board. Every row is walked; a state without a way in fails.
TEST(MachineTable, EveryCellIsWalkedAndDoesWhatItsRowSays) {
    std::set<const Transition*> walked;
    std::set<State> reached;
    for (const Recipe& recipe : recipes()) {
        for (std::size_t e = 0; e < kEventCount; ++e) {
            const auto event = static_cast<Event>(e);
            SCOPED_TRACE(std::string(recipe.name) + " x " + nameOf(event));
            RecordingHost host;
            host.scan = recipe.scan;
            ProtocolMachine machine(host);
            recipe.steps(machine);
            ASSERT_EQ(machine.state(), recipe.state);
            reached.insert(recipe.state);
            const TransferPosition before = machine.transfer();
            const Transition* row = decide(
                machine.state(), event,
                {before.record >= before.count, before.pass == Pass::Verify, before.refused, recipe.scan});
            ASSERT_NE(row, nullptr);
            walked.insert(row);
            host.calls.clear();
            host.clock += std::chrono::hours(1); // past any deadline
            const State from = machine.state();
            runEvent(machine, event);
            const Pass chosen = event == Event::FileChosen ? Pass::Verify : recipe.chosen;
            EXPECT_EQ(host.calls, expectedCalls(row->action, before, chosen)) << nameOf(row->action);
            EXPECT_EQ(machine.state(), row->to.value_or(from));
            const State to = machine.state();
            const bool waitsForTheBoard = to == State::IdentifyAwaited || to == State::InstallAwaited ||
                                          to == State::AddressChangeAwaited || to == State::RecordAwaited ||
                                          to == State::Erasing || to == State::PassEndAwaited ||
                                          to == State::Held || to == State::Confirming;
            EXPECT_EQ(machine.deadline().has_value(), waitsForTheBoard);
            if (to == State::Failed && from != State::Failed) {
                EXPECT_TRUE(machine.failure().has_value());
            }
        }
    }
    EXPECT_EQ(reached.size(), kStateCount) << "a state has no recipe";
    for (const Transition& row : transitionTable())
        EXPECT_TRUE(walked.contains(&row))
            << nameOf(row.event) << " " << nameOf(row.action) << " never walked";
}

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
