#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/SerialPortService.h"
#include "support/ModelChoices.h"

// Boards on one line, and the line itself as the window's port: every frame reaches the boards
// only once its last byte has crossed the wire at the port's speed, and every reply reaches the
// host byte by byte the same way, one sender at a time. Time is the run's clock.
class ModelBoards final : public SerialPortService {
  public:
    using Clock = std::chrono::steady_clock;
    struct Board {
        int address = 0;
        bool failingWrites = false; // refuses a record now and then: its write failed
        std::map<int, std::uint8_t> flash;
        bool erasedThisPass = false;
        Clock::time_point deafUntil{}; // erasing, or writing after its "OK": bytes arriving are lost
        int inFlight = 0;              // records sent to it whose last answer has not arrived yet
        Clock::time_point hearingFrom{}, hearingUntil{}; // a frame to it is crossing the line
        Clock::time_point lastAnswer{}; // it answers its frames in order, one after the other
        int recordsHeard = 0;           // records that reached it whole, while it listened
    };

    ModelBoards(const Faults& faults, Choices& choices, const Clock::time_point& clock);

    std::vector<Board> boards;
    // Whether the host writes with the Modbus RTU frame now.
    std::function<bool()> framedWrites = [] { return true; };
    // Told of every frame the host writes, before the boards see it.
    std::function<void(const std::string& bytes, bool framed)> onWrite = [](const std::string&, bool) {};
    // Told of every answer of a board once its last byte reached the host; `final`: its last answer
    // to a record.
    std::function<void(int board, const std::string& text, bool final)> onArrived =
        [](int, const std::string&, bool) {};
    // Told of what happens on the line, for a trace.
    std::function<void(const std::string&)> trace;

    // Everything due on the line by `until` happens.
    void advanceTo(Clock::time_point until);
    // When something next happens on the line (a byte arrives, a board acts); empty: never by itself.
    std::optional<Clock::time_point> nextChange() const;
    // The board announces a restart at once; what it was about to answer is lost.
    void restart(int board);
    // A few bytes of noise, or a frame of another board, sent now.
    void stray(bool framed);
    // The line moved under the boards: everything on its way is lost.
    void lose();

    void setSettings(const std::string& settings) override;
    void setCommPort(std::int16_t) override {}
    void setCommPath(const std::string&) override {}
    void setPortOpen(bool open) override;
    bool portOpen() const override { return isOpen; }
    std::optional<int> wireBaud() const override { return baud; }
    std::optional<Clock::time_point> arrivedAt() const override;
    int inBufferCount() override;
    std::string input() override;
    void output(const std::string& bytes) override;

  private:
    struct Due {
        enum class Kind : std::uint8_t { FrameWhole, Send, Arrive } kind;
        std::string bytes; // on the wire
        std::string text;  // Send, Arrive: the answer's text
        int board = -1;    // -1: nobody's (noise)
        bool final = false;
        bool framed = true; // FrameWhole: written with the Modbus RTU frame
        // Send: sent unasked, after the answer: a refused record asked for again, or the answer twice.
        enum class Extra : std::uint8_t { None, TakeUp, Duplicate } extra = Extra::None;
        Clock::time_point firstByte{}; // FrameWhole: when the frame's first byte reached the boards
    };
    struct Byte {
        char value;
        Clock::time_point at;
    };

    Clock::duration wireTime(std::size_t bytes) const;
    void schedule(Clock::time_point at, Due due) { pending.emplace(at, std::move(due)); }
    // Returns when the answer goes out: after the board's earlier answers.
    Clock::time_point send(int board, Clock::time_point at, const std::string& text, bool final,
                           Due::Extra extra = Due::Extra::None);
    void frameWhole(Clock::time_point at, const Due& frame);
    void command(int board, Clock::time_point at, const std::string& text, int behaviour);
    void record(int board, Clock::time_point at, const std::string& text, int behaviour);
    void refuse(int board, Clock::time_point at);
    void note(const std::string& what) const;

    const Faults faults;
    Choices& choices;
    const Clock::time_point& now;
    int baud = 115200;
    bool isOpen = false;
    std::multimap<Clock::time_point, Due> pending; // in time order, and in order of scheduling
    Clock::time_point txFree{}, rxFree{};
    std::vector<Byte> rx; // bytes sent to the host that it has not read, each with its arrival
    Clock::time_point lastRead{};
};
