#include "console/output/TerminalWidth.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

#include <sys/ioctl.h>

namespace {

bool continuesCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

std::size_t terminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    const char* columns = std::getenv("COLUMNS");
    std::size_t value = 0;
    if (columns) {
        const std::string_view text(columns);
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc{} || end != text.data() + text.size())
            value = 0;
    }
    return value;
}

bool takesEscapeSequences(const char* term) {
    return term && *term && std::string_view(term) != "dumb";
}

std::size_t columnsOf(const std::string& text) {
    std::size_t columns = 0;
    for (const char byte : text)
        columns += continuesCharacter(byte) ? 0 : 1;
    return columns;
}

std::string fittedTo(const std::string& line, std::size_t columns) {
    if (columns == 0)
        return line;
    std::size_t characters = 0;
    for (std::size_t at = 0; at < line.size(); ++at) {
        if (continuesCharacter(line[at]))
            continue;
        if (++characters == columns)
            return line.substr(0, at);
    }
    return line;
}
