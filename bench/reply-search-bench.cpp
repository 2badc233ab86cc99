// CPU time of one receive tick that reads a full buffer of hostile noise in Modbus RTU mode, for
// noise patterns that keep looking like the start of a reply. Prints figures, asserts nothing.
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>

#include "../tests/fakes/FakeFormView.h"
#include "link/ReplyFrames.h"
#include "window/frmSerial.h"

namespace {

class NoisePort final : public SerialPortService {
  public:
    std::string noise;
    void setSettings(const std::string&) override {}
    void setCommPort(std::int16_t) override {}
    void setCommPath(const std::string&) override {}
    void setPortOpen(bool) override {}
    bool portOpen() const override { return true; }
    int inBufferCount() override { return static_cast<int>(noise.size()); }
    std::string input() override { return noise; }
    void output(const std::string&) override {}
};

} // namespace

int main() {
    const struct {
        const char* name;
        std::string pattern;
    } noises[] = {
        {"address, B, repeated", std::string("\x01\x42", 2)},
        {"address, B, one byte", std::string("\x01\x42\x00", 3)},
        {"address alone", std::string("\x01", 1)},
    };
    constexpr int kTicks = 200;
    std::printf("%-24s %14s %16s\n", "noise (4096 bytes/read)", "us per tick", "buffer after");
    for (const auto& noise : noises) {
        NoisePort port;
        for (std::size_t at = 0; at < 4096; ++at)
            port.noise.push_back(noise.pattern[at % noise.pattern.size()]);
        FakeFormView view;
        view.setText1Text("1");
        frmSerial form(view, port);
        const auto start = std::chrono::steady_clock::now();
        for (int tick = 0; tick < kTicks; ++tick)
            form.TMRComm_Timer();
        const double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() /
            kTicks;
        std::printf("%-24s %14.1f %16zu\n", noise.name, us, form.Receiver.frameBytes().size());
    }
}
