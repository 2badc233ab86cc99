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
    if (firstChunk && chunk.starts_with(kUtf8ByteOrderMark))
        at = kUtf8ByteOrderMark.size();
    firstChunk = false;
    return !chunk.empty();
}

void TextLines::skipEmptyLines() {
    for (; at < chunk.size(); ++at) {
        if (chunk[at] == '\r') {
            skipLineFeed = at + 1 == chunk.size();
            if (!skipLineFeed && chunk[at + 1] == '\n')
                ++at;
        } else if (chunk[at] != '\n') {
            return;
        }
        ++number;
    }
}

std::optional<TextLine> TextLines::next() {
    std::string text;
    bool started = false; // some bytes of a line that has not ended yet were read
    while (!finished) {
        if (at == chunk.size() && !refill()) {
            finished = true;
            break;
        }
        if (skipLineFeed) {
            skipLineFeed = false;
            if (chunk[at] == '\n') {
                ++at;
                continue;
            }
        }
        if (!started)
            skipEmptyLines();
        const std::size_t from = at;
        while (at < chunk.size() && chunk[at] != '\n' && chunk[at] != '\r' && chunk[at] != kCtrlZ)
            ++at;
        started = started || at > from;
        if (text.size() + (at - from) > kMaxLineLength) {
            // The rest of the line is not read: the readers refuse it here.
            finished = true;
            text.append(chunk, from, kMaxLineLength - text.size());
            return TextLine{++number, trimmed(text), true};
        }
        text.append(chunk, from, at - from);
        if (at == chunk.size())
            continue; // the line goes on in the next chunk
        const char end = chunk[at++];
        finished = end == kCtrlZ;
        skipLineFeed = end == '\r';
        ++number;
        started = false;
        if (std::string line = trimmed(text); !line.empty())
            return TextLine{number, std::move(line), false};
        text.clear();
    }
    if (started)
        if (std::string line = trimmed(text); !line.empty())
            return TextLine{++number, std::move(line), false};
    return std::nullopt;
}
