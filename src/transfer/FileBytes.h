#pragma once

#include <string>

// The whole content of the file at `path`. Throws LoadError: "File not found" when nothing is
// there, "Path/File access error" when it cannot be opened or read or is not a regular file.
std::string readFileBytes(const std::string& path);
