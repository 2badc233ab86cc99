#include "BoardQuirks.h"

#include "SimOptions.h"

#include <charconv>

bool takeQuirkOption(const std::vector<std::string>& arguments, std::size_t& i, BoardQuirks& quirks) {
    const std::string& argument = arguments[i];
    if (argument == "--any-address") {
        quirks.anyAddress = true;
    } else if (argument == "--reply-from-new-address") {
        quirks.replyFromNewAddress = true;
    } else if (argument == "--noise-every-ms") {
        if (i + 1 == arguments.size())
            throw OptionError(argument + " needs a value");
        const std::string& text = arguments[++i];
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 60'000)
            throw OptionError(argument + ": not a number up to 60000: " + text);
        quirks.noiseEvery = std::chrono::milliseconds(value);
    } else {
        return false;
    }
    return true;
}

std::string quirkUsage() {
    return R"(Bus quirks:
  --noise-every-ms MS  put the noise bytes F8 E0 80 FC C0 F0 on the line every
                       MS, between replies, as a noisy line does (default:
                       never)
  --any-address        every device ignores its address: it answers at every
                       address, the broadcast address 0 too
  --reply-from-new-address
                       the answer to an address change comes from the new
                       address instead of the one the request went to
)";
}
