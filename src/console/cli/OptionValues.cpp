#include "console/cli/OptionValues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

#include "console/cli/CliOptions.h"
#include "console/cli/SecondsText.h"

namespace optionvalues {

namespace {

// Decimal digits, or hex digits after 0x; no sign, no blanks.
std::optional<std::uint64_t> wholeValue(const std::string& text) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const std::string_view digits = std::string_view(text).substr(hex ? 2 : 0);
    std::uint64_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, hex ? 16 : 10);
    // from_chars takes a leading minus sign for signed types only, never for this one.
    if (digits.empty() || error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}

std::string wholeRule(const std::string& what, std::uint64_t lowest, std::uint64_t highest, bool hexBounds,
                      const std::string& text) {
    const auto bound = [hexBounds](std::uint64_t value) {
        char written[24];
        std::snprintf(written, sizeof written, hexBounds && value > 0 ? "0x%llX" : "%llu",
                      static_cast<unsigned long long>(value));
        return std::string(written);
    };
    return what + " must be a whole number from " + bound(lowest) + " to " + bound(highest) +
           " (decimal or 0x-hex), not \"" + text + "\"";
}

} // namespace

int wholeNumber(const std::string& text, int lowest, int highest, const std::string& what) {
    const std::optional<std::uint64_t> value = wholeValue(text);
    if (!value || *value < static_cast<std::uint64_t>(lowest) || *value > static_cast<std::uint64_t>(highest))
        throw UsageError(wholeRule(what, static_cast<std::uint64_t>(lowest),
                                   static_cast<std::uint64_t>(highest), false, text));
    return static_cast<int>(*value);
}

std::optional<double> decimalSeconds(const std::string& text) {
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
    const auto digitsOnly = [](const std::string& part) {
        return part.find_first_not_of("0123456789") == std::string::npos;
    };
    // A millisecond is the finest step any wait here is timed in: a finer one would be shown as it
    // was asked for but kept as another.
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    if (!digitsOnly(whole) || !digitsOnly(fraction) || fraction.size() > 3 || whole.size() > 9)
        return std::nullopt;
    return (whole.empty() ? 0.0 : std::stod(whole)) +
           (fraction.empty() ? 0.0 : std::stod(fraction) / std::pow(10.0, fraction.size()));
}

double seconds(const std::string& text, double lowest, double highest, const std::string& what) {
    const std::optional<double> value = decimalSeconds(text);
    if (!value || *value < lowest || *value > highest)
        throw UsageError(what + " must be a number of seconds from " + secondsText(lowest) + " to " +
                         secondsText(highest) + ", in steps of 0.001 (such as 2.5), not \"" + text + "\"");
    return *value;
}

double milliseconds(const std::string& text, double lowest, double highest, const std::string& what) {
    const std::optional<double> value = decimalSeconds(text);
    if (!value || *value < lowest || *value > highest)
        throw UsageError(what + " must be a number of milliseconds from " + secondsText(lowest) + " to " +
                         secondsText(highest) + ", in steps of 0.001 (such as 1.75), not \"" + text + "\"");
    return *value;
}

// Decimal, or hexadecimal after 0x: a 32-bit address.
std::uint32_t address(const std::string& text, const std::string& what) {
    const std::optional<std::uint64_t> value = wholeValue(text);
    if (!value || *value > 0xFFFFFFFFu)
        throw UsageError(wholeRule(what, 0, 0xFFFFFFFFu, true, text));
    return static_cast<std::uint32_t>(*value);
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

// "3,5,9": bus addresses 1-255, none twice.
std::vector<int> addressList(const std::string& text) {
    std::vector<int> addresses;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma - from);
        // Every operation on a board waits for its answer, and no board answers the broadcast
        // address: a run would only wait out its stall timeout.
        if (wholeValue(item) == 0u)
            throw UsageError("--address 0 is the broadcast address, which no board answers: give the "
                             "board's own address, 1-255");
        addresses.push_back(wholeNumber(item, 1, 255, "--address"));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    for (std::size_t i = 0; i < addresses.size(); ++i)
        if (std::count(addresses.begin(), addresses.begin() + static_cast<std::ptrdiff_t>(i), addresses[i]))
            throw UsageError("--address: " + std::to_string(addresses[i]) + " given twice");
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
