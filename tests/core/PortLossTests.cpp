#include <string>

#include "WindowTestSupport.h"

namespace {

const std::string kLine1 = ":040000001122334452";
const std::string kLine2 = ":00000001FF";

std::string record(const std::string& line) {
    return request(1, "BOOT" + line + "\r\n");
}

} // namespace

using PortLoss = DeviceOneTest;

// A port that fails for good is closed as "Close" closes it, and one box says where the run stood;
// the stage and record are those before the closing cleared them.
TEST_F(PortLoss, ALostPortIsClosedWithOneBoxNamingTheStageAndRecord) {
    const struct {
        const char* name;
        int repliesBeforeLoss; // -1: no transfer started
        const char* says;
    } cases[] = {
        {"while connected", -1, "COM3 lost! The port failed or was removed; no transfer was running."},
        {"after the first record", 0,
         "COM3 lost! The port failed or was removed during DOWNLOAD, after record 1 of 2."},
        {"after the last record of the download pass", 1,
         "COM3 lost! The port failed or was removed during DOWNLOAD, after record 2 of 2."},
        {"in the verify pass", 2,
         "COM3 lost! The port failed or was removed during VERIFY, after record 1 of 2."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow w;
        w.view.text1 = "1";
        w.form.BTNOpenCom_Click();
        w.port.expectWrite(request(1, "BOOTi\r\n"));
        w.form.Timer3_Timer();
        w.port.arrive(reply(1, "VER=1.0"));
        w.form.TMRComm_Timer();
        if (c.repliesBeforeLoss >= 0) {
            const auto path = folder / "two.hex";
            std::ofstream(path) << kLine1 << "\n" << kLine2 << "\n";
            w.view.dialogFile = path.string();
            const int restarts = w.view.tmrCommRestarts;
            w.port.expectWrite(record(kLine1));
            w.form.Command3_Click();
            const std::string replies[] = {"OK", "DOWNLOAD"};
            const std::string next[] = {record(kLine2), record("#040000001122334452")};
            for (int i = 0; i < c.repliesBeforeLoss; ++i) {
                w.port.expectWrite(next[i]);
                w.port.arrive(reply(1, replies[i]));
                w.form.TMRComm_Timer();
            }
            // Every record restarts the poll, those sent from inside a receive tick too, so that the
            // first look for its reply comes one full interval after it.
            EXPECT_EQ(w.view.tmrCommRestarts, restarts + 1 + c.repliesBeforeLoss);
            EXPECT_TRUE(w.view.tmrComm);
        }
        w.view.timer3 = true; // a running connection wait must stop as well

        w.port.unplug("device gone");
        w.form.TMRComm_Timer();

        EXPECT_EQ(w.view.boxes, (Boxes{{c.says, Icon::Critical, "", "device gone"}}));
        EXPECT_FALSE(w.port.isOpen);
        EXPECT_EQ(w.port.closes, 1);
        EXPECT_FALSE(w.view.tmrComm);
        EXPECT_FALSE(w.view.timer3);
        EXPECT_EQ(w.view.label2, "Closed");
        EXPECT_EQ(w.view.barText, "NO FILE");
        EXPECT_EQ(w.form.Machine().state(), State::Closed);

        // Opening again starts afresh.
        w.port = FakeSerialPort();
        w.form.BTNOpenCom_Click();
        EXPECT_EQ(w.form.Machine().state(), State::Probing);
    }
}
