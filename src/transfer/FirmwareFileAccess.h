#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "transfer/FirmwareImage.h"
#include "transfer/TextLines.h"

// An open file, closed when this goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd(other.fd) { other.fd = -1; }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    ~FileDescriptor();

    int get() const { return fd; }

  private:
    int fd;
};

// Opens the firmware file at `path` for reading, nothing of it read yet. Throws LoadError: "File
// not found" when nothing is there, "Path/File access error" when it cannot be opened or is not a
// regular file.
FileDescriptor openFirmwareFile(const std::string& path);

// The size of an open file; one that reports none (as the files of /proc and sysfs do) is read to
// its end to count it, one byte past kMaxFirmwareFileBytes at most. Throws LoadError when it cannot
// be told.
std::uint64_t fileSize(int fd);

// Why an open file is too large to be a firmware file (kMaxFirmwareFileBytes), before anything of
// it is read.
std::optional<FileFault> oversize(int fd);

// Reads an open file from its start, a chunk at a time. The reader throws LoadError on a read
// error, and where the file goes on past kMaxFirmwareFileBytes.
ReadChunk chunksOf(int fd);

// Reads up to `count` bytes at `offset`, fewer only at the file's end. Throws LoadError on a read
// error.
std::string readAt(int fd, std::uint64_t offset, std::size_t count);
