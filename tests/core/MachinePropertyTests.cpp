// The window's logic driven by thousands of random sequences of clicks, ticks and board behaviour,
// against model boards that check, record by record, what must always hold on the wire.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/FakeFormView.h"
#include "support/Frames.h"
#include "support/IntelHexRecord.h"
#include "window/frmSerial.h"

namespace {

using Clock = frmSerial::Clock;
using std::chrono::milliseconds;

const std::vector<std::string> kFileA = [] {
    auto lines = oneByteRecords(1, 2);
    lines.push_back(":00000001FF");
    return lines;
}();
const std::vector<std::string> kFileB = [] {
    auto lines = oneByteRecords(10, 4);
    lines.push_back(":00000001FF");
    return lines;
}();

// A record as the boards see it: which pass, which line of the file that is being sent.
struct RecordSeen {
    int address; // -1: sent without the Modbus RTU frame, to every board
    Pass pass;
    std::string line; // with its first character back to ":"
};

// Everything the boards have been sent and have answered: the line, the chain of each transfer.
class Sequence {
  public:
    std::mt19937 random;
    Clock::time_point clock{};
    FakeFormView view;
    std::string failure; // the first invariant broken, with the step it broke at
    int step = 0;

    explicit Sequence(unsigned seed) : random(seed) {}

    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; }
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    void broken(const std::string& what) {
        if (failure.empty())
            failure = "step " + std::to_string(step) + ": " + what;
    }

    // The bytes the boards send, each due at its time.
    struct Due {
        Clock::time_point at;
        std::string bytes;
        int board = 0;      // 0: no board's answer (noise, an announcement)
        bool final = false; // the board's last answer to the record it holds
    };
    std::vector<Due> due;
    std::deque<std::string> arrived;

    // A board at one address.
    struct Board {
        int address;
        bool busy = false; // a record was received and its last answer has not left yet
    };
    std::map<int, Board> boards{{1, {1}}, {5, {5}}};

    // The transfer the user asked for last, and the one the records belong to.
    struct Chain {
        bool open = false;
        int address = 0;
        Pass startedAs = Pass::Download;
        Pass pass = Pass::Download;
        std::vector<std::string> file;
        int last = 0;           // the record sent last
        std::string lastAnswer; // the board's answer to it
        bool passEnded[2] = {false, false};
    } chain;
    // The file the user is choosing (its record 1 goes out within the click), and one chosen during
    // the connection wait, whose record 1 goes out with the board's version reply.
    struct Choice {
        Pass pass = Pass::Download;
        std::vector<std::string> file;
    };
    std::optional<Choice> choosing, chosenDuringWait;

    void answer(Board& board, Clock::time_point at, const std::string& text, bool final, bool twice = false) {
        std::string frame = reply(board.address, text + "\r\n");
        if (twice)
            frame += frame; // sent twice, back to back
        due.push_back({at, frame, board.address, final});
        if (final)
            board.busy = true;
    }

    // The host wrote `bytes`.
    void written(const std::string& bytes, bool framed) {
        if (std::getenv("MACHINE_TRACE"))
            std::printf("%d   wrote %s%s\n", step, framed ? "" : "(plain) ", hexBytes(bytes).c_str());
        int address = -1;
        std::string text = bytes;
        if (framed) {
            address = static_cast<unsigned char>(bytes[0]);
            text = bytes.substr(1, bytes.size() - 3);
        }
        if (text.rfind("BOOT:", 0) == 0 || text.rfind("BOOT#", 0) == 0)
            record(address, text);
        else if (framed && boards.contains(address))
            command(boards.at(address), text);
    }

    void command(Board& board, const std::string& text) {
        const auto at = clock + milliseconds(pick(1, 8));
        if (chance(0.05))
            return; // a board that does not answer this once
        if (text == "BOOTi\r\n" || text == "VER\r\n")
            answer(board, at, "VER=1.0", false);
        else
            answer(board, at, chance(0.9) ? "OK" : "ERROR", false);
    }

    void record(int address, const std::string& text) {
        const Pass pass = text[4] == '#' ? Pass::Verify : Pass::Download;
        std::string line = text.substr(4, text.size() - 6);
        std::replace(line.begin(), line.end(), '#', ':');
        checkChain({address, pass, line});
        if (!boards.contains(address))
            return;
        Board& board = boards.at(address);
        if (board.busy)
            broken("record sent to board " + std::to_string(address) + " while it still worked on another");
        const bool last = chain.open && chain.last == static_cast<int>(chain.file.size());
        const auto soon = clock + milliseconds(pick(1, 15));
        const int behaviour = pick(0, 99);
        if (behaviour < 3) {
            return; // silence
        } else if (behaviour < 7) {
            answer(board, soon, "ERROR", true, chance(0.3));
        } else if (behaviour < 10) {
            answer(board, soon, "FORMAT", false);
            answer(board, soon + milliseconds(pick(100, 50000)), "OK", true);
        } else if (behaviour < 11) {
            answer(board, soon, "VER=1.0", true); // the board restarted
        } else if (behaviour < 12) {
            answer(board, soon, "DOWNLOAD", true); // ends the pass early, or on time
        } else if (last && behaviour < 16) {
            answer(board, soon, "OK", false); // "OK" to the last record, its pass end after it
            answer(board, soon + milliseconds(pick(1, 30)), "DOWNLOAD", true);
        } else {
            answer(board, soon, last ? "DOWNLOAD" : "OK", true, chance(0.05));
        }
    }

