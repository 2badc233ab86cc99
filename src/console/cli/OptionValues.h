#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "transfer/FirmwareFile.h"

// The values the flasher's options take, read from their text. Each throws UsageError naming
// the option (`what`) and what it needs.
namespace optionvalues {

// One rule for every number the command line takes. A whole number is decimal, or hexadecimal
// after 0x; seconds are decimal, with at most three places after the point; neither has a sign,
// blanks or an exponent. A refusal names the option, the range and the form.

int wholeNumber(const std::string& text, int lowest, int highest, const std::string& what);
// Seconds as the rule reads them; empty when the text is not in that form.
std::optional<double> decimalSeconds(const std::string& text);
double seconds(const std::string& text, double lowest, double highest, const std::string& what);
// The same, a number of milliseconds.
double milliseconds(const std::string& text, double lowest, double highest, const std::string& what);
// A 32-bit address, whole as the rule reads it.
std::uint32_t address(const std::string& text, const std::string& what);
// START-END, both addresses inside the flash.
FlashRange flashRange(const std::string& text);
// "3,5,9": bus addresses 1-255, none twice.
std::vector<int> addressList(const std::string& text);
// "FIRST-LAST", both addresses a scan can probe, FIRST not above LAST.
std::pair<int, int> scanRange(const std::string& text);

} // namespace optionvalues
