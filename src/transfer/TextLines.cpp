#include "transfer/TextLines.h"

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::vector<TextLine> nonBlankLines(std::string_view bytes) {
    std::vector<TextLine> lines;
    std::size_t number = 1;
    std::size_t from = 0;
    while (from < bytes.size()) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n", from), bytes.size());
        if (const std::string_view text = trimmed(bytes.substr(from, end - from)); !text.empty())
            lines.push_back({number, text});
        from = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n')
            ++from;
        ++number;
    }
    return lines;
}
