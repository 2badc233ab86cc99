#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "PseudoTerminal.h"
#include "ports/qt/DeviceLock.h"
#include "ports/qt/QtSerialPortService.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct OpenPort {
    PseudoTerminal line;
    QtSerialPortService port;
    OpenPort() {
        port.setSettings("115200,n,8,1");
        port.setCommPath(line.slavePath());
        port.setPortOpen(true);
    }
};

} // namespace

TEST(PortOnPseudoTerminal, EveryByteValueFromTheFarEndComesBackUnchanged) {
    OpenPort p;
    std::string everyByte; // 0x00 first, 0xFF last
    for (int value = 0; value < 256; ++value)
        everyByte += static_cast<char>(value);

    p.line.writeToPort(everyByte);
    // Polled as the window does: the count first, then the bytes. A short result shows the bytes
    // that did come.
    std::string received;
    (void)QTest::qWaitFor(
        [&] { return (received += p.port.inBufferCount() > 0 ? p.port.input() : "").size() >= 256; }, 5000);
    EXPECT_EQ(received, everyByte);
    EXPECT_EQ(p.port.inBufferCount(), 0);
}

// Bytes in the driver count before the event loop has let Qt fetch them, as after a process was
// stopped and continued, and the read takes them; Qt's ready-read while it fetches them does not
// call the reader from within its own read.
TEST(PortOnPseudoTerminal, BytesStillInTheDriverAreCountedAndReadWithoutTheEventLoop) {
    OpenPort p;
    int readyReads = 0;
    p.port.setOnReadyRead([&] { ++readyReads; });
    p.line.writeToPort("\x01\x42OK");
    // No event loop runs here: only the driver can hold the bytes.
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (p.port.inBufferCount() < 4 && std::chrono::steady_clock::now() < bound)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(p.port.inBufferCount(), 4);
    EXPECT_EQ(p.port.input(), "\x01\x42OK");
    EXPECT_EQ(readyReads, 0);
    EXPECT_EQ(p.port.inBufferCount(), 0);
}

