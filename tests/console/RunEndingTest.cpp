#include <csignal>

#include <QCoreApplication>
#include <sys/wait.h>
#include <unistd.h>

#include "EmulatorTest.h"
#include "console/cli/CliOptions.h"
#include "console/ports/ActivityWatchingPort.h"
#include "console/ports/PortDecorator.h"
#include "console/run/FirmwareInput.h"
#include "console/run/RunController.h"
#include "console/run/SignalWatch.h"
#include "ports/SchemePortService.h"

// How a run ends where the real programs cannot be made to end so: the run driven in this process,
// and the signal watch in a child of its own.
namespace {

// A line that refuses to take the `refused`-th record, as a write the port turns down without
// being lost.
class RefusingWrites final : public PortDecorator {
  public:
    RefusingWrites(SerialPortService& inner, int refused) : PortDecorator(inner), refused(refused) {}
    void output(const std::string& bytes) override {
        if (bytes.find("BOOT:") != std::string::npos && ++records == refused)
            throw PortError("the write was refused");
        inner.output(bytes);
    }

  private:
    int refused;
    int records = 0;
};

class RunEnding : public EmulatorTest {
  protected:
    RunEnding() : EmulatorTest({"--address", "1"}) {}
};

} // namespace

// A record that could not be sent ends the run as a port that is not available, not as a board's
// error: the board never saw it.
TEST_F(RunEnding, ARecordThatCouldNotBeSentIsThePortsFailure) {
    int argc = 1;
    char name[] = "console_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    const HexImage image = makeHexImage(10, 0x08000000, 0x4000);
    const std::string file = writeImage(image);
    const CliOptions options =
        parseCommandLine({"download", file, "--port", startEmulator({}), "--address", "1"});

    SchemePortService serial;
    RefusingWrites refusing(serial, 2);
    ActivityWatchingPort activity(refusing);
    ConsoleView view;
    frmSerial form(view, activity);
    form.ReadFirmware = recordsReader(readFirmwareInput(file, {}).file);
    std::string err;
    ConsoleOutput output;
    output.out = [](const std::string&) {};
    output.err = [&err](const std::string& text) { err += text; };
    RunController controller(options, view, form, activity, output);
    controller.listenTo(serial);
    const RunResult result = controller.run();
    EXPECT_EQ(result.exitCode, ExitCode::PortNotAvailable) << err;
    EXPECT_TRUE(result.message.starts_with("Record 2 of " + std::to_string(image.lines.size()) +
                                           " could not be sent during DOWNLOAD"))
        << result.message;
}

// The first signal asks the run to end its own way; should it not, the second of the kind ends the
// program at once, as the signal does by default.
TEST(SignalWatchOfARun, TheSecondSignalEndsARunThatDidNotStop) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t child = fork();
        if (child == 0) {
            int argc = 1;
            char name[] = "run";
            char* argv[] = {name, nullptr};
            QCoreApplication application(argc, argv);
            const SignalWatch watch([](int) {}); // a run that does not stop
            raise(signal);
            raise(signal);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << "signal " << signal << ", status " << status;
    }
}
