#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What an editor may write in front of a UTF-8 text: no part of its first line.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Fills `into` with up to `room` bytes of a text; 0 at its end.
using ReadChunk = std::function<std::size_t(char* into, std::size_t room)>;

// One line of a text file, blanks and tabs around it removed.
struct TextLine {
    std::size_t number = 0; // from 1, counting blank lines too
    std::string text;
    bool tooLong = false; // longer than kMaxLineLength: `text` holds its start, and nothing after it is read
};

// The non-blank lines of a text, read a chunk at a time, so that a reader holds only what it
// keeps and can stop at its first fault without reading on. CR LF, LF and a lone CR each end a
// line, so no CR reaches a record whatever system wrote the file; the last line needs no line
// end. A Ctrl-Z (0x1A), which DOS-era tools write after the last line, ends the text there. A
// UTF-8 byte-order mark at the text's start is passed over.
class TextLines {
  public:
    explicit TextLines(ReadChunk read);
    // Over text held in memory, which must outlive this.
    explicit TextLines(std::string_view text);

    std::optional<TextLine> next();

  private:
    bool refill();
    void skipEmptyLines(); // the quick way over what holds no text at all

    ReadChunk read;
    std::string chunk;
    std::size_t at = 0;
    std::size_t number = 0;
    bool finished = false;
    bool skipLineFeed = false; // a CR ended the last line: a LF right after it belongs to it
    bool firstChunk = true;
};
