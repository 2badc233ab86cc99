#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What came back to one probe while its answer window was open: whether more than one board
// answered it, and how many bytes formed no reply at all.
//
// Boards that share an address all answer its probe. Their replies come one after the other, or
// collide on the line and arrive as bytes that form no frame. So more than one board answers
// when the window holds two version replies from the probed address, or one version reply
// beside at least as many damaged bytes as the shortest reply frame has: bytes that form no
// frame and are neither 0x00 nor 0xFF. Fewer such bytes, or only 0x00 and 0xFF (what a line
// gives while a transceiver switches direction or the line idles), are line noise. A reply from
// another address (a late answer to an earlier probe) and the echo of the probe are replies, not
// noise, and no answer to this probe.
//
// Without framing a reply is a line: one holding a reply keyword, or the probe's echo.
class ProbeAnswers {
  public:
    explicit ProbeAnswers(bool modbusFraming) : modbusFraming(modbusFraming) {}

    // A probe went out to `address`: its window opens, the window before it closes.
    void probeSent(std::uint8_t address);
    // Bytes received while the window is open.
    void received(const std::string& bytes);

    // Judged over the window open now.
    bool moreThanOneBoard() const;
    // Bytes that formed no reply, in every window so far: at the wrong speed a board's replies
    // arrive as nothing else.
    std::size_t unreadableBytes() const { return unreadableBefore + judge().unreadable; }

  private:
    struct Judgement {
        int versionReplies = 0;
        std::size_t unreadable = 0; // bytes in no reply
        std::size_t damaged = 0;    // of those, the bytes that are not line noise
    };
    Judgement judge() const;
    Judgement judgeFrames() const;
    Judgement judgeLines() const;

    bool modbusFraming;
    std::uint8_t address = 0;
    std::string window;
    std::size_t overflow = 0; // bytes past the limit of a flooded window
    std::size_t unreadableBefore = 0;
};
