#include "ChildProcess.h"

#include <csignal>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

pid_t spawn(const std::string& program, const std::vector<std::string>& arguments, int outFd, int errFd) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        throw std::runtime_error("cannot start " + program);
    return pid;
}

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        read = fds[0];
        write = fds[1];
    }
};

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::seconds limit) {
    Pipe out;
    Pipe err;
    const pid_t pid = spawn(program, arguments, out.write, err.write);
    close(out.write);
    close(err.write);

    ProgramRun run;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline && !killed) {
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, 100) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    const int code = waitFor(pid);
    run.exitCode = killed ? -1 : code;
    return run;
}

BackgroundProgram::BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments) {
    Pipe out;
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid = spawn(program, arguments, out.write, devNull);
    close(out.write);
    close(devNull);
    outFd = out.read;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.empty() || line.back() != '\n') {
        pollfd fd{outFd, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || poll(&fd, 1, 100) < 0)
            throw std::runtime_error(program + " printed no first line");
        char c;
        if ((fd.revents & (POLLIN | POLLHUP)) && read(outFd, &c, 1) != 1)
            throw std::runtime_error(program + " ended before its first line");
        if (fd.revents & POLLIN)
            line += c;
    }
    line.pop_back();
}

BackgroundProgram::~BackgroundProgram() {
    if (pid > 0)
        stop();
}

int BackgroundProgram::stop() {
    if (pid <= 0)
        return -1;
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
    close(outFd);
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
