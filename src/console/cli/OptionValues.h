#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "transfer/FirmwareFile.h"

// The values the flasher's options take, read from their text. Each throws UsageError naming
// the option (`what`) and what it needs.
namespace optionvalues {

int wholeNumber(const std::string& text, int lowest, int highest, const std::string& what);
// Seconds above 0 and at most an hour.
double seconds(const std::string& text, const std::string& what);
// Decimal, or hexadecimal after 0x: a 32-bit address.
std::uint32_t address(const std::string& text, const std::string& what);
// START-END, both addresses inside the flash.
FlashRange flashRange(const std::string& text);
// "3,5,9": bus addresses 1-255, none twice. One address alone may be 0.
std::vector<int> addressList(const std::string& text);
// "FIRST-LAST", both addresses a scan can probe, FIRST not above LAST.
std::pair<int, int> scanRange(const std::string& text);

} // namespace optionvalues
