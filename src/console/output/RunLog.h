#pragma once

#include <optional>
#include <string>

#include "console/output/OutputChannel.h"

// The file a production line keeps its board records in: lines are appended, never rewritten,
// and each is pushed to the disk at once so a record survives whatever ends the run later. A line
// that cannot be kept is remembered as the log's loss.
class RunLog {
  public:
    explicit RunLog(const std::string& path);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    bool isOpen() const { return channel.has_value(); }
    const std::string& error() const { return openError; }
    void append(const std::string& line);
    const OutputChannel& output() const { return *channel; }

  private:
    int fd = -1;
    std::optional<OutputChannel> channel;
    std::string openError;
};

// Whether the two names reach one file, by whatever path or link: a log must never be appended
// to the firmware it records.
bool sameFile(const std::string& first, const std::string& second);
