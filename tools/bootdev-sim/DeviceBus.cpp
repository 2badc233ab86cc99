#include "DeviceBus.h"

#include <stdexcept>

DeviceBus::DeviceBus(std::vector<EmulatedDevice> devices, bool modbusFraming, Trace trace, BoardQuirks quirks)
    : devices_(std::move(devices)), modbusFraming_(modbusFraming), trace_(trace), quirks_(quirks) {
    if (devices_.empty())
        throw std::invalid_argument("a line needs at least one device");
    if (!modbusFraming_ && devices_.size() > 1)
        throw std::invalid_argument("plain framing has no addresses, so it carries only one device");
}

std::vector<TimedFrame> DeviceBus::handle(const BusRequest& request,
                                          std::chrono::steady_clock::time_point at) {
    if (!modbusFraming_)
        return answer(devices_.front(), request, at);
    std::vector<TimedFrame> frames;
    bool addressed = false;
    for (EmulatedDevice& device : devices_) {
        if (device.address() != *request.address && !quirks_.anyAddress)
            continue;
        addressed = true;
        std::vector<TimedFrame> replies = answer(device, request, at);
        frames.insert(frames.end(), replies.begin(), replies.end());
    }
    if (!addressed)
        trace_.line("ignored request for address " + std::to_string(*request.address) + ": " +
                    printableBytes(request.text));
    return frames;
}

std::vector<TimedFrame> DeviceBus::answer(EmulatedDevice& device, const BusRequest& request,
                                          std::chrono::steady_clock::time_point at) {
    // The reply goes out at the address the request came to, even when the request moved the device,
    // unless the board is one that answers from its new address.
    const std::uint8_t before = device.address();
    const std::vector<DeviceReply> replies = device.handle(request.text, at);
    const std::optional<std::uint8_t> replyAddress =
        quirks_.replyFromNewAddress && device.address() != before ? device.address() : request.address;
    std::vector<TimedFrame> frames;
    if (replies.empty())
        trace_.line("device " + std::to_string(replyAddress.value_or(device.address())) +
                    " busy writing, lost: " + printableBytes(request.text));
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
