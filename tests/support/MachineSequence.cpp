#include "support/MachineSequence.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "fakes/FakeFormView.h"
#include "support/Bytes.h"
#include "support/IntelHexRecord.h"
#include "window/frmSerial.h"

namespace {

using Clock = frmSerial::Clock;
using std::chrono::milliseconds;
constexpr milliseconds kTick{20};
constexpr milliseconds kProbeEvery{200};

std::vector<std::string> fileOf(std::size_t first, std::size_t count) {
    auto lines = oneByteRecords(first, count);
    lines.push_back(":00000001FF");
    return lines;
}
const std::vector<std::string> kFileA = fileOf(1, 2);
const std::vector<std::string> kFileB = fileOf(10, 4);

constexpr StateSet kWaitingForTheBoard =
    states(State::IdentifyAwaited, State::InstallAwaited, State::AddressChangeAwaited, State::RecordAwaited,
           State::Erasing, State::PassEndAwaited, State::Held);

class MachineRun {
  public:
    MachineRun(Choices& choices, const Faults& faults, bool trace);
    std::string run(int steps);

  private:
    void broken(const std::string& what) {
        if (failure.empty())
            failure = "step " + std::to_string(step) + ": " + what;
    }
    void tell(const std::string& what) const {
        if (tracing)
            std::printf("%d %.1f ms %s\n", step,
                        std::chrono::duration<double, std::milli>(clock.time_since_epoch()).count(),
                        what.c_str());
    }
    void tick();
    void wait(Clock::duration span);
    void userStep();
    void machineStep(const ProtocolMachine::Step& step);
    void checkEnd();
    void written(const std::string& bytes, bool framed);
    void checkChain(int address, Pass pass, const std::string& line);
    void arrived(int board, const std::string& text, bool final);
    // A click that leaves a held transfer behind ends its chain.
    void userEndsTheChain() {
        if (form.Machine().state() == State::Held)
            chain.open = false;
    }

    Choices& choices;
    const bool strict; // no fault lets a reply answer another frame: the wire's order is checked too
    const bool tracing;
    Clock::time_point clock{};
    FakeFormView view;
    ModelBoards line;
    frmSerial form;
    std::string failure;
    int step = 0;
    Clock::time_point lastProbe{};
    std::vector<std::string> chosen; // what the file dialog reads

