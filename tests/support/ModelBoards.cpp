#include "support/ModelBoards.h"

#include <algorithm>

#include "support/Frames.h"

namespace {

using std::chrono::milliseconds;

// The share of frames a board misses this once, in percent.
constexpr int kSilentRecords = 3;
constexpr int kSilentCommands = 5;

std::string msOf(std::chrono::steady_clock::time_point at) {
    return std::to_string(std::chrono::duration<double, std::milli>(at.time_since_epoch()).count()) + " ms";
}

} // namespace

ModelBoards::ModelBoards(const Faults& faults, Choices& choices, const Clock::time_point& clock)
    : faults(faults), choices(choices), now(clock) {
    const auto boardAt = [](int address, bool failingWrites) {
        Board board;
        board.address = address;
        board.failingWrites = failingWrites;
        return board;
    };
    boards.push_back(boardAt(1, false));
    boards.push_back(boardAt(5, false));
    if (faults.twin != Faults::Twin::None)
        boards.push_back(boardAt(1, faults.twin == Faults::Twin::Refusing));
}

ModelBoards::Clock::duration ModelBoards::wireTime(std::size_t bytes) const {
    return std::chrono::nanoseconds(static_cast<long long>(bytes) * 10 * 1000000000LL / baud);
}

void ModelBoards::note(const std::string& what) const {
    if (trace)
        trace(what);
}

void ModelBoards::setSettings(const std::string& settings) {
    baud = std::stoi(settings);
}

void ModelBoards::setPortOpen(bool open) {
    isOpen = open;
    // A port opens with nothing received.
    std::erase_if(rx, [this](const Byte& b) { return b.at <= now; });
}

int ModelBoards::inBufferCount() {
    return static_cast<int>(
        std::count_if(rx.begin(), rx.end(), [this](const Byte& b) { return b.at <= now; }));
}

std::string ModelBoards::input() {
    std::string read;
    std::size_t n = 0;
    for (; n < rx.size() && rx[n].at <= now; ++n) {
        read += rx[n].value;
        lastRead = rx[n].at;
    }
    rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(n));
    return read;
}

std::optional<ModelBoards::Clock::time_point> ModelBoards::arrivedAt() const {
    std::optional<Clock::time_point> last;
    if (lastRead != Clock::time_point{})
        last = lastRead;
    for (const Byte& b : rx)
        if (b.at <= now)
            last = b.at;
    return last;
}

void ModelBoards::output(const std::string& bytes) {
    const bool framed = framedWrites();
    onWrite(bytes, framed);
    const Clock::time_point start = std::max(now, txFree);
    txFree = start + wireTime(bytes.size());
    schedule(txFree,
             {Due::Kind::FrameWhole, bytes, "", -1, false, framed, Due::Extra::None, start + wireTime(1)});
    const bool isRecord = bytes.find("BOOT:") == 1 || bytes.find("BOOT#") == 1;
    for (Board& board : boards) {
        if (!framed || board.address != static_cast<unsigned char>(bytes[0]))
            continue;
        board.hearingFrom = start + wireTime(1);
        board.hearingUntil = txFree;
        if (isRecord)
            ++board.inFlight;
    }
}

std::optional<ModelBoards::Clock::time_point> ModelBoards::nextChange() const {
    std::optional<Clock::time_point> next;
    if (!pending.empty())
        next = pending.begin()->first;
    if (isOpen && !rx.empty() && (!next || rx.front().at < *next))
        next = rx.front().at;
    return next;
}

