#include "DeviceBus.h"

#include <stdexcept>

DeviceBus::DeviceBus(std::vector<EmulatedDevice> devices, bool modbusFraming, Trace trace, BoardQuirks quirks)
    : devices_(std::move(devices)), modbusFraming_(modbusFraming), trace_(trace), quirks_(quirks) {
    if (devices_.empty())
        throw std::invalid_argument("a line needs at least one device");
    if (!modbusFraming_ && devices_.size() > 1)
        throw std::invalid_argument("plain framing has no addresses, so it carries only one device");
}

std::vector<TimedFrame> DeviceBus::handle(const BusRequest& request) {
    if (!modbusFraming_)
        return answer(devices_.front(), request);
    std::vector<TimedFrame> frames;
    for (EmulatedDevice& device : devices_) {
        if (device.address() != *request.address && !quirks_.anyAddress)
            continue;
        std::vector<TimedFrame> replies = answer(device, request);
        frames.insert(frames.end(), replies.begin(), replies.end());
    }
    if (frames.empty())
        trace_.line("ignored request for address " + std::to_string(*request.address) + ": " +
                    printableBytes(request.text));
    return frames;
}

std::vector<TimedFrame> DeviceBus::answer(EmulatedDevice& device, const BusRequest& request) {
    // The reply goes out at the address the request came to, even when the request moved the device,
    // unless the board is one that answers from its new address.
    const std::uint8_t before = device.address();
    const std::vector<DeviceReply> replies = device.handle(request.text);
    const std::optional<std::uint8_t> replyAddress =
        quirks_.replyFromNewAddress && device.address() != before ? device.address() : request.address;
    std::vector<TimedFrame> frames;
    for (const DeviceReply& reply : replies) {
        frames.push_back({encodeReply(replyAddress, reply.text), reply.after});
        if (trace_.enabled()) {
            std::string note = "device " + std::to_string(replyAddress.value_or(device.address())) + ": " +
                               printableBytes(request.text) + " -> " + reply.text;
            if (reply.text == "ERROR")
                note += " (" + device.lastError() + ")";
            trace_.line(note);
        }
    }
    return frames;
}
