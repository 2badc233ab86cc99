// Runs the real emulator binary.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr auto kBound = 10s;

// Reads from `fd` until `enough` holds for what came, the other end closes or the bound runs out.
std::string readUntil(int fd, const std::function<bool(const std::string&)>& enough) {
    std::string bytes;
    char byte;
    for (const auto deadline = std::chrono::steady_clock::now() + kBound;
         !enough(bytes) && std::chrono::steady_clock::now() < deadline;) {
        pollfd watched{fd, POLLIN, 0};
        if (poll(&watched, 1, 100) <= 0)
            continue;
        if (read(fd, &byte, 1) != 1)
            break;
        bytes.push_back(byte);
    }
    return bytes;
}

// Polls `condition` until it holds or `bound` has passed; true when it holds.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound = kBound) {
    for (const auto deadline = std::chrono::steady_clock::now() + bound; !condition();
         std::this_thread::sleep_for(5ms))
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    return true;
}

class SimProcess {
  public:
    explicit SimProcess(std::vector<std::string> options) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        options.insert(options.begin(), BOOTDEV_SIM_PROGRAM);
        std::vector<char*> argv;
        for (std::string& option : options)
            argv.push_back(option.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
    }
    ~SimProcess() {
        if (waitForExit(0s) == -1) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(stdout_);
    }

    // The first line the emulator prints, newline included.
    std::string firstLine() const {
        return readUntil(stdout_, [](const std::string& text) { return text.ends_with('\n'); });
    }
    void signal(int number) const { kill(pid_, number); }

    // The exit status, or -1 when the process has not ended within `bound`.
    int waitForExit(std::chrono::milliseconds bound = kBound) {
        if (!ended_ && !waitFor([&] { return waitpid(pid_, &status_, WNOHANG) == pid_; }, bound))
            return -1;
        ended_ = true;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }

  private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    int status_ = 0;
    bool ended_ = false;
};

std::string contentOf(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace

// What the emulator writes to its flash is checked through its dump by the flasher's tests; here,
// the program's own ends: the link, a dump on demand, and a tidy exit.
TEST(SimProgram, NamesItsLinkDumpsItsFlashOnSignalAndExitAndRemovesTheLink) {
    std::string pattern = (fs::temp_directory_path() / "bootdev-sim-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern, link = dir / "line", dump = dir / "flash.bin";
    SimProcess sim({"--link", link.string(), "--dump", dump.string(), "--flash-size", "1K"});
    ASSERT_EQ(sim.firstLine(), fs::read_symlink(link).string() + "\n");

    const std::string erased(1024, '\xFF');
    sim.signal(SIGUSR1);
    ASSERT_TRUE(waitFor([&] { return contentOf(dump).size() == erased.size(); }));
    EXPECT_TRUE(contentOf(dump) == erased) << "the dump on SIGUSR1 is not the flash";

    fs::remove(dump);
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitForExit(), 0);
    EXPECT_TRUE(contentOf(dump) == erased) << "the dump at exit is not the flash";
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    fs::remove_all(dir);
}

TEST(SimProgram, RefusesOptionsThatContradictEachOther) {
    SimProcess sim({"--plain", "--address", "3,5"});
    EXPECT_EQ(sim.firstLine(), "");
    EXPECT_EQ(sim.waitForExit(), 2);
}
