#include "EndToEnd.h"

// Boards that misbehave, for real: a reply sent twice, an erase that takes its time or never ends,
// a board that restarts in the middle. Each ends as it should, with the one box that says why.
TEST_F(EndToEnd, MisbehavingBoardsEndAsTheyShould) {
    const std::string records = std::to_string(image.lines.size());
    const struct {
        const char* name;
        std::vector<std::string> board;
        ProtocolMachine::Limits limits;
        const char* bar;
        std::string messages;
    } rows[] = {
        {"a reply sent twice", {"--twice-every", "5"}, frmSerial::kWindowLimits, "END", ""},
        {"an erase longer than an answer may take",
         {"--erase-ms", "2500"},
         {std::chrono::seconds(1), std::chrono::seconds(60)},
         "END",
         ""},
        {"an erase that never ends",
         {"--erase-ms", "100000", "--format-every-ms", "200"},
         {std::chrono::seconds(1), std::chrono::seconds(2)},
         "ERROR",
         "[The erase the device began at record 2 of " + records +
             " during DOWNLOAD did not end within 2 s: the transfer was stopped. ] "},
        {"a restart",
         {"--restart-at", "5"},
         frmSerial::kWindowLimits,
         "ERROR",
         "[The device restarted during record 5 of " + records + " (VER=1.0) ] "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (ui.BTNCloseCom->isEnabled())
            ui.BTNCloseCom->click();
        messages.clear();
        window.logic().SetLimits(row.limits);
        ASSERT_TRUE(connect(row.board));
        ASSERT_TRUE(download());
        EXPECT_EQ(bar.text().toStdString(), row.bar);
        EXPECT_EQ(messages, row.messages);
        EXPECT_TRUE(ui.Command3->isEnabled());
        if (row.messages.empty()) {
            EXPECT_TRUE(flashAtStop() == image.flash) << "flash differs from the image";
        }
    }
}

// A board that refuses to verify and restarts after each refusal is asked for the refused record
// once more, then left alone; "Next" finds the next board and writes nothing to it either.
TEST_F(EndToEnd, ARefusedVerifyWritesNoBoard) {
    portPath = addEmulator("flash.bin", {"--address", "1,5", "--restart-on-error"});
    open("");
    ASSERT_TRUE(ready());
    ASSERT_EQ(ui.Text1->text(), "1");
    ui.Command2->click();
    ASSERT_TRUE(waitUntil([this] { return bar.text() == "ERROR"; }));
    ASSERT_TRUE(waitUntil([this] { return window.logic().Machine().state() == State::Failed; }));
    EXPECT_EQ(window.logic().Machine().failure()->reason, FailureReason::RefusedTwice);
    ui.Label2->setText("");
    ui.Command1->click(); // "Next"
    ASSERT_TRUE(ready());
    EXPECT_EQ(ui.Text1->text(), "5");
    QTest::qWait(500);
    EXPECT_EQ(window.logic().Machine().state(), State::Idle);
    EXPECT_EQ(messages, "");
    const std::vector<std::uint8_t> erased(0x10000, 0xFF);
    EXPECT_TRUE(flashAtStop("flash.bin.1") == erased);
    EXPECT_TRUE(readBinary(path("flash.bin.5")) == erased);
}

// A board that answers without the Modbus RTU frame answers no record: the stall's box says what
// came instead, nothing more is sent, and the buttons come back.
TEST_F(EndToEnd, AStallNamesWhatCameInstead) {
    window.logic().SetLimits({std::chrono::seconds(1), std::chrono::seconds(60)});
    portPath = startEmulator({"--plain"});
    open("0");
    ui.Text1->setText("5");
    ASSERT_TRUE(download());
    EXPECT_EQ(messages, "[No answer to record 1 of " + std::to_string(image.lines.size()) +
                            " during DOWNLOAD for 1 s: the transfer was stopped. Instead came a reply without the "
                            "Modbus RTU frame. ] ");
    EXPECT_EQ(bar.text(), "ERROR");
    EXPECT_TRUE(ui.Command3->isEnabled());
}