    // The transfer the records belong to, as the boards see it.
    struct Chain {
        bool open = false;
        int address = 0; // -1: sent without the Modbus RTU frame
        Pass pass = Pass::Download;
        std::vector<std::string> file;
        int last = 0;           // the record sent last
        std::string lastAnswer; // the board's last answer to it
        bool downloadEnded = false;
    } chain;
    // The file being chosen (its record 1 goes out within the click), and one chosen during the
    // connection wait, whose record 1 goes out with the board's version reply.
    struct Choice {
        Pass pass = Pass::Download;
        std::vector<std::string> file;
    };
    std::optional<Choice> choosing, chosenDuringWait;
    // Each board's records heard when the transfer started: one deaf to all of the transfer's
    // records is, to any host, not there at all.
    std::vector<int> heardAtStart;
};

MachineRun::MachineRun(Choices& choices, const Faults& faults, bool trace)
    : choices(choices), strict(!faults.deceiving()), tracing(trace), line(faults, choices, clock),
      form(view, line) {
    view.option1 = faults.baud == 9600;
    view.option2 = faults.baud == 19200;
    view.option3 = faults.baud == 115200;
    form.Now = [this] { return clock; };
    form.ReadFirmware = [this](const std::string&) {
        IntelHexFile file;
        file.lines = chosen;
        return file;
    };
    form.OnMachineStep = [this](const ProtocolMachine::Step& s) { machineStep(s); };
    line.framedWrites = [this] { return view.check1; };
    line.onWrite = [this](const std::string& bytes, bool framed) { written(bytes, framed); };
    line.onArrived = [this](int board, const std::string& text, bool final) { arrived(board, text, final); };
    if (trace)
        line.trace = [this](const std::string& what) { tell("  " + what); };
    view.duringPause = [this] {
        clock += milliseconds(1000);
        line.advanceTo(clock);
    };
    view.whileDialogOpen = [this] {
        if (this->choices.chance(30)) {
            clock += kTick;
            tick();
        }
    };
}

void MachineRun::tick() {
    line.advanceTo(clock);
    if (view.tmrComm)
        form.TMRComm_Timer();
    if (view.timer3 && clock - lastProbe >= kProbeEvery) {
        lastProbe = clock;
        form.Timer3_Timer();
    }
}

// The 20 ms poll runs on for `span`; ticks at which nothing can have changed are passed over.
void MachineRun::wait(Clock::duration span) {
    const Clock::time_point until = clock + span;
    for (bool first = true; clock < until; first = false) {
        Clock::time_point wake = until;
        for (const auto& when : {line.nextChange(), form.Machine().deadline()})
            if (when)
                wake = std::min(wake, *when);
        if (view.timer3)
            wake = std::min(wake, lastProbe + kProbeEvery);
        const bool receiving = !form.Receiver.frameBytes().empty() || !form.Receiver.lineBytes().empty() ||
                               form.HeldFrameDue().has_value();
        const auto ticks = first || receiving ? 1 : std::max<Clock::rep>(1, (wake - clock) / kTick);
        clock = std::min(clock + ticks * kTick, until);
        tick();
    }
}

void MachineRun::machineStep(const ProtocolMachine::Step& s) {
    tell(std::string(nameOf(s.from)) + " + " + nameOf(s.event) + " -> " + nameOf(s.to) + " (" +
         nameOf(s.action) + ")");
    if (s.action == Action::AwaitVersionToStart)
        chosenDuringWait = choosing;
    const StateSet fileAwaits = states(State::VersionAwaited, State::Confirming);
    if (inSet(s.from, fileAwaits) && !inSet(s.to, fileAwaits))
        chosenDuringWait.reset();
    if (s.action == Action::StartTransfer || s.action == Action::StartOnVersion) {
        heardAtStart.clear();
        for (const ModelBoards::Board& board : line.boards)
            heardAtStart.push_back(board.recordsHeard);
    }
    if (s.to == State::Ended && s.from != State::Ended)
        checkEnd();
    if (s.to == State::Failed || s.to == State::Ended || s.to == State::Closed)
        chain.open = false;
}

// END: every board at the transfer's address holds the file's image.
void MachineRun::checkEnd() {
    const Origin origin = form.Machine().transfer().origin;
    const auto first = form.HexRecords.begin() + 1;
    const auto image = imageOf({first, first + form.RecordCount});
    int holding = 0;
    for (std::size_t n = 0; n < line.boards.size(); ++n) {
        const ModelBoards::Board& board = line.boards[n];
        if (origin.framed && board.address != origin.address)
            continue;
        if (n < heardAtStart.size() && board.recordsHeard == heardAtStart[n])
            continue;
        ++holding;
        for (const auto& [address, value] : image) {
            if (!board.flash.contains(address) || board.flash.at(address) != value) {
                broken("END, but board " + std::to_string(n) + " at address " +
                       std::to_string(board.address) + " does not hold the file (byte at " +
                       std::to_string(address) + ")");
                return;
            }
        }
    }
    if (holding == 0)
        broken("END with no board at address " + std::to_string(origin.address));
}

void MachineRun::written(const std::string& bytes, bool framed) {
    tell("  wrote " + std::string(framed ? "" : "(plain) ") + hexBytes(bytes));
    if (!strict)
        return;
    const int address = framed ? static_cast<unsigned char>(bytes[0]) : -1;
    const std::string text = framed ? bytes.substr(1, bytes.size() - 3) : bytes;
    if (text.rfind("BOOT:", 0) != 0 && text.rfind("BOOT#", 0) != 0)
        return;
    std::string record = text.substr(4, text.size() - 6);
    std::replace(record.begin(), record.end(), '#', ':');
    checkChain(address, text[4] == '#' ? Pass::Verify : Pass::Download, record);
    for (const ModelBoards::Board& board : line.boards)
        if (board.address == address && board.inFlight > 0)
            broken("record sent to board " + std::to_string(address) + " while it still worked on another");
}

void MachineRun::checkChain(int address, Pass pass, const std::string& record) {
    const int k =
        static_cast<int>(std::find(chain.file.begin(), chain.file.end(), record) - chain.file.begin()) + 1;
    const bool continues =
        chain.open && address == chain.address &&
        ((pass == chain.pass && k == chain.last + 1 && chain.lastAnswer == "OK") ||
         (pass == chain.pass && k == chain.last && chain.lastAnswer == "ERROR") ||
         (pass == Pass::Verify && chain.pass == Pass::Download && k == 1 && chain.downloadEnded));
    if (continues) {
        chain.pass = pass;
        chain.last = k;
        chain.lastAnswer.clear();
        return;
    }
    for (std::optional<Choice>* asked : {&choosing, &chosenDuringWait}) {
        if (*asked && record == (*asked)->file.front() && pass == (*asked)->pass) {
            chain = Chain{true, address, pass, (*asked)->file, 1, {}, false};
            asked->reset();
            return;
        }
    }
    broken("record " + record + " to " + std::to_string(address) + " is not the chain's next (after " +
           std::to_string(chain.last) + ", answered \"" + chain.lastAnswer + "\")");
}

// A board's answer reached the host: only a board's last answer to a record moves the chain.
void MachineRun::arrived(int board, const std::string& text, bool final) {
    if (!final || !chain.open || line.boards[static_cast<std::size_t>(board)].address != chain.address)
        return;
    if (text == "DOWNLOAD" && chain.pass == Pass::Download &&
        chain.last == static_cast<int>(chain.file.size()))
        chain.downloadEnded = true;
    chain.lastAnswer = text;
}

void MachineRun::userStep() {
    const int what = choices.pick(0, 99);
    // A user's click comes a human moment after the last, while the poll runs on.
    if (what < 17 && choices.chance(90))
        wait(choices.pick(5, 20) * kTick);
    if (what < 3 && !line.portOpen()) {
        const char* addresses[] = {"1", "5", "", "0", "3"};
        view.text1 = addresses[choices.pick(0, 4)];
        form.BTNOpenCom_Click();
    } else if (what < 4) {
        form.BTNCloseCom_Click();
        line.lose();
    } else if (what < 10) {
        const Pass pass = choices.chance(50) ? Pass::Download : Pass::Verify;
        chosen = choices.chance(50) ? kFileA : kFileB;
        view.dialogFile = choices.chance(90) ? "firmware.hex" : "";
        if (!view.dialogFile.empty())
            choosing = Choice{pass, chosen};
        pass == Pass::Verify ? form.Command2_Click() : form.Command3_Click();
        choosing.reset();
    } else if (what < 12) {
        userEndsTheChain();
        form.Command4_Click();
    } else if (what < 13) {
        userEndsTheChain();
        form.Command6_Click();
    } else if (what < 15) {
        userEndsTheChain();
        form.Command1_Click();
    } else if (what < 16) {
        const char* addresses[] = {"1", "5", "2"};
        view.text1 = addresses[choices.pick(0, 2)];
        line.lose();
    } else if (what < 17) {
        view.check1 = !view.check1;
        line.lose();
    } else if (what < 18 && view.check1) {
        line.stray(choices.chance(50));
    } else if (what < 19 && view.check1) {
        line.restart(choices.pick(0, 1));
    } else {
        const int spans[] = {1, 5, 20, 20, 20, 50, 200, 1000, 6000, 61000};
        wait(milliseconds(spans[choices.pick(0, 9)]));
    }
}

std::string MachineRun::run(int steps) {
    for (step = 0; step < steps && failure.empty() && !choices.spent(); ++step) {
        userStep();
        const State state = form.Machine().state();
        if ((bit(state) & kWaitingForTheBoard) != 0 && !form.Machine().deadline())
            broken(std::string(nameOf(state)) + " has no deadline");
        if ((state == State::Probing || state == State::Scanning || state == State::VersionAwaited) &&
            !view.timer3)
            broken(std::string(nameOf(state)) + " without its probes");
    }
    return failure;
}

} // namespace

std::string runMachineSequence(Choices& choices, const Faults& faults, int steps, bool trace) {
    return MachineRun(choices, faults, trace).run(steps);
}
