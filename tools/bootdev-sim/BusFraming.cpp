#include "BusFraming.h"

#include "link/Crc16.h"

#include <algorithm>

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// The longest request: address, "BOOT", a record of 255 data bytes with some trailing blanks, CR LF, CRC.
// A start further back than this from the newest byte can no longer begin a frame.
constexpr std::size_t kMaxRequest = 600;
// Plain framing has no CRC to resynchronise on; a line this long is noise.
constexpr std::size_t kMaxPlainLine = 4096;

std::uint16_t crcStep(std::uint16_t crc, char byte) {
    return crc16Update(crc, static_cast<std::uint8_t>(byte));
}

} // namespace

std::vector<BusRequest> RequestDecoder::feed(std::string_view bytes) {
    pending_.append(bytes);
    std::vector<BusRequest> requests;
    while (auto request = modbusFraming_ ? takeModbusFrame() : takePlainLine())
        requests.push_back(std::move(*request));
    if (modbusFraming_ && pending_.size() > kMaxRequest)
        discardFront(pending_.size() - kMaxRequest);
    if (!modbusFraming_ && pending_.size() > kMaxPlainLine)
        discardFront(pending_.size());
    return requests;
}

std::optional<BusRequest> RequestDecoder::takeModbusFrame() {
    const std::size_t size = pending_.size();
    for (std::size_t start = 0; start + 5 <= size; ++start) {
        const std::size_t limit = std::min(size, start + kMaxRequest);
        std::uint16_t crc = crcStep(kCrc16Init, pending_[start]);
        // `lf` is the LF that would end the text; the two CRC bytes follow it.
        for (std::size_t lf = start + 1; lf + 3 <= limit; ++lf) {
            crc = crcStep(crc, pending_[lf]);
            if (lf < start + 2 || pending_[lf - 1] != '\r' || pending_[lf] != '\n')
                continue;
            // A frame followed by its own CRC leaves a CRC register of zero.
            if (crcStep(crcStep(crc, pending_[lf + 1]), pending_[lf + 2]) != 0)
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
