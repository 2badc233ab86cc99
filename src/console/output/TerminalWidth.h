#pragma once

#include <cstddef>
#include <functional>
#include <string>

// What a terminal takes from progress redrawn in place: how many columns fit on a line, and
// whether it obeys the escape sequences that move the cursor over several lines.

// The width of the terminal on `fd` now: its window size, else $COLUMNS, else 0 (unknown).
std::size_t terminalColumns(int fd);

// Whether a terminal of the type TERM names (nullptr: TERM unset) obeys ANSI escape sequences:
// "dumb" (an editor's shell buffer, a serial console) and an unknown one may print them instead.
bool takesEscapeSequences(const char* term);

// How many columns `text` takes: one for each UTF-8 character.
std::size_t columnsOf(const std::string& text);

// `line` cut to one column less than `columns`, whole characters only: a line as wide as the
// terminal may wrap, and a line redrawn in place must stay on its one line. 0 leaves it whole.
std::string fittedTo(const std::string& line, std::size_t columns);

// Where the width is asked for; empty: unknown, nothing is cut.
using ColumnsSource = std::function<std::size_t()>;