// The port notes when bytes arrived, forgets it with the port closed, and counts a wire speed on a
// pseudo-terminal only when told that its other end paces the bytes.
TEST(PortOnPseudoTerminal, ArrivalIsNotedAndAPseudoTerminalHasNoWireUnlessTold) {
    OpenPort p;
    EXPECT_FALSE(p.port.wireBaud().has_value());
    const auto before = std::chrono::steady_clock::now();
    p.line.writeToPort("OK\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.port.arrivedAt().has_value(); }, 5000));
    EXPECT_GE(*p.port.arrivedAt(), before);
    EXPECT_LE(*p.port.arrivedAt(), std::chrono::steady_clock::now());
    p.port.setPortOpen(false);
    ::setenv("BOOTDEVICE_PTY_WIRE", "1", 1);
    p.port.setPortOpen(true);
    ::unsetenv("BOOTDEVICE_PTY_WIRE");
    EXPECT_FALSE(p.port.arrivedAt().has_value()); // nothing has arrived on this opening
    EXPECT_EQ(p.port.wireBaud(), 115200);
}

// The lock is on the device, not on its name: a second service reaching the same terminal through
// a symbolic link is refused, and gets it once the first has closed.
TEST(PortOnPseudoTerminal, ASecondOpenerByAnotherNameIsRefusedUntilTheFirstCloses) {
    OpenPort first;
    QTemporaryDir dir;
    const std::string link = dir.filePath("board").toStdString();
    std::filesystem::create_symlink(first.line.slavePath(), link);
    QtSerialPortService second;
    second.setCommPath(link);
    std::string reason;
    try {
        second.setPortOpen(true);
    } catch (const PortError& error) {
        reason = error.what();
    }
    EXPECT_EQ(reason, link + ": in use by another program");
    EXPECT_FALSE(second.portOpen());

    first.port.setPortOpen(false);
    EXPECT_NO_THROW(second.setPortOpen(true));
    EXPECT_TRUE(second.portOpen());
}

// A terminal program holds a port by a lock file alone. One naming a live process refuses the port
// and is left as it was; one whose process is gone is stale: it is replaced by this program's own
// while the port is open, which goes with the close.
TEST(PortOnPseudoTerminal, ALockFileOfALiveProcessRefusesThePortAndAStaleOneIsReplaced) {
    QTemporaryDir locks;
    qputenv("BOOTDEVICE_LOCK_DIR", locks.path().toLocal8Bit());
    PseudoTerminal line;
    QtSerialPortService port;
    port.setCommPath(line.slavePath());
    std::string name = line.slavePath().substr(5); // pts/N
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string lockFile = locks.filePath(QString::fromStdString("LCK.." + name)).toStdString();
    const auto writeLock = [&](const std::string& content) { std::ofstream(lockFile) << content; };
    const auto padded = [](pid_t pid) { return QString::asprintf("%10d\n", pid).toStdString(); };

    const pid_t holder = fork();
    if (holder == 0) {
        pause();
        _exit(0);
    }
    // The forms of a lock, and the ways its holder can live, are held in UucpLockTests.cpp.
    writeLock(padded(holder));
    try {
        port.setPortOpen(true);
        ADD_FAILURE() << "opened beside the lock";
    } catch (const PortError& error) {
        EXPECT_EQ(std::string(error.what()), line.slavePath() + ": in use by process " +
                                                 std::to_string(holder) + " (lock file " + lockFile + ")");
    }
    EXPECT_EQ(fileText(lockFile), padded(holder));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    writeLock(padded(holder));
    port.setPortOpen(true);
    EXPECT_EQ(fileText(lockFile), padded(getpid()));
    port.setPortOpen(false);
    EXPECT_FALSE(std::filesystem::exists(lockFile));
    qunsetenv("BOOTDEVICE_LOCK_DIR");
}

// Another handler of the same wake may read the bytes Qt was told of, so that Qt's own read finds
// nothing: the line is not lost, whatever errno that handler left behind.
TEST(PortOnPseudoTerminal, AnAnnouncementWhoseBytesWereReadAlreadyIsNoLoss) {
    int wake[2];
    ASSERT_EQ(::pipe(wake), 0);
    // Watched before the port, so that on a shared wake it runs first.
    QSocketNotifier other(wake[0], QSocketNotifier::Read);
    OpenPort p;
    std::string received;
    QObject::connect(&other, &QSocketNotifier::activated, [&] {
        char byte;
        ASSERT_EQ(::read(wake[0], &byte, 1), 1);
        received += p.port.input();
        errno = ENOENT;
    });
    p.port.setOnReadyRead([] {});
    for (int round = 0; round < 20; ++round) {
        p.line.writeToPort("OK\r\n");
        ASSERT_EQ(::write(wake[1], "x", 1), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        QTest::qWait(5);
        ASSERT_NO_THROW((void)p.port.inBufferCount()) << "round " << round;
        received += p.port.input();
    }
    EXPECT_EQ(received.size(), 20u * 4);
    ::close(wake[0]);
    ::close(wake[1]);
}

// A line that goes away is reported as lost, not as a quiet line; the service lets go of the
// device at once and counts as open until closed.
TEST(PortOnPseudoTerminal, AHungUpLineIsReportedAsLost) {
    OpenPort p;
    p.port.output("BOOTi\r\n");
    p.line.hangUp();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            try {
                p.port.inBufferCount();
                return false;
            } catch (const PortLostError&) {
                return true;
            }
        },
        5000));
    EXPECT_TRUE(p.port.portOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.port.handle() == -1; }, 5000)) << "the device is still held";
    EXPECT_THROW(p.port.output("BOOTi\r\n"), PortLostError);
    p.port.setPortOpen(false);
    EXPECT_FALSE(p.port.portOpen());
}

// A refused open says which group gives access, as serial devices belong to one on Debian.
TEST(PortOnPseudoTerminal, APermissionRefusalNamesTheGroupThatGivesAccess) {
    QTemporaryDir dir;
    const std::string device = dir.filePath("ttyUSB9").toStdString();
    std::ofstream{device};
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    ASSERT_EQ(chown(device.c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
    EXPECT_EQ(permissionAdvice(device),
              "permission denied: members of the group dialout may open it (add your "
              "user with: sudo usermod -aG dialout $USER, then log in again)");
}
