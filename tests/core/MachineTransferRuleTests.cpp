#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/ProtocolMachine.h"

// Rules of a running transfer that hold between records and boards, through the machine's own API.
namespace {

// Counts the frames and keeps the records sent; asks nothing else.
class QuietHost final : public MachineHost {
  public:
    std::vector<std::string> records;
    bool scan = false;

    Clock::time_point now() const override { return {}; }
    std::uint64_t framesSent() const override { return frames; }
    bool scanMode() const override { return scan; }
    Origin origin() const override { return {true, 1}; }
    Clock::time_point earliestAnswer(std::uint64_t) const override { return Clock::time_point::min(); }
    Clock::duration probeAnswerWindow() const override { return std::chrono::milliseconds(200); }
    bool sendRecord(Pass pass, int record) override {
        records.push_back((pass == Pass::Verify ? "verify " : "download ") + std::to_string(record));
        return sent();
    }
    bool sendIdentify() override { return sent(); }
    bool sendInstall() override { return sent(); }
    bool sendAddressChange() override { return sent(); }
    void probe() override { sent(); }
    void giveUp() override {}
    void setWaiting(bool) override {}
    void showReady() override {}
    void clearAnswer() override {}
    void showBar(BarMark) override {}
    void takeChosenFile(Pass) override {}
    void showCancelled() override {}
    void showFailure(const Failure&) override {}

  private:
    bool sent() {
        ++frames;
        return true;
    }
    std::uint64_t frames = 0;
};

constexpr Origin kBoard1{true, 1};

// A reply from `origin` that began after every frame sent so far.
Reply from(const Origin& origin, const std::string& text, const QuietHost& host) {
    return {text + "\r\n", origin, host.framesSent()};
}

} // namespace

// A refusal marks the record refused, not the transfer: each record may be refused once and taken
// up again, and only the same record refused twice ends the run.
TEST(MachineTransferRules, EachRecordMayBeRefusedOnce) {
    QuietHost host;
    ProtocolMachine machine(host);
    machine.handle(Event::OpenProbe);
    machine.reply(from(kBoard1, "VER=1.0", host));
    machine.fileChosen(Pass::Download, 3, kBoard1);
    for (const int record : {1, 2}) {
        SCOPED_TRACE("record " + std::to_string(record));
        ASSERT_EQ(machine.state(), State::RecordAwaited);
        machine.reply(from(kBoard1, "ERROR", host));
        ASSERT_EQ(machine.state(), State::Held);
        machine.reply(from(kBoard1, "VER=1.0", host)); // the board restarted and takes it up again
        machine.reply(from(kBoard1, "OK", host));
    }
    EXPECT_EQ(host.records, (std::vector<std::string>{"download 1", "download 1", "download 2", "download 2",
                                                      "download 3"}));
    machine.reply(from(kBoard1, "ERROR", host));
    machine.reply(from(kBoard1, "VER=1.0", host));
    machine.reply(from(kBoard1, "ERROR", host));
    ASSERT_EQ(machine.state(), State::Failed);
    EXPECT_EQ(machine.failure()->reason, FailureReason::RefusedTwice);
    EXPECT_EQ(machine.failure()->record, 3);
}

// A file chosen while the wait runs goes to the board whose version reply comes, whatever the
// address box held when the file was chosen; that board's replies then carry the transfer.
TEST(MachineTransferRules, ATransferStartedByAVersionReplyRunsWithTheBoardThatAnswered) {
    for (const bool scan : {true, false}) {
        SCOPED_TRACE(scan ? "scanning" : "probing");
        QuietHost host;
        host.scan = scan;
        ProtocolMachine machine(host);
        machine.handle(scan ? Event::OpenScan : Event::OpenProbe);
        machine.fileChosen(Pass::Download, 2, Origin{true, 5});
        ASSERT_EQ(machine.state(), State::VersionAwaited);
        const Origin answering{true, 9};
        machine.reply(from(answering, "VER=1.0", host));
        machine.checkDeadline(MachineHost::Clock::time_point{} + std::chrono::seconds(1)); // no second board
        EXPECT_EQ(machine.transfer().origin, answering);
        machine.reply(from(Origin{true, 5}, "OK", host)); // the box's address: not the transfer's board
        EXPECT_EQ(machine.transfer().record, 1);
        machine.reply(from(answering, "OK", host));
        EXPECT_EQ(machine.transfer().record, 2);
    }
}
