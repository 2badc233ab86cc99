#pragma once

#include <string_view>
#include <vector>

// One line of a text file, blanks and tabs around it removed.
struct TextLine {
    std::size_t number = 0; // from 1, counting blank lines too
    std::string_view text;
};

// The non-blank lines of `bytes`. CR LF, LF and a lone CR each end a line, so no CR reaches a
// record whatever system wrote the file; the last line needs no line end.
std::vector<TextLine> nonBlankLines(std::string_view bytes);
