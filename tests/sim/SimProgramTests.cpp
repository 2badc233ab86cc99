// Runs the real emulator binary on its pseudo-terminal, the way a host program meets it.
#include "SimBytes.h"
#include "link/Crc16.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr auto kBound = 10s;

std::string request(std::uint8_t address, const std::string& text) {
    std::string frame(1, static_cast<char>(address));
    frame += text + "\r\n";
    return frame + CRC16(frame);
}

template <typename Condition> bool waitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class SimProcess {
  public:
    explicit SimProcess(const std::vector<std::string>& options) {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(BOOTDEV_SIM_PROGRAM)};
            for (const std::string& option : options)
                argv.push_back(const_cast<char*>(option.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
    }
    ~SimProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(stdout_);
    }

    // The first line the emulator prints, newline included; less if it closes its output or the bound runs
    // out.
    std::string firstLine() {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd watched{stdout_, POLLIN, 0};
            if (poll(&watched, 1, 100) <= 0)
                continue;
            char byte;
            if (read(stdout_, &byte, 1) != 1)
                break;
            text.push_back(byte);
        }
        return text;
    }

    void signal(int number) const { kill(pid_, number); }

    // The exit status, or -1 when the process did not end within the bound.
    int waitForExit() {
        int status = 0;
        const bool ended = waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        if (!ended)
            return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    bool exited_ = false;
};

// The host's end of the line, raw like a serial port.
class HostEnd {
  public:
    explicit HostEnd(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + path);
        termios settings{};
        tcgetattr(fd_, &settings);
        cfmakeraw(&settings);
        tcsetattr(fd_, TCSANOW, &settings);
    }
    ~HostEnd() { close(fd_); }

    void send(const std::string& bytes) const {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` bytes have come or the bound runs out.
    std::string receive(std::size_t count) const {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd watched{fd_, POLLIN, 0};
            if (poll(&watched, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t got = read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (got > 0)
                bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

  private:
    int fd_;
};

class SimProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "bootdev-sim-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

const std::string kVersionFrom1 = bytesOf({
    0x01,                                     // address
    0x42,                                     // "B"
    0x56, 0x45, 0x52, 0x3D, 0x31, 0x2E, 0x30, // "VER=1.0"
    0x0D, 0x0A,                               // CR LF
    0x35,                                     // CRC low
    0xF6,                                     // CRC high
});
const std::string kOkFrom1 = bytesOf({0x01, 0x42, 0x4F, 0x4B, 0x0D, 0x0A, 0x9B, 0x90});
const std::string kFormatFrom1 =
    bytesOf({0x01, 0x42, 0x46, 0x4F, 0x52, 0x4D, 0x41, 0x54, 0x0D, 0x0A, 0xC3, 0x78});
const std::string kDownloadFrom1 =
    bytesOf({0x01, 0x42, 0x44, 0x4F, 0x57, 0x4E, 0x4C, 0x4F, 0x41, 0x44, 0x0D, 0x0A, 0x95, 0x28});

} // namespace

TEST_F(SimProgram, AnswersThroughItsLinkByteForByteAcrossHostReopens) {
    const fs::path link = dir / "line";
    SimProcess sim({"--link", link.string()});
    const std::string printed = sim.firstLine();
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(fs::read_symlink(link).string() + "\n", printed);
    {
        HostEnd host(link.string());
        host.send(request(1, "BOOTi"));
        EXPECT_EQ(hexOf(host.receive(kVersionFrom1.size())), hexOf(kVersionFrom1));
    }
    for (int reopen = 0; reopen < 3; ++reopen) {
        HostEnd host(link.string());
        host.send(request(2, "BOOTi"));
        host.send(request(1, "BOOTg"));
        EXPECT_EQ(hexOf(host.receive(kOkFrom1.size())), hexOf(kOkFrom1)) << "open number " << reopen + 2;
    }
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitForExit(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(SimProgram, WritesItsFlashToTheDumpOnSignalAndOnExit) {
    const fs::path dump = dir / "flash.bin";
    SimProcess sim({"--dump", dump.string(), "--erase-ms", "1"});
    const std::string path = sim.firstLine();
    ASSERT_FALSE(path.empty());
    HostEnd host(path.substr(0, path.size() - 1));

    host.send(request(1, "BOOT:020000040801F1"));
    EXPECT_EQ(hexOf(host.receive(kOkFrom1.size())), hexOf(kOkFrom1));
    host.send(request(1, "BOOT:10000000000102030405060708090A0B0C0D0E0F78"));
    EXPECT_EQ(hexOf(host.receive(kFormatFrom1.size() + kOkFrom1.size())), hexOf(kFormatFrom1 + kOkFrom1));
    host.send(request(1, "BOOT:00000001FF"));
    EXPECT_EQ(hexOf(host.receive(kDownloadFrom1.size())), hexOf(kDownloadFrom1));

    auto dumpIsComplete = [&] { return fs::exists(dump) && fs::file_size(dump) == 256 * 1024; };
    sim.signal(SIGUSR1);
    ASSERT_TRUE(waitFor(dumpIsComplete));
    std::ifstream file(dump, std::ios::binary);
    std::vector<unsigned char> image((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    for (std::size_t i = 0; i < image.size(); ++i) {
        const bool written = i >= 0x1'0000 && i < 0x1'0010;
        ASSERT_EQ(image[i], written ? i - 0x1'0000 : 0xFF) << "flash offset " << i;
    }

    fs::remove(dump);
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitForExit(), 0);
    EXPECT_TRUE(dumpIsComplete());
}

TEST_F(SimProgram, RefusesOptionsThatContradictEachOther) {
    SimProcess sim({"--plain", "--address", "3,5"});
    EXPECT_EQ(sim.firstLine(), "");
    EXPECT_EQ(sim.waitForExit(), 2);
}
