#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "transfer/FirmwareFileAccess.h"

// Files the firmware tests read, made the way the system at hand allows.

// A file holding `bytes` that goes when it is closed, read as the readers read any firmware file.
FileDescriptor memoryFile(std::string_view bytes);

// Makes the open file `fd` `size` bytes long without writing them (sparse where the disk allows).
bool resizeOpenFile(int fd, std::uint64_t size);

// A path in `folder` that names no regular file and whose open for reading would never end or block
// (a named pipe with no writer), for the check that refuses such a path before reading.
std::string unendingFile(const std::string& folder, const std::string& name);
