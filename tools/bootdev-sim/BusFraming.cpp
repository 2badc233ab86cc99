#include "BusFraming.h"

#include "link/Crc16.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// The longest request is "BOOT" and a record of 255 data bytes; anything far longer without a
// frame in it is noise, and keeping it would only slow the search down.
constexpr std::size_t kMaxPending = 4096;

} // namespace

std::vector<BusRequest> RequestDecoder::feed(std::string_view bytes) {
    pending_.append(bytes);
    std::vector<BusRequest> requests;
    while (auto request = modbusFraming_ ? takeModbusFrame() : takePlainLine())
        requests.push_back(std::move(*request));
    if (pending_.size() > kMaxPending)
        discardFront(pending_.size() - kMaxPending);
    return requests;
}

std::optional<BusRequest> RequestDecoder::takeModbusFrame() {
    // Each candidate end is the LF of a CR LF with two CRC bytes behind it.
    std::vector<std::size_t> lineFeeds;
    for (std::size_t lf = 1; lf + 2 < pending_.size(); ++lf)
        if (pending_[lf - 1] == '\r' && pending_[lf] == '\n')
            lineFeeds.push_back(lf);
    if (lineFeeds.empty())
        return std::nullopt;
    for (std::size_t start = 0; start + 2 <= lineFeeds.back(); ++start) {
        for (std::size_t lf : lineFeeds) {
            if (lf < start + 2)
                continue;
            // A frame followed by its own CRC leaves a CRC register of zero.
            if (crc16Update(kCrc16Init, pending_.substr(start, lf + 3 - start)) != 0)
                continue;
            BusRequest request{static_cast<std::uint8_t>(pending_[start]),
                               pending_.substr(start + 1, lf - 1 - (start + 1))};
            discardFront(start);
            pending_.erase(0, lf + 3 - start);
            return request;
        }
    }
    return std::nullopt;
}

std::optional<BusRequest> RequestDecoder::takePlainLine() {
    const std::size_t end = pending_.find(kLineEnd);
    if (end == std::string::npos)
        return std::nullopt;
    BusRequest request{std::nullopt, pending_.substr(0, end)};
    pending_.erase(0, end + kLineEnd.size());
    return request;
}

void RequestDecoder::discardFront(std::size_t count) {
    pending_.erase(0, count);
    discarded_ += count;
}

std::string encodeReply(std::optional<std::uint8_t> address, std::string_view text) {
    std::string frame;
    if (address)
        frame.append({static_cast<char>(*address), 'B'});
    frame.append(text);
    frame.append(kLineEnd);
    if (address)
        frame.append(CRC16(frame));
    return frame;
}
