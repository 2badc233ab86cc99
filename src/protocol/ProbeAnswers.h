#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What came back to the probes of one address: whether more than one board answered them, and
// how many bytes formed no reply at all.
//
// Boards that share an address all answer its probe, so more than one board answers when more
// whole version replies come from the probed address than there were probes for them to answer.
// Only a reply that parses whole counts: a frame whose CRC holds, or, without framing, a line
// holding a reply keyword and ending in CR LF. Bytes that form no reply (a noisy line, a reply
// damaged on its way) are no board, however many come; they are only counted, because at the
// wrong speed a board's replies arrive as nothing else. A reply from another address (a late
// answer to an earlier probe) and the echo of the probe answer no probe of this address.
//
// A slow board answers a probe after the next one went out, and then answers that one too: the
// probes it may be answering are the one whose answer window held its first reply (or, for a
// board slower than that window, the last probe before the reply) and every probe after it.
class ProbeAnswers {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ProbeAnswers(bool modbusFraming) : modbusFraming(modbusFraming) {}

    // A probe went out to `address` at `at`. Another probe to the same address adds to its tally;
    // a probe to another address starts a new one. `bytesWaiting`: bytes received before it were
    // still unread, so that an answer among them came before it, whenever it is read.
    void probeSent(std::uint8_t address, Clock::time_point at, bool bytesWaiting = false);
    // Bytes received while probes are answered, read at `at` where known.
    void received(const std::string& bytes, std::optional<Clock::time_point> at = std::nullopt);

    // Whole version replies from the probed address so far.
    int versionReplies() const { return repliesBefore + judge().versionReplies; }
    // Judged once the first reply came at `firstAnswer` (or before, when it was waiting unread as a
    // probe went out); `window` is how long after a probe its answer is on time.
    bool moreThanOneBoard(Clock::time_point firstAnswer, Clock::duration window) const;
    // Bytes that formed no reply, for every address so far.
    std::size_t unreadableBytes() const { return unreadableBefore + overflow + judge().unreadable; }

  private:
    struct Judgement {
        int versionReplies = 0;
        std::size_t unreadable = 0; // bytes in no reply
        std::size_t settled = 0;    // where the last whole reply ends: a reply may still grow behind it
    };
    Judgement judge() const { return judge(window); }
    Judgement judge(const std::string& bytes) const;
    Judgement judgeFrames(const std::string& bytes) const;
    Judgement judgeLines(const std::string& bytes) const;
    // Counts what the window holds up to where a reply may still be arriving, and keeps the rest.
    void settle();

    bool modbusFraming;
    std::uint8_t address = 0;
    std::vector<Clock::time_point> probes; // to `address`, in the order sent
    // The first probe sent over unread bytes: a host held up (a loaded machine, a stopped process)
    // reads an answer only after its next probe went out, and that answer came before it.
    std::optional<Clock::time_point> sentOverWaiting;
    bool readSinceWaiting = false;
    // When the first whole version reply was read: a judgment asked later still counts from it.
    std::optional<Clock::time_point> firstReplyRead;
    int repliesBefore = 0; // from `address`, in bytes already settled
    std::string window;
    std::size_t overflow = 0; // bytes past the limit of a flooded window
    std::size_t unreadableBefore = 0;
};
