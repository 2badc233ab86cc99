#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The data of a transfer and of its end, and what the machine asks of whoever runs it (the
// window's logic): frames to send, marks to show, the clock.

enum class Pass : std::uint8_t { Download, Verify };

// Where a reply came from: the framing it came in and, framed, the address it came from.
struct Origin {
    bool framed = true;
    std::uint8_t address = 0;
    bool operator==(const Origin&) const = default;
};

// What the bar shows besides the record sender's own "DOWNLOAD" and count.
enum class BarMark : std::uint8_t {
    Verify, // "VERIFY": the verify pass starts
    End,    // "END" in green
    Error,  // "ERROR" in red
    Erase,  // no text, value 0: the board erases
    NoFile, // "NO FILE"
};

enum class FailureReason : std::uint8_t {
    EndedEarly,      // the board ended a pass before its last record
    RefusedTwice,    // the board refused one record twice
    NotRetaken,      // a refused record was not taken up again
    Stalled,         // no answer within the stall limit
    EraseStalled,    // the erase did not end within its allowance
    Restarted,       // a version reply while a record awaited its answer
    FramingSwitched, // the framing was switched during the transfer
    NotSent,         // a record did not reach the wire
    MoreThanOneBoard, // two different answers to one record, or every record answered twice
};

struct Failure {
    FailureReason reason = FailureReason::Stalled;
    Pass pass = Pass::Download;
    int record = 0; // the record awaited when it failed, from 1
    int count = 0;
    std::string reply;                  // Restarted: the version reply; MoreThanOneBoard: the answers
    std::string instead;                // Stalled: what came instead of the answer, if anything did
    std::chrono::milliseconds limit{0}; // Stalled, EraseStalled: the limit that ran out
    Origin origin;                      // MoreThanOneBoard: where the boards answer
};

class MachineHost {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~MachineHost() = default;

    virtual Clock::time_point now() const = 0;
    // Frames written to the line so far, of every kind.
    virtual std::uint64_t framesSent() const = 0;
    // The wait walks the addresses (the address box was empty when the port opened).
    virtual bool scanMode() const = 0;
    // Where a frame goes now, and a reply to it comes from.
    virtual Origin origin() const = 0;
    // Before this time no reply can answer frame number `frame` (counted from 1 over all frames): the
    // frame and the shortest reply must cross the line first. The distant past where the line's
    // speed is not known.
    virtual Clock::time_point earliestAnswer(std::uint64_t frame) const = 0;
    // How long after a probe a board's version reply may still come.
    virtual Clock::duration probeAnswerWindow() const = 0;

    // Frames. Each says whether it reached the wire.
    virtual bool sendRecord(Pass pass, int record) = 0;
    virtual bool sendIdentify() = 0;
    virtual bool sendInstall() = 0;
    virtual bool sendAddressChange() = 0;
    // One step of the connection wait: its count shown, a probe sent.
    virtual void probe() = 0;
    // The wait ends without a board: its count starts again, the user is told.
    virtual void giveUp() = 0;

    // The connection wait's timer on or off.
    virtual void setWaiting(bool on) = 0;
    // The status line reads "READY".
    virtual void showReady() = 0;
    virtual void clearAnswer() = 0;
    virtual void showBar(BarMark mark) = 0;
    // The file just read becomes the record table, for a transfer in `pass`.
    virtual void takeChosenFile(Pass pass) = 0;
    // A cancelled file dialog, and a transfer that failed for a reason worth a message.
    virtual void showCancelled() = 0;
    virtual void showFailure(const Failure& failure) = 0;
};
