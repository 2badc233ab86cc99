#pragma once

#include <string>
#include <string_view>

// One stream of the flasher's text: standard output, standard error or the log. A write that
// fails (the reader went away, the disk is full) drops that text and all later text of the
// stream, and is remembered, never fatal: the board's transfer goes on to its end, and the exit
// code tells of the loss.
class OutputChannel {
  public:
    // `name` says what the stream is in the line that reports its loss: "standard output", "the log x.log".
    OutputChannel(int fd, std::string name) : fd(fd), name(std::move(name)) {}

    void write(std::string_view text);
    // Pushes what was written through to the disk. A stream that keeps nothing (a pipe, a
    // terminal, a device) has nothing to push.
    void sync();
    bool lost() const { return !failure.empty(); }
    // "cannot write standard output: Broken pipe"; empty while nothing is lost.
    const std::string& lossText() const { return failure; }

  private:
    void fail(int error);

    int fd;
    std::string name;
    std::string failure;
};
