#include "transfer/FileBytes.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "transfer/LoadError.h"

std::string readFileBytes(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        throw LoadError(loaderrors::kFileNotFound, "File not found");
    std::ifstream file(path, std::ios::binary);
    // A folder opens on some systems yet reads as nothing; it is no file to load.
    if (!file || std::filesystem::is_directory(path, ignored))
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
    return bytes;
}
