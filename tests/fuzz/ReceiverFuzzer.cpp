// The receive tick fed arbitrary bytes in arbitrary chunks, switching between Modbus RTU and plain
// mode, against the device address the input picks.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <deque>
#include <string>

#include "fakes/FakeFormView.h"
#include "fuzz/FuzzRequire.h"
#include "link/Crc16.h"
#include "link/ReplyFrames.h"
#include "window/frmSerial.h"

namespace {

// Serves the chunks the harness queues, one per read; takes every write.
class ChunkPort final : public SerialPortService {
  public:
    std::deque<std::string> chunks;
    void setSettings(const std::string&) override {}
    void setCommPort(std::int16_t) override {}
    void setCommPath(const std::string&) override {}
    void setPortOpen(bool open) override { isOpen = open; }
    bool portOpen() const override { return isOpen; }
    int inBufferCount() override { return chunks.empty() ? 0 : static_cast<int>(chunks.front().size()); }
    std::string input() override {
        std::string chunk = chunks.front();
        chunks.pop_front();
        return chunk;
    }
    void output(const std::string&) override {}

  private:
    bool isOpen = false;
};

// One run of the input against a receiver that hands every frame over at once (the window's) or
// that may hold one back until a tick finds the line quiet (the flasher's; here a tick without a
// chunk).
void receive(const std::uint8_t* data, std::size_t size, std::chrono::nanoseconds heldFrameWait) {
    FuzzedDataProvider input(data, size);
    FakeFormView view;
    ChunkPort port;
    frmSerial form(view, port);
    form.Receiver.heldFrameWait = heldFrameWait;
    const auto address = input.ConsumeIntegral<std::uint8_t>();
    view.text1 = std::to_string(address);
    form.BTNOpenCom_Click();

    std::size_t frameBytesReceived = 0; // in Modbus RTU mode
    std::size_t frameBytesHandedOver = 0;
    std::size_t lineBytesReceived = 0; // in plain mode
    std::size_t lineBytesHandedOver = 0;
    bool modbus = true;
    view.onText8 = [&](const std::string& text) {
        if (text != form.RxString)
            return; // an error report, not a hand-over
        if (modbus) {
            // Only a frame whose address, "B" and CRC all check is handed over.
            const std::string frame = std::string{static_cast<char>(address), 'B'} + text;
            require(form.RxCRC == CRC16(frame));
            frameBytesHandedOver += text.size() + 4;
        } else {
            require(!text.empty() && text.size() <= kMaxReplyLength);
            lineBytesHandedOver += text.size();
        }
    };

    while (input.remaining_bytes() > 0) {
        modbus = input.ConsumeIntegralInRange<int>(0, 15) != 0;
        view.check1 = modbus;
        const std::string chunk = input.ConsumeRandomLengthString(2 * kReplyBufferLimit);
        if (!chunk.empty())
            port.chunks.push_back(chunk);
        (modbus ? frameBytesReceived : lineBytesReceived) += chunk.size();
        form.TMRComm_Timer();

        // A reply whose handling fails ends the tick, so what is left waits for the next one.
        require(form.Receiver.frameBytes().size() <= kReplyBufferLimit);
        require(form.Receiver.lineBytes().size() <= kReplyBufferLimit);
        // Bytes are handed over at most once, and only in the framing they came in: never more
        // than came in under it.
        require(frameBytesHandedOver <= frameBytesReceived);
        require(lineBytesHandedOver + form.Receiver.lineBytes().size() <= lineBytesReceived);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    receive(data, size, std::chrono::nanoseconds(0));
    receive(data, size, std::chrono::nanoseconds(1));
    return 0;
}
