#include <csignal>
#include <fstream>

#include <QTcpServer>
#include <QThread>
#include <gtest/gtest.h>

#include "EmulatorTest.h"

// The real flasher reaching the real emulator through a serial device server (ser2net) on the
// loopback address: once as a raw TCP stream, once as Telnet with COM port control.
namespace {

constexpr std::uint32_t kFlashStart = 0x08000000;
constexpr std::size_t kFlashSize = 0x4000;

// Waits up to about ten seconds for `holds`, looking every 20 ms.
bool waitFor(const std::function<bool()>& holds) {
    for (int look = 0; look < 500; ++look, QThread::msleep(20))
        if (holds())
            return true;
    return false;
}

std::uint16_t freeLoopbackPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// True once something listens on 127.0.0.1:port; read from the kernel's table, because a test
// connection would itself open the serial side and hold it.
bool listening(std::uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    while (std::getline(table, line))
        if (line.find(wanted) != std::string::npos && line.find(" 0A ") != std::string::npos)
            return true;
    return false;
}

class NetworkLine : public EmulatorTest {
  protected:
    NetworkLine() : EmulatorTest({}) {}
    void TearDown() override { stopServer(); }

    void stopServer() {
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            server.waitForFinished(10000);
        }
    }

    // Starts ser2net with one connection from 127.0.0.1:port to the pseudo-terminal, the
    // serial side opened at `baud`.
    std::uint16_t startServer(const std::string& accepter, const std::string& pty, int baud) {
        const std::uint16_t port = freeLoopbackPort();
        std::ofstream(path("ser2net.yaml"))
            << "connection: &line\n"
            << "  accepter: " << accepter << ",127.0.0.1," << port << "\n"
            << "  connector: serialdev," << pty << "," << baud << "n81,local\n";
        server.setStandardOutputFile(QString::fromStdString(path("ser2net.log")));
        server.setStandardErrorFile(QString::fromStdString(path("ser2net.log")), QIODevice::Append);
        server.start("ser2net", {"-n", "-u", "-P", QString::fromStdString(path("ser2net.pid")), "-c",
                                 QString::fromStdString(path("ser2net.yaml"))});
        EXPECT_TRUE(server.waitForStarted());
        EXPECT_TRUE(waitFor([&] { return listening(port); })) << fileText(path("ser2net.log"));
        return port;
    }

    QProcess server;
};

TEST_F(NetworkLine, DownloadAndVerifyThroughTheServerInBothModes) {
    const struct {
        const char* scheme;
        const char* accepter;
        int serverBaud; // the speed ser2net opens the line at; the emulator must see 19200
    } modes[] = {
        // Raw TCP: the server's configuration alone sets the speed.
        {"tcp", "tcp", 19200},
        // RFC 2217: the flasher's --baud is set on the line through the Telnet option.
        {"rfc2217", "telnet(rfc2217),tcp", 9600},
    };
    const HexImage image = makeHexImage(200, kFlashStart, kFlashSize);
    writeLines(path("firmware.hex"), image.lines);
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.scheme);
        BackgroundProgram emulator(
            BOOTDEV_SIM_PATH,
            {"--verbose", "--flash-size", "16K", "--erase-ms", "5", "--dump", path("flash.bin")},
            path("emulator.log"));
        const std::uint16_t port = startServer(mode.accepter, emulator.firstLine(), mode.serverBaud);
        const std::string address = std::string(mode.scheme) + "://127.0.0.1:" + std::to_string(port);

        const ProgramRun run =
            runProgram(BOOTFLASH_PATH, {"download", path("firmware.hex"), "-p", address, "-a", "1", "-b",
                                        "19200", "--poll-ms", "2", "--json"});
        ASSERT_EQ(run.exitCode, 0) << run.err << fileText(path("ser2net.log"));
        expectFields(parseJsonObject(run.out), {"port=" + address, "outcome=success",
                                                "records=" + std::to_string(2 * image.lines.size())});
        EXPECT_EQ(emulator.stop(), 0);
        EXPECT_TRUE(readBinary(path("flash.bin")) == image.flash) << "flash differs from the image";
        EXPECT_NE(fileText(path("emulator.log")).find("line speed 19200 baud"), std::string::npos)
            << fileText(path("emulator.log"));
        stopServer();
    }
}

// A server that accepts the connection and then says nothing: the set-up of an rfc2217:// line
// waits for it without holding the event loop. A board on another port of the batch goes on and
// ends first, and a signal ends the wait at once.
TEST_F(NetworkLine, ASilentServerHoldsNoOtherPortAndASignalEndsItsSetUp) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(silent.serverPort());
    writeLines(path("firmware.hex"), makeHexImage(20, kFlashStart, kFlashSize).lines);
    BackgroundProgram emulator(BOOTDEV_SIM_PATH, {"--flash-size", "16K"});

    const ProgramRun batch = runProgram(BOOTFLASH_PATH, {"download", path("firmware.hex"), "-p",
                                                         emulator.firstLine() + "," + address, "-a", "1"});
    EXPECT_EQ(batch.exitCode, 3) << batch.err;
    const std::size_t done = batch.err.find(emulator.firstLine() + " #1 success");
    const std::size_t failed = batch.err.find(address + " #1 port-not-available");
    EXPECT_LT(done, failed) << batch.err;
    EXPECT_NE(batch.err.find("the server did not confirm the line settings"), std::string::npos) << batch.err;

    // A server of its own: the batch's connection still waits in the first one's queue.
    QTcpServer alsoSilent;
    ASSERT_TRUE(alsoSilent.listen(QHostAddress::LocalHost, 0));
    WatchedProgram flasher(BOOTFLASH_PATH,
                           {"version", "-p", "rfc2217://127.0.0.1:" + std::to_string(alsoSilent.serverPort()),
                            "-a", "1", "--json"});
    ASSERT_TRUE(alsoSilent.waitForNewConnection(10000));
    flasher.signal(SIGTERM);
    const ProgramRun ended = flasher.finish();
    EXPECT_EQ(ended.exitCode, 143) << ended.err;
    expectFields(parseJsonObject(ended.out), {"outcome=interrupted", "message=interrupted while connecting"});
}

} // namespace
