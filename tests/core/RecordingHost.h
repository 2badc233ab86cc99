#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/ProtocolMachine.h"

// A machine's host that writes down every call, in words, and counts the frames it sends.
class RecordingHost final : public MachineHost {
  public:
    std::vector<std::string> calls;
    bool scan = false;
    bool sendsReach = true;
    Clock::time_point clock{};

    Clock::time_point now() const override { return clock; }
    std::uint64_t framesSent() const override { return frames; }
    bool scanMode() const override { return scan; }
    Origin origin() const override { return {true, 1}; }
    Clock::time_point earliestAnswer(std::uint64_t) const override { return Clock::time_point::min(); }
    Clock::duration probeAnswerWindow() const override { return std::chrono::milliseconds(200); }
    bool sendRecord(Pass pass, int record) override {
        calls.push_back("record " + passName(pass) + " " + std::to_string(record));
        return sent();
    }
    bool sendIdentify() override { return frame("identify"); }
    bool sendInstall() override { return frame("install"); }
    bool sendAddressChange() override { return frame("address change"); }
    void probe() override { frame("probe"); }
    void giveUp() override { note("give up"); }
    void setWaiting(bool on) override { note(on ? "wait on" : "wait off"); }
    void showReady() override { note("READY"); }
    void clearAnswer() override { note("clear answer"); }
    void showBar(BarMark mark) override { note("bar " + std::to_string(static_cast<int>(mark))); }
    void takeChosenFile(Pass pass) override { note("take file " + passName(pass)); }
    void showCancelled() override { note("Cancel"); }
    void showFailure(const Failure& failure) override {
        note("box " + std::to_string(static_cast<int>(failure.reason)));
    }

    static std::string passName(Pass pass) { return pass == Pass::Verify ? "verify" : "download"; }

  private:
    void note(const std::string& call) { calls.push_back(call); }
    bool frame(const std::string& call) {
        calls.push_back(call);
        return sent();
    }
    bool sent() {
        frames += sendsReach ? 1 : 0;
        return sendsReach;
    }
    std::uint64_t frames = 0;
};
