#include "transfer/TextLines.h"

#include <algorithm>
#include <cstring>

#include "transfer/FirmwareLimits.h"

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
constexpr int kCtrlZ = 0x1A;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

TextLines::TextLines(ReadChunk read) : read(std::move(read)) {}

TextLines::TextLines(std::string_view text)
    : read([text, offset = std::size_t{0}](char* into, std::size_t room) mutable {
          const std::size_t count = std::min(room, text.size() - offset);
          std::memcpy(into, text.data() + offset, count);
          offset += count;
          return count;
      }) {}

bool TextLines::refill() {
    chunk.resize(kChunkSize);
    chunk.resize(read(chunk.data(), chunk.size()));
    at = 0;
    return !chunk.empty();
}

int TextLines::nextByte() {
    if (at == chunk.size() && !refill())
        return -1;
    return static_cast<unsigned char>(chunk[at++]);
}

std::optional<TextLine> TextLines::next() {
    while (!finished) {
        TextLine line{++number, {}, false};
        for (;;) {
            const int c = nextByte();
            if (c < 0 || c == kCtrlZ) {
                finished = true;
                break;
            }
            if (c == '\n')
                break;
            if (c == '\r') {
                if (nextByte() != '\n' && at > 0)
                    --at; // not part of a CR LF: the byte begins the next line
                break;
            }
            if (line.text.size() < kMaxLineLength)
                line.text += static_cast<char>(c);
            else
                line.tooLong = true;
        }
        line.text = trimmed(line.text);
        if (!line.text.empty() || line.tooLong)
            return line;
    }
    return std::nullopt;
}
