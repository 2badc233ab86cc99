#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Length of the well-formed UTF-8 sequence that starts at `at` (1 to 4 bytes), or 0 when the byte
// there starts none: a stray continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF or a sequence cut short.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

// Text from a device, a file or the user, made safe to print on one line of a terminal: every
// control character but tab (C0, DEL, C1, so ESC too) and every byte that is not part of valid
// UTF-8 is written as \xNN, one escape per byte, and a backslash as \\. Valid UTF-8 stays as it
// is. The bytes can be read back from the result, and no line end or escape sequence survives.
std::string visibleText(std::string_view bytes);