    void checkChain(const RecordSeen& seen) {
        const int k = static_cast<int>(std::find(chain.file.begin(), chain.file.end(), seen.line) -
                                       chain.file.begin()) +
                      1;
        const bool continues =
            chain.open && seen.address == chain.address &&
            ((seen.pass == chain.pass && k == chain.last + 1 && chain.lastAnswer == "OK") ||
             (seen.pass == chain.pass && k == chain.last && chain.lastAnswer == "ERROR") ||
             (seen.pass == Pass::Verify && chain.pass == Pass::Download && k == 1 && chain.passEnded[0]));
        if (continues) {
            chain.pass = seen.pass;
            chain.last = k;
            chain.lastAnswer.clear();
            return;
        }
        for (std::optional<Choice>* asked : {&choosing, &chosenDuringWait}) {
            if (*asked && seen.line == (*asked)->file.front() && seen.pass == (*asked)->pass) {
                chain =
                    Chain{true, seen.address, seen.pass, seen.pass, (*asked)->file, 1, {}, {false, false}};
                asked->reset();
                return;
            }
        }
        broken("record " + seen.line + " to " + std::to_string(seen.address) +
               " is not the chain's next (after " + std::to_string(chain.last) + ", answered \"" +
               chain.lastAnswer + "\")");
    }

    // The board's answer reached the line: it counts for the chain only now.
    void delivered(const Due& d) {
        if (std::getenv("MACHINE_TRACE"))
            std::printf("%d   board %d says %s\n", step, d.board, hexBytes(d.bytes).c_str());
        arrived.push_back(d.bytes);
        if (d.board == 0)
            return;
        Board& board = boards.at(d.board);
        if (d.final)
            board.busy = false;
        if (!d.final || !chain.open || d.board != chain.address)
            return; // answers to commands and the first half of a two-part answer leave the chain as it is
        const std::string text = d.bytes.substr(2, d.bytes.find('\r') - 2);
        if (text == "DOWNLOAD" && chain.last == static_cast<int>(chain.file.size()))
            chain.passEnded[chain.pass == Pass::Verify ? 1 : 0] = true;
        chain.lastAnswer = text;
    }

    // The board restarts: what it was about to answer is lost, and it announces itself.
    void restart(int address) {
        std::erase_if(due, [address](const Due& d) { return d.board == address; });
        boards.at(address).busy = false;
        due.push_back({clock, reply(address, "VER=1.0\r\n"), 0, false});
    }

    // The user moved the line under the boards (another address, the other framing, the port closed):
    // what they were about to answer is lost, as a board being reset loses it.
    void resetBoards() {
        due.clear();
        for (auto& [address, board] : boards)
            board.busy = false;
    }

    void deliverUntil(Clock::time_point until) {
        std::stable_sort(due.begin(), due.end(), [](const Due& a, const Due& b) { return a.at < b.at; });
        while (!due.empty() && due.front().at <= until) {
            const Due d = due.front();
            due.erase(due.begin());
            delivered(d);
        }
    }
};

// Reads what the boards have sent; hands every write to them.
class ModelLine final : public SerialPortService {
  public:
    explicit ModelLine(Sequence& sequence) : sequence(sequence) {}
    void setSettings(const std::string&) override {}
    void setCommPort(std::int16_t) override {}
    void setCommPath(const std::string&) override {}
    void setPortOpen(bool open) override {
        isOpen = open;
        sequence.arrived.clear(); // a port opens with nothing received
    }
    bool portOpen() const override { return isOpen; }
    int inBufferCount() override {
        return sequence.arrived.empty() ? 0 : static_cast<int>(sequence.arrived.front().size());
    }
    std::string input() override {
        std::string bytes;
        for (const std::string& chunk : sequence.arrived)
            bytes += chunk;
        sequence.arrived.clear();
        return bytes;
    }
    void output(const std::string& bytes) override { sequence.written(bytes, sequence.view.check1); }

  private:
    Sequence& sequence;
    bool isOpen = false;
};

constexpr StateSet kWaitingForTheBoard =
    states(State::IdentifyAwaited, State::InstallAwaited, State::AddressChangeAwaited, State::RecordAwaited,
           State::Erasing, State::PassEndAwaited, State::Held);

