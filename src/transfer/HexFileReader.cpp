#include "transfer/HexFileReader.h"

#include <filesystem>

#include "transfer/LoadError.h"

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

std::ifstream openHexFile(const std::string& path) {
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
    return file;
}

bool HexItemReader::next(std::string& item) {
    for (;;) {
        std::string raw;
        bool ended = false; // a separator or the end of the file closed the item
        int c = 0;
        while ((c = in.get()) != std::char_traits<char>::eof()) {
            if (c == ',' || c == '\n') {
                ended = true;
                break;
            }
            if (c == '\r') {
                if (in.peek() == '\n')
                    in.get();
                ended = true;
                break;
            }
            raw += static_cast<char>(c);
        }
        if (in.bad())
            throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
        item = trimmed(raw);
        if (!item.empty())
            return true;
        if (!ended)
            return false;
    }
}
