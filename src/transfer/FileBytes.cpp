#include "transfer/FileBytes.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "transfer/LoadError.h"

std::string readFileBytes(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        throw LoadError(loaderrors::kFileNotFound, "File not found");
    // Checked before opening: a FIFO blocks the open until a writer comes, a device may never end,
    // and a folder reads as nothing.
    if (!std::filesystem::is_regular_file(path, ignored))
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error: not a regular file");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
    return bytes;
}
