#include "console/cli/OptionValues.h"

#include <algorithm>
#include <charconv>

#include "console/cli/CliOptions.h"

namespace optionvalues {

int wholeNumber(const std::string& text, int lowest, int highest, const std::string& what) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value < lowest || value > highest)
        throw UsageError(what + " must be a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not \"" + text + "\"");
    return value;
}

double seconds(const std::string& text, const std::string& what) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || !(value > 0) || value > 3600)
        throw UsageError(what + " must be a number of seconds above 0 and at most 3600, not \"" + text +
                         "\"");
    return value;
}

// Decimal, or hexadecimal after 0x: a 32-bit address.
std::uint32_t address(const std::string& text, const std::string& what) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const std::string digits = hex ? text.substr(2) : text;
    std::uint32_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, hex ? 16 : 10);
    if (digits.empty() || error != std::errc{} || stop != end)
        throw UsageError(what + " needs an address from 0 to 0xFFFFFFFF, decimal or 0x-hex, not \"" + text +
                         "\"");
    return value;
}

// START-END, both addresses inside the flash.
FlashRange flashRange(const std::string& text) {
    const auto dash = text.find('-');
    if (dash == std::string::npos)
        throw UsageError("--flash-range needs START-END, such as 0x08000000-0x0803FFFF, not \"" + text +
                         "\"");
    const FlashRange range{address(text.substr(0, dash), "--flash-range"),
                           address(text.substr(dash + 1), "--flash-range")};
    if (range.last < range.first)
        throw UsageError("--flash-range: END comes before START in \"" + text + "\"");
    return range;
}

// "3,5,9": bus addresses 1-255, none twice. One address alone may be 0.
std::vector<int> addressList(const std::string& text) {
    std::vector<int> addresses;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        addresses.push_back(wholeNumber(text.substr(from, comma - from), 0, 255, "--address"));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    if (addresses.size() > 1)
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (addresses[i] == 0)
                throw UsageError("--address: 0 reaches every board at once, it cannot be one of a list");
            if (std::count(addresses.begin(), addresses.begin() + static_cast<std::ptrdiff_t>(i),
                           addresses[i]))
                throw UsageError("--address: " + std::to_string(addresses[i]) + " given twice");
        }
    return addresses;
}

// "FIRST-LAST", both addresses a scan can probe, FIRST not above LAST.
std::pair<int, int> scanRange(const std::string& text) {
    const auto dash = text.find('-');
    const std::string what = "--scan-range";
    if (dash == std::string::npos)
        throw UsageError(what + " must be FIRST-LAST, such as 1-127, not \"" + text + "\"");
    const int first = wholeNumber(text.substr(0, dash), 1, 127, what + " FIRST");
    const int last = wholeNumber(text.substr(dash + 1), 1, 127, what + " LAST");
    if (first > last)
        throw UsageError(what + " must not end below its start, not \"" + text + "\"");
    return {first, last};
}

} // namespace optionvalues
