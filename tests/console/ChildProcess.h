#pragma once

#include <QProcess>
#include <string>
#include <vector>

// What a finished program left behind.
struct ProgramRun {
    int exitCode = -1; // -1 when it was killed or did not end in time
    std::string out;
    std::string err;
};

// Runs `program` to its end, collecting both output streams. One still running after two
// minutes is killed and reported with exit code -1, so a hang fails the test instead of
// blocking the suite.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments);

// A program started in the background whose first line of standard output is read at once.
class BackgroundProgram {
  public:
    // Its standard error goes to `errorFile`, or nowhere when that is empty.
    BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& errorFile = {});
    ~BackgroundProgram() { stop(); }

    const std::string& firstLine() const { return line; }
    // Ends it with SIGTERM and waits; returns its exit code (-1 if it had to be killed).
    int stop();

  private:
    QProcess process;
    std::string line;
};
