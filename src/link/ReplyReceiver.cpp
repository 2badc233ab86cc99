#include "link/ReplyReceiver.h"

#include <string_view>

#include "link/Crc16.h"
#include "link/ReplyFrames.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// How long a plain reply without a line end must stay unfinished before it is taken as it is: one
// poll of the window. Counted in time, not ticks: at a poll shorter than a byte's time on the line
// a tick between two bytes of one reply finds nothing new. Longer than the pauses a USB adapter
// leaves inside a reply (its latency timer, often 16 ms).
constexpr auto kPlainReplyQuiet = std::chrono::milliseconds(20);

// What the `dropped` bytes at the front of `bytes` were.
void classify(const std::string& bytes, std::size_t dropped, Received& report) {
    if (bytes.size() > 1 && bytes[1] == kReplyFunction && replyFrameLength(bytes, 0) != 0) {
        report.stray = Received::Stray::OtherAddress;
        report.strayAddress = static_cast<std::uint8_t>(bytes[0]);
    } else if (std::string_view(bytes).substr(0, dropped).find(kLineEnd) != std::string_view::npos) {
        report.stray = Received::Stray::Unframed; // a line as a board in plain mode sends it
    }
}

Received replyOf(std::string text, bool framed, std::uint64_t stamp, ReplyReceiver::Clock::time_point at) {
    Received reply;
    reply.text = std::move(text);
    reply.framed = framed;
    reply.stamp = stamp;
    reply.completedAt = at;
    return reply;
}

} // namespace

void ReplyReceiver::dropOtherFraming(bool framed) {
    if (framed) {
        line.clear();
    } else {
        frames.clear();
        frameHeld = false;
    }
}

std::vector<Received> ReplyReceiver::take(const std::string& bytes, bool framed,
                                          std::optional<std::uint8_t> address, std::uint64_t stamp,
                                          Clock::time_point now) {
    dropOtherFraming(framed);
    lastRead = now;
    chunk = bytes;
    std::vector<Received> out;
    if (framed) {
        frames.append(bytes, stamp);
        frames.keepLast(kReplyBufferLimit);
        frameHeld = false;
        if (address)
            takeFrames(*address, out);
    } else {
        line.append(bytes, stamp);
        line.keepLast(kReplyBufferLimit);
        takeLines(out);
    }
    return out;
}

std::vector<Received> ReplyReceiver::quiet(bool framed, std::optional<std::uint8_t> address,
                                           Clock::time_point now) {
    dropOtherFraming(framed);
    std::vector<Received> out;
    const auto quietFor = now - lastRead;
    if (!framed && !line.empty() && quietFor >= kPlainReplyQuiet) {
        // A plain reply without a line end is complete once the line has gone quiet.
        out.push_back(replyOf(line.bytes(), false, line.stampAt(0), lastRead));
        line.clear();
    }
    if (framed && frameHeld && address && quietFor >= heldFrameWait) {
        // The line has stayed quiet behind a held frame: nothing more belongs to it. What follows it
        // waits for the next bytes, as the rest of a read does.
        frameHeld = false;
        const ReplyScan scan = scanReplyBuffer(frames.bytes(), *address);
        if (scan.outcome == ReplyScan::Outcome::Frame)
            handOverFrame(scan.discard, scan.length, out);
    }
    return out;
}

void ReplyReceiver::clear() {
    frames.clear();
    line.clear();
    frameHeld = false;
}

// The bytes behind a reply in the buffer came with the same read, after it: it was complete that
// much line time before they were in.
ReplyReceiver::Clock::time_point ReplyReceiver::completedBefore(std::size_t bytesBehind) const {
    return lastRead - static_cast<Clock::duration::rep>(bytesBehind) * byteTime;
}

std::optional<ReplyReceiver::Clock::time_point> ReplyReceiver::heldFrameDue() const {
    if (!frameHeld)
        return std::nullopt;
    return lastRead + heldFrameWait;
}

// Every reply ends with CR LF; a read may hold two replies, or part of one.
void ReplyReceiver::takeLines(std::vector<Received>& out) {
    for (;;) {
        std::size_t end = line.bytes().find(kLineEnd);
        if (end != std::string::npos)
            end += kLineEnd.size();
        if (end > kMaxReplyLength && line.size() >= kMaxReplyLength)
            end = kMaxReplyLength; // no reply is this long: hand the bytes on as they are
        else if (end == std::string::npos)
            return;
        const std::uint64_t stamp = line.stampAt(0);
        std::string text = line.bytes().substr(0, end);
        line.eraseFront(end);
        out.push_back(replyOf(std::move(text), false, stamp, completedBefore(line.size())));
    }
}

void ReplyReceiver::takeFrames(std::uint8_t address, std::vector<Received>& out) {
    for (;;) {
        if (frames.size() < kMinReplyLength)
            return;
        const ReplyScan scan = scanReplyBuffer(frames.bytes(), address);
        switch (scan.outcome) {
        case ReplyScan::Outcome::Waiting:
            frames.eraseFront(scan.discard);
            return;
        case ReplyScan::Outcome::WrongAddress:
        case ReplyScan::Outcome::WrongFunction: {
            Received report;
            report.kind = scan.outcome == ReplyScan::Outcome::WrongAddress ? Received::Kind::AddressError
                                                                           : Received::Kind::FunctionError;
            report.text = chunk;
            classify(frames.bytes(), scan.discard, report);
            out.push_back(std::move(report));
            frames.eraseFront(scan.discard);
            break;
        }
        case ReplyScan::Outcome::Frame: {
            // More bytes may yet show this to be the front of a longer frame. The window hands
            // such a frame over at once when it is all there is; when bytes follow it that may
            // be its rest, it waits a poll for the rest of them too.
            const bool restMayFollow = scan.discard + scan.length < frames.size();
            if (!scan.settled && (heldFrameWait > Clock::duration::zero() || restMayFollow)) {
                frames.eraseFront(scan.discard);
                frameHeld = true;
                return;
            }
            handOverFrame(scan.discard, scan.length, out);
            break;
        }
        }
    }
}

void ReplyReceiver::handOverFrame(std::size_t discard, std::size_t length, std::vector<Received>& out) {
    const std::string frame = frames.bytes().substr(discard, length);
    const std::uint64_t stamp = frames.stampAt(discard);
    frames.eraseFront(discard + length);
    Received reply = replyOf(frame.substr(2, frame.size() - 4), true, stamp, completedBefore(frames.size()));
    reply.crc = frame.substr(frame.size() - 2);
    reply.crcCalc = CRC16(frame.substr(0, frame.size() - 2));
    out.push_back(std::move(reply));
}
