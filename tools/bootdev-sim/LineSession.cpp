#include "LineSession.h"

#include <algorithm>

LineSession::LineSession(DeviceBus& bus, LineTiming timing, FaultSettings faults, Trace trace,
                         std::chrono::milliseconds noiseEvery)
    : bus_(bus), timing_(timing), decoder_(bus.modbusFraming()), faults_(faults, bus.modbusFraming()),
      trace_(trace), noiseEvery_(noiseEvery) {}

SimClock::duration LineSession::byteTime() const {
    return std::chrono::duration_cast<SimClock::duration>(std::chrono::nanoseconds(10'000'000'000ll) /
                                                          timing_.lineRate);
}

SimClock::time_point LineSession::onTick(SimClock::time_point at) const {
    const auto tick = std::chrono::duration_cast<SimClock::duration>(timing_.writeTick);
    if (timing_.lineRate == 0 || tick.count() <= 0)
        return at;
    const auto ticks = (at.time_since_epoch() + tick - SimClock::duration(1)) / tick;
    return SimClock::time_point(tick * ticks);
}

// A write takes a tick's worth of bytes, or a frame's tail once it has crossed.
std::size_t LineSession::writeBatch() const {
    return std::max<std::size_t>(1, static_cast<std::size_t>(timing_.writeBatch / byteTime()));
}

void LineSession::receive(std::string_view bytes, SimClock::time_point now) {
    if (bytes.empty())
        return;
    SimClock::time_point arrived = now;
    if (timing_.lineRate != 0) {
        // The chunk is complete once its last byte would have crossed the line.
        arrived = std::max(now, receiveLineFree_) + byteTime() * static_cast<long>(bytes.size());
        receiveLineFree_ = arrived;
    }
    // The bytes' instant is fixed from here on, and a device acts on a request at that instant
    // whenever it is told: decoding now spares the line a wake of its own for it.
    decode(arrived, bytes);
}

std::vector<std::string> LineSession::service(SimClock::time_point now) {
    releaseDueReplies(now);
    babble(now);
    addNoise(now);
    std::vector<std::string> writes;
    transmit(now, writes);
    return writes;
}

void LineSession::decode(SimClock::time_point arrived, std::string_view bytes) {
    const std::size_t discardedBefore = decoder_.discardedBytes();
    for (const BusRequest& request : decoder_.feed(bytes)) {
        // A device answers its requests in order: a reply never overtakes one still waiting for
        // an erase to finish.
        SimClock::time_point due = std::max(arrived + timing_.replyDelay, lastReplyDue_);
        for (TimedFrame& frame : bus_.handle(request, arrived)) {
            due += frame.after;
            scheduled_.emplace(due, std::move(frame.bytes));
            lastReplyDue_ = due;
        }
    }
    if (decoder_.discardedBytes() != discardedBefore)
        trace_.line("skipped " + std::to_string(decoder_.discardedBytes() - discardedBefore) +
                    " bytes that formed no good frame");
}

void LineSession::releaseDueReplies(SimClock::time_point now) {
    while (!scheduled_.empty() && scheduled_.begin()->first <= now) {
        auto node = scheduled_.extract(scheduled_.begin());
        std::optional<FaultedReply> reply = faults_.apply(std::move(node.mapped()));
        if (!reply) {
            trace_.line("dropped a reply");
            continue;
        }
        if (held_) {
            trace_.line("glued two replies into one write");
            outgoing_.push_back({node.key(), held_->bytes + reply->bytes});
            held_.reset();
        } else if (reply->glue) {
            held_ = Chunk{node.key(), std::move(reply->bytes)};
        } else {
            outgoing_.push_back({node.key(), std::move(reply->bytes)});
        }
    }
    if (held_ && held_->at + timing_.glueHoldLimit <= now) {
        trace_.line("no reply followed the held one; sent it alone");
        outgoing_.push_back(std::move(*held_));
        held_.reset();
    }
}

void LineSession::babble(SimClock::time_point now) {
    if (!faults_.babbling())
        return;
    if (!nextBabble_) {
        trace_.line("gave the last reply; babbling from now on");
        nextBabble_ = now + kBabbleInterval;
    }
    for (; *nextBabble_ <= now; *nextBabble_ += kBabbleInterval)
        outgoing_.push_back({*nextBabble_, std::string(kBabble)});
}

// Noise goes out as writes of its own, so it falls between replies, never into one.
void LineSession::addNoise(SimClock::time_point now) {
    if (noiseEvery_.count() == 0)
        return;
    if (!nextNoise_)
        nextNoise_ = now + noiseEvery_;
    for (; *nextNoise_ <= now; *nextNoise_ += noiseEvery_)
        outgoing_.push_back({*nextNoise_, std::string(kLineNoise)});
}

void LineSession::transmit(SimClock::time_point now, std::vector<std::string>& writes) {
    if (timing_.lineRate == 0) {
        for (Chunk& chunk : outgoing_)
            writes.push_back(std::move(chunk.bytes));
        outgoing_.clear();
        return;
    }
    // At a paced rate a byte is written once it would have fully crossed the line; what crossed
    // since the last write goes out as one, frames run together as on the wire.
    std::string batch;
    while (!outgoing_.empty()) {
        const Chunk& front = outgoing_.front();
        if (!sendingSince_)
            sendingSince_ = std::max(front.at, sendLineFree_);
        if (*sendingSince_ > now)
            break;
        const auto crossed = static_cast<std::size_t>((now - *sendingSince_) / byteTime());
        const std::size_t upTo = std::min(front.bytes.size(), crossed);
        if (upTo > sentOfFront_) {
            batch.append(front.bytes, sentOfFront_, upTo - sentOfFront_);
            sentOfFront_ = upTo;
        }
        if (sentOfFront_ < front.bytes.size())
            break;
        sendLineFree_ = *sendingSince_ + byteTime() * static_cast<long>(front.bytes.size());
        sendingSince_.reset();
        sentOfFront_ = 0;
        outgoing_.pop_front();
    }
    if (!batch.empty())
        writes.push_back(std::move(batch));
}

std::optional<SimClock::time_point> LineSession::nextWake() const {
    std::optional<SimClock::time_point> wake;
    auto consider = [&wake](SimClock::time_point at) {
        if (!wake || at < *wake)
            wake = at;
    };
    // Releasing a reply writes nothing by itself, and its bytes are timed from its exact instant: it
    // can wait until its first write is due.
    if (!scheduled_.empty()) {
        const auto& [due, frame] = *scheduled_.begin();
        consider(timing_.lineRate == 0
                     ? due
                     : onTick(due + byteTime() * static_cast<long>(std::min(frame.size(), writeBatch()))));
    }
    if (held_)
        consider(held_->at + timing_.glueHoldLimit);
    if (nextBabble_)
        consider(*nextBabble_);
    if (nextNoise_)
        consider(*nextNoise_);
    if (!outgoing_.empty()) {
        if (timing_.lineRate == 0) {
            consider(outgoing_.front().at);
        } else {
            const SimClock::time_point since =
                sendingSince_ ? *sendingSince_ : std::max(outgoing_.front().at, sendLineFree_);
            const std::size_t upTo = std::min(outgoing_.front().bytes.size(), sentOfFront_ + writeBatch());
            consider(onTick(since + byteTime() * static_cast<long>(upTo)));
        }
    }
    return wake;
}
