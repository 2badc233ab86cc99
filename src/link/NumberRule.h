#pragma once

#include <cstdint>
#include <string>

// How the window turns the text of a text box into a number:
// blanks, tabs and line feeds anywhere are ignored; the longest leading decimal number
// (sign, digits, point, digits, exponent after E) gives the value; "&H" introduces hexadecimal,
// read as 16-bit signed up to four digits and 32-bit signed up to eight; no leading number gives 0.
// Throws std::range_error when the value cannot be held (more than eight hex digits, a decimal
// that overflows a double).
double NumberValue(const std::string& text);

// NumberValue rounded to a whole number, an exact half to the even neighbour.
// Throws std::range_error when the result lies outside [lowest, highest].
std::int64_t WholeNumber(const std::string& text, std::int64_t lowest, std::int64_t highest);

// A text that must be a number as a whole (blanks aside), rounded as WholeNumber does and held in
// [lowest, highest]; anything else (empty, letters, trailing junk) throws std::invalid_argument or
// std::range_error. Used where a text is converted outright rather than read for its leading number.
std::int64_t StrictWholeNumber(const std::string& text, std::int64_t lowest, std::int64_t highest);
