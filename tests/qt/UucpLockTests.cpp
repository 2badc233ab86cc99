#include <QTemporaryDir>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "link/SerialPortService.h"
#include "ports/qt/UucpLock.h"

// The lock files of serial tools, against a device that is a plain file here: the check opens
// nothing, and whether a holder lives is the probe's answer, as kill(pid, 0) would give it.
namespace {

constexpr long kHolder = 4242;

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

UucpLock::ProcessProbe answering(int error) {
    return [error](long) {
        errno = error;
        return error == 0 ? 0 : -1;
    };
}

struct LockFolder {
    QTemporaryDir folder;
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }
    LockFolder() { std::ofstream(path("ttyFAKE0")) << ""; }
};

} // namespace

// A lock names its holder in any of the forms serial tools write; one whose holder lives refuses
// the device and stays, be the holder this user's or another's (which may not be signalled); one
// whose holder is gone is removed.
TEST(UucpLockFile, ALiveHolderInAnyFormRefusesTheDeviceAndAStaleLockGoes) {
    const int binary = kHolder;
    const std::string forms[] = {"      4242\n", "      4242\r\n", "4242\nminicom\n",
                                 std::string(reinterpret_cast<const char*>(&binary), sizeof binary)};
    const struct {
        const char* name;
        int error; // of the probe: 0 signalled, EPERM another user's, ESRCH gone
        bool refused;
    } holders[] = {{"this user's", 0, true}, {"another user's", EPERM, true}, {"gone", ESRCH, false}};
    for (const std::string& form : forms) {
        for (const auto& holder : holders) {
            SCOPED_TRACE(::testing::PrintToString(form) + ", " + holder.name);
            LockFolder locks;
            const std::string device = locks.path("ttyFAKE0"), lockFile = locks.path("LCK..ttyFAKE0");
            std::ofstream(lockFile, std::ios::binary) << form;
            UucpLock lock(locks.path(""), answering(holder.error));
            std::string refusal;
            try {
                lock.check(device);
            } catch (const PortError& error) {
                refusal = error.what();
            }
            EXPECT_EQ(refusal,
                      holder.refused ? device + ": in use by process 4242 (lock file " + lockFile + ")" : "");
            EXPECT_EQ(std::filesystem::exists(lockFile), holder.refused);
        }
    }
}

// A device reached through a link may be locked under the link's name, as a tool given that name
// locks it: that lock counts too. The lock held names this process in the common form, readable by
// every tool that checks it, and goes with the release.
TEST(UucpLockFile, TheLinksNameIsCheckedAndTheLockHeldIsReadableByAll) {
    LockFolder locks;
    const std::string link = locks.path("board");
    std::filesystem::create_symlink(locks.path("ttyFAKE0"), link);
    EXPECT_EQ(uucpLockNames(link), (std::vector<std::string>{"LCK..ttyFAKE0", "LCK..board"}));
    std::ofstream(locks.path("LCK..board")) << "      4242\n";
    UucpLock lock(locks.path(""), answering(0));
    EXPECT_THROW(lock.check(link), PortError);

    std::filesystem::remove(locks.path("LCK..board"));
    lock.check(link);
    lock.hold();
    const std::string held = locks.path("LCK..ttyFAKE0");
    EXPECT_EQ(fileText(held), QString::asprintf("%10d\n", ::getpid()).toStdString());
    struct stat status {};
    ASSERT_EQ(::stat(held.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    lock.release();
    EXPECT_FALSE(std::filesystem::exists(held));
}
