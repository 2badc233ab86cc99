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

// A program running while the test acts on it: it watches what the program writes to standard
// error, sends it signals, and collects its end.
class WatchedProgram {
  public:
    WatchedProgram(const std::string& program, const std::vector<std::string>& arguments);
    ~WatchedProgram();

    // Waits until standard error holds `text` `times` times; false when the program ended first or
    // a generous bound passed.
    bool waitForError(const std::string& text, int times = 1);
    void signal(int number);
    // Waits for the end and returns what the program left.
    ProgramRun finish();

  private:
    QProcess process;
    std::string err;
};

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
    // Ends it at once with SIGKILL, as a pulled adapter ends a line: nothing is tidied up.
    void kill();
    void signal(int number);

  private:
    QProcess process;
    std::string line;
};
