#pragma once

#include <string>

#include <QFile>

// The file a production line keeps its board records in: lines are appended, never rewritten,
// and each is flushed at once so a record survives whatever ends the run later.
class RunLog {
  public:
    explicit RunLog(const std::string& path);

    bool isOpen() const { return file.isOpen(); }
    std::string error() const { return file.errorString().toStdString(); }
    void append(const std::string& line);

  private:
    QFile file;
};