void ModelBoards::advanceTo(Clock::time_point until) {
    while (!pending.empty() && pending.begin()->first <= until) {
        const auto [at, due] = *pending.begin();
        pending.erase(pending.begin());
        if (due.kind == Due::Kind::FrameWhole) {
            frameWhole(at, due);
        } else if (due.kind == Due::Kind::Send) {
            // A board asks for a refused record again only while it hears no frame: once one has
            // begun to reach it, what it sends is its answer to that frame.
            if (due.extra == Due::Extra::TakeUp) {
                const Board& board = boards[static_cast<std::size_t>(due.board)];
                if (at >= board.hearingFrom && at <= board.hearingUntil)
                    continue;
            }
            // One sender at a time: a reply waits for the line to be free.
            const Clock::time_point start = std::max(at, rxFree);
            for (std::size_t k = 0; k < due.bytes.size(); ++k)
                rx.push_back({due.bytes[k], start + wireTime(k + 1)});
            rxFree = start + wireTime(due.bytes.size());
            schedule(rxFree, {Due::Kind::Arrive, "", due.text, due.board, due.final});
            if (due.board >= 0 && faults.noise > 0 && choices.chance(faults.noise)) {
                std::string noise;
                for (int n = choices.pick(1, 6); n > 0; --n)
                    noise += static_cast<char>(choices.pick(0, 255));
                schedule(rxFree + milliseconds(choices.pick(1, 30)), {Due::Kind::Send, noise, "", -1});
            }
        } else if (due.board >= 0) {
            Board& board = boards[static_cast<std::size_t>(due.board)];
            if (due.final)
                board.inFlight = std::max(0, board.inFlight - 1);
            note("board " + std::to_string(due.board) + " said " + due.text + (due.final ? "" : " (more)") +
                 ", whole at " + msOf(at));
            onArrived(due.board, due.text, due.final);
        }
    }
}

ModelBoards::Clock::time_point ModelBoards::send(int board, Clock::time_point at, const std::string& text,
                                                 bool final, Due::Extra extra) {
    Board& b = boards[static_cast<std::size_t>(board)];
    if (extra == Due::Extra::None) {
        at = std::max(at, b.lastAnswer);
        b.lastAnswer = at;
    }
    const std::string frame = reply(b.address, text + "\r\n");
    schedule(at, {Due::Kind::Send, frame, text, board, final, true, extra});
    if (faults.lateDuplicates > 0 && choices.chance(faults.lateDuplicates))
        schedule(at + milliseconds(choices.pick(1, 400)),
                 {Due::Kind::Send, frame, text, board, false, true, Due::Extra::Duplicate});
    return at;
}

void ModelBoards::frameWhole(Clock::time_point at, const Due& frame) {
    // Frames without the Modbus RTU frame reach no board: they all listen for their address.
    if (!frame.framed || frame.bytes.size() < 3)
        return;
    const int address = static_cast<unsigned char>(frame.bytes[0]);
    const std::string text = frame.bytes.substr(1, frame.bytes.size() - 3);
    const bool isRecord = text.rfind("BOOT:", 0) == 0 || text.rfind("BOOT#", 0) == 0;
    // Boards at one address run the same firmware: they decide alike.
    const int behaviour = choices.pick(0, 99);
    for (std::size_t n = 0; n < boards.size(); ++n) {
        Board& board = boards[n];
        if (board.address != address)
            continue;
        // A board given another frame no longer asks for the record it refused. One that misses the
        // frame sends no duplicate in place of its answer either: no host could tell that from an
        // answer, the protocol numbers nothing.
        const bool deaf = frame.firstByte < board.deafUntil;
        const bool unanswered = deaf || behaviour < (isRecord ? kSilentRecords : kSilentCommands);
        std::erase_if(pending, [n, unanswered](const auto& due) {
            return due.second.board == static_cast<int>(n) &&
                   (due.second.extra == Due::Extra::TakeUp ||
                    (unanswered && due.second.extra == Due::Extra::Duplicate));
        });
        if (deaf) {
            note("board " + std::to_string(n) + " was busy: lost " + text.substr(0, text.size() - 2));
            if (isRecord)
                board.inFlight = std::max(0, board.inFlight - 1);
        } else if (isRecord) {
            ++board.recordsHeard;
            note("board " + std::to_string(n) + " got " + text.substr(4, text.size() - 6) + " whole at " +
                 msOf(at) + (behaviour < kSilentRecords ? ", stays silent" : ""));
            record(static_cast<int>(n), at, text, behaviour);
        } else {
            command(static_cast<int>(n), at, text, behaviour);
        }
    }
}

void ModelBoards::command(int board, Clock::time_point at, const std::string& text, int behaviour) {
    const bool version = text == "BOOTi\r\n" || text == "VER\r\n";
    at += milliseconds(version && faults.slowProbes ? choices.pick(100, 400) : choices.pick(1, 8));
    if (behaviour < kSilentCommands)
        return; // a board that does not answer this once
    send(board, at, version ? "VER=1.0" : behaviour < 15 ? "ERROR" : "OK", false);
}