void runSequence(unsigned seed, int steps, std::string& failure) {
    Sequence s(seed);
    ModelLine line(s);
    frmSerial form(s.view, line);
    form.Now = [&s] { return s.clock; };
    std::vector<std::string> chosen;
    form.ReadFirmware = [&chosen](const std::string&) {
        IntelHexFile file;
        file.lines = chosen;
        return file;
    };
    const bool tell = std::getenv("MACHINE_TRACE") != nullptr;
    form.OnMachineStep = [&](const ProtocolMachine::Step& step) {
        if (tell)
            std::printf("%d %s + %s -> %s (%s)\n", s.step, nameOf(step.from), nameOf(step.event),
                        nameOf(step.to), nameOf(step.action));
        if (step.action == Action::AwaitVersionToStart)
            s.chosenDuringWait = s.choosing;
        const StateSet fileAwaits = states(State::VersionAwaited, State::Confirming);
        if (inSet(step.from, fileAwaits) && !inSet(step.to, fileAwaits))
            s.chosenDuringWait.reset();
        if (step.to == State::Ended && step.from != State::Ended &&
            !(s.chain.open && s.chain.passEnded[1] &&
              (s.chain.startedAs == Pass::Verify || s.chain.passEnded[0])))
            s.broken("END before every record of the transfer's passes was answered");
        if (step.to == State::Failed || step.to == State::Ended || step.to == State::Closed)
            s.chain.open = false;
    };
    s.view.duringPause = [&s] {
        s.clock += milliseconds(1000);
        s.deliverUntil(s.clock);
    };
    Clock::time_point lastProbe{};
    const auto tick = [&] {
        s.deliverUntil(s.clock);
        if (s.view.tmrComm)
            form.TMRComm_Timer();
        if (s.view.timer3 && s.clock - lastProbe >= milliseconds(200)) {
            lastProbe = s.clock;
            form.Timer3_Timer();
        }
    };
    s.view.whileDialogOpen = [&] {
        if (s.chance(0.3)) {
            s.clock += milliseconds(20);
            tick();
        }
    };
    const auto userEndsTheChain = [&] {
        if (form.Machine().state() == State::Held)
            s.chain.open = false;
    };

    for (s.step = 0; s.step < steps && s.failure.empty(); ++s.step) {
        const int what = s.pick(0, 99);
        // A user's click comes a human moment after the last, while the poll runs on.
        if (what < 17 && s.chance(0.9)) {
            for (int pause = s.pick(5, 20); pause > 0; --pause) {
                s.clock += milliseconds(20);
                tick();
            }
        }
        if (what < 3 && !line.portOpen()) {
            const char* addresses[] = {"1", "5", "", "0", "3"};
            s.view.text1 = addresses[s.pick(0, 4)];
            form.BTNOpenCom_Click();
        } else if (what < 4) {
            form.BTNCloseCom_Click();
            s.resetBoards();
        } else if (what < 10) {
            const Pass pass = s.chance(0.5) ? Pass::Download : Pass::Verify;
            chosen = s.chance(0.5) ? kFileA : kFileB;
            s.view.dialogFile = s.chance(0.9) ? "firmware.hex" : "";
            if (!s.view.dialogFile.empty())
                s.choosing = Sequence::Choice{pass, chosen};
            pass == Pass::Verify ? form.Command2_Click() : form.Command3_Click();
            s.choosing.reset();
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
            s.view.text1 = addresses[s.pick(0, 2)];
            s.resetBoards();
        } else if (what < 17) {
            s.view.check1 = !s.view.check1;
            s.resetBoards();
        } else if (what < 18 && s.view.check1) {
            // Plain mode has no addresses: the boards here all frame their replies, so none is sent there.
            s.due.push_back(
                {s.clock, s.chance(0.5) ? reply(200, "OK\r\n") : std::string("\x07noise\r\n"), 0, false});
        } else if (what < 19 && s.view.check1) {
            s.restart(s.chance(0.5) ? 1 : 5);
        } else {
            const int jumps[] = {1, 5, 20, 20, 20, 50, 200, 1000, 6000, 61000};
            s.clock += milliseconds(jumps[s.pick(0, 9)]);
            tick();
        }
        const State state = form.Machine().state();
        if ((bit(state) & kWaitingForTheBoard) != 0 && !form.Machine().deadline())
            s.broken(std::string(nameOf(state)) + " has no deadline");
        if ((state == State::Probing || state == State::Scanning || state == State::VersionAwaited) &&
            !s.view.timer3)
            s.broken(std::string(nameOf(state)) + " without its probes");
    }
    failure = s.failure;
}

} // namespace

// At most one record in flight; the records of a transfer form one chain per pass, which starts
// again at record 1 only when the user asks; a verify pass never writes; records go only to the
// board the transfer started with; END only when the board answered every record of every pass;
// every state that waits for the board has a deadline.
// MACHINE_SEED and MACHINE_SEQUENCES run other or more sequences; MACHINE_TRACE prints each step.
TEST(MachineProperties, RandomSequencesKeepEveryInvariant) {
    const char* seed = std::getenv("MACHINE_SEED");
    const char* sequences = std::getenv("MACHINE_SEQUENCES");
    const unsigned base = seed ? static_cast<unsigned>(std::stoul(seed)) : 20261207u;
    const unsigned count = sequences ? static_cast<unsigned>(std::stoul(sequences)) : 1000u;
    for (unsigned n = 0; n < count; ++n) {
        std::string failure;
        runSequence(base + n, 600, failure);
        ASSERT_EQ(failure, "") << "seed " << base + n;
    }
}
