#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

// What a finished program left behind.
struct ProgramRun {
    int exitCode = -1; // -1 when it was killed or did not end in time
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` to its end, collecting both output streams. A program still
// running at `limit` is killed and reported with exit code -1, so a hang fails the test instead
// of blocking the suite.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::seconds limit = std::chrono::seconds(120));

// A program started in the background whose first line of standard output is read at once.
class BackgroundProgram {
  public:
    BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    const std::string& firstLine() const { return line; }
    // Ends it with SIGTERM and waits; returns its exit code (-1 if it had to be killed).
    int stop();

  private:
    pid_t pid = -1;
    int outFd = -1;
    std::string line;
};