void ModelBoards::record(int index, Clock::time_point at, const std::string& text, int behaviour) {
    Board& board = boards[static_cast<std::size_t>(index)];
    const bool verify = text[4] == '#';
    std::string line = text.substr(4, text.size() - 6);
    std::replace(line.begin(), line.end(), '#', ':');
    const ModelRecord r = parseRecord(line);
    at += milliseconds(choices.pick(0, 2));
    int bucket = 0;
    const auto within = [&bucket, behaviour](int rate) {
        const bool in = behaviour >= bucket && behaviour < bucket + rate;
        bucket += rate;
        return in;
    };
    if (within(kSilentRecords)) {
        board.inFlight = std::max(0, board.inFlight - 1); // silence
    } else if (within(faults.restarts)) {
        board.erasedThisPass = false;
        send(index, at, "VER=1.0", true);
    } else if (within(faults.refusals) ||
               (board.failingWrites && r.type == 0 && !verify && choices.chance(25))) {
        refuse(index, at);
    } else if (within(1)) {
        send(index, at, "DOWNLOAD", true); // ends the pass early
    } else if (r.type == 1) {
        board.erasedThisPass = false;
        if (choices.chance(4)) { // "OK" to the end record, its pass end after it
            send(index, at, "OK", false);
            at += milliseconds(choices.pick(1, 30));
        }
        send(index, at, "DOWNLOAD", true);
    } else if (r.type != 0) {
        send(index, at, "OK", true);
    } else if (verify) {
        bool same = true;
        for (std::size_t k = 0; k < r.data.size(); ++k)
            same = same && board.flash.contains(r.address + static_cast<int>(k)) &&
                   board.flash.at(r.address + static_cast<int>(k)) == r.data[k];
        if (same)
            send(index, at, "OK", true);
        else
            refuse(index, at);
    } else {
        if (within(faults.formats)) {
            board.flash.clear();
            board.erasedThisPass = true;
            at = send(index, at, "FORMAT", false);
            at += milliseconds(choices.pick(100, 50000));
        } else if (!board.erasedThisPass) {
            board.flash.clear();
            board.erasedThisPass = true;
        }
        for (std::size_t k = 0; k < r.data.size(); ++k)
            board.flash[r.address + static_cast<int>(k)] = r.data[k];
        at = send(index, at, "OK", true);
        if (faults.busyWriteMs > 0)
            board.deafUntil = at + wireTime(8) + milliseconds(choices.pick(1, faults.busyWriteMs));
    }
}

// "ERROR": the record is not written; half the time the board asks for it again later.
void ModelBoards::refuse(int board, Clock::time_point at) {
    at = send(board, at, "ERROR", true);
    if (!choices.chance(50))
        return;
    at += milliseconds(choices.pick(20, 3000));
    switch (choices.pick(0, 2)) {
    case 0:
        send(board, at, "OK", false, Due::Extra::TakeUp);
        break;
    case 1:
        send(board, at, "VER=1.0", false, Due::Extra::TakeUp);
        break;
    default:
        send(board, at, "FORMAT", false, Due::Extra::TakeUp);
        send(board, at + milliseconds(choices.pick(100, 5000)), "OK", false, Due::Extra::TakeUp);
    }
}

void ModelBoards::restart(int board) {
    std::erase_if(pending, [board](const auto& due) {
        return due.second.board == board && due.second.kind == Due::Kind::Send;
    });
    Board& b = boards[static_cast<std::size_t>(board)];
    b.inFlight = 0;
    b.erasedThisPass = false;
    b.deafUntil = {};
    b.lastAnswer = {};
    note("board " + std::to_string(board) + " restarts");
    schedule(now, {Due::Kind::Send, reply(b.address, "VER=1.0\r\n"), "VER=1.0", board, false});
}

void ModelBoards::stray(bool framed) {
    schedule(now, {Due::Kind::Send, framed ? reply(200, "OK\r\n") : std::string("\x07noise\r\n"), "", -1});
}

void ModelBoards::lose() {
    pending.clear();
    std::erase_if(rx, [this](const Byte& b) { return b.at > now; });
    txFree = std::min(txFree, now);
    rxFree = std::min(rxFree, now);
    for (Board& board : boards) {
        board.inFlight = 0;
        board.deafUntil = {};
        board.lastAnswer = {};
    }
}
