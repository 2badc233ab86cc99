#include "EndToEnd.h"

#include <cstdlib>

#include "window/Colours.h"

// Boards that misbehave in time, on a line paced at 115200 baud whose pacing the window is told
// of: the window ends on END only when the board holds the file, and on ERROR with the one box that
// says why otherwise.
namespace {

// How a row starts its transfer.
enum class Start {
    AfterProbe,   // "?" answered, then "Download"
    WithoutProbe, // opened at address 0, so nothing but records goes out
    DuringWait,   // the file chosen while the connection wait still probes
};

struct Board {
    const char* name;
    std::vector<std::string> options;
    Start start;
    ProtocolMachine::Limits limits;
    const char* bar;
    std::string box; // what the one box begins with ("[...") or names; none at END
    std::vector<std::string> dumps{"flash.bin"}; // each board's flash
};

std::ostream& operator<<(std::ostream& out, const Board& board) {
    return out << board.name;
}

class TimingFaults : public EndToEnd, public testing::WithParamInterface<Board> {
  protected:
    void SetUp() override {
        EndToEnd::SetUp();
        writeImage(large, "firmware.hex");
        setenv("BOOTDEVICE_PTY_WIRE", "1", 1);
    }
    void TearDown() override {
        unsetenv("BOOTDEVICE_PTY_WIRE");
        EndToEnd::TearDown();
    }

    testing::AssertionResult begin(const Board& board) {
        std::vector<std::string> options{"--line-rate", "115200"};
        options.insert(options.end(), board.options.begin(), board.options.end());
        if (board.start == Start::AfterProbe)
            return connect(options);
        portPath = startEmulator(options);
        open(board.start == Start::WithoutProbe ? "0" : "5");
        ui.Text1->setText(board.start == Start::WithoutProbe ? "1" : "5");
        return testing::AssertionSuccess();
    }
    // Presses "Download" and waits for the transfer's end: the bar reads "ERROR" already while a
    // refused record is held.
    testing::AssertionResult transfer() {
        ui.Command3->click();
        if (waitUntil([this] {
                const State state = window.logic().Machine().state();
                return state == State::Ended || state == State::Failed;
            }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "bar " << bar.text().toStdString() << " at " << bar.value();
    }

    // 60 data records and 3 others: 63 lines, the 20th a data record.
    const HexImage large = makeHexImage(60, 0x0800FF00, 0x10000);
};

} // namespace

TEST_P(TimingFaults, EndOnEndOnlyWithTheFileInFlash) {
    const Board& board = GetParam();
    ASSERT_EQ(large.lines.size(), 63u);
    window.logic().SetLimits(board.limits);
    ASSERT_TRUE(begin(board));
    ASSERT_TRUE(transfer());
    // What the board sends after the end must not change it.
    QTest::qWait(300);
    EXPECT_EQ(bar.text().toStdString(), board.bar) << messages;
    if (bar.text() == "END") {
        EXPECT_EQ(messages, "");
        for (const std::string& dump : board.dumps)
            EXPECT_TRUE(flashAtStop(dump) == large.flash) << dump << " differs from the file";
        return;
    }
    EXPECT_EQ(bar.barColour(), colours::Red);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '['), 1) << messages;
    if (board.box.starts_with("["))
        EXPECT_TRUE(messages.starts_with(board.box)) << messages;
    else
        EXPECT_NE(messages.find(board.box), std::string::npos) << messages;
}

using std::chrono::seconds;
constexpr ProtocolMachine::Limits kQuick{seconds(1), seconds(60)};

INSTANTIATE_TEST_SUITE_P(
    Boards, TimingFaults,
    testing::Values(
        Board{"TwoAtOneAddressOneRefusingRecord2",
              {"--address", "1,1", "--faulty-device", "2", "--refuse-record", "2"},
              Start::WithoutProbe,
              kQuick,
              "ERROR",
              "[More than one board answers at address 1",
              {"flash.bin.1", "flash.bin.1.2"}},
        Board{"RecordsAcknowledgedOnReceiptAnd2MsLater",
              {"--ack-twice-ms", "2"},
              Start::AfterProbe,
              kQuick,
              "ERROR",
              ""},
        Board{"RecordsAcknowledgedOnReceiptAnd3MsLater",
              {"--ack-twice-ms", "3"},
              Start::AfterProbe,
              kQuick,
              "ERROR",
              ""},
        Board{"ProbeAnswered350MsLate", {"--probe-delay-ms", "350"}, Start::DuringWait, kQuick, "END", ""},
        Board{"ARefusalFollowedByA10sErase",
              {"--refuse-record", "20", "--erase-after-refusal-ms", "10000"},
              Start::AfterProbe,
              kQuick,
              "END",
              ""},
        Board{"ARefusalNeverTakenUpAgain",
              {"--refuse-record", "20"},
              Start::AfterProbe,
              kQuick,
              "ERROR",
              "record 20 of 63"},
        Board{"ARefusalFollowedByAnEraseThatDoesNotEnd",
              {"--refuse-record", "20", "--erase-after-refusal-ms", "100000"},
              Start::AfterProbe,
              {seconds(1), seconds(2)},
              "ERROR",
              "record 20 of 63"}),
    [](const testing::TestParamInfo<Board>& info) { return std::string(info.param.name); });
