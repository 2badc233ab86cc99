// The number rule on arbitrary texts: it fails only in the ways it declares, and a whole number it
// gives lies in the range asked for.
#include <cmath>
#include <stdexcept>
#include <string>

#include "fuzz/FuzzRequire.h"
#include "link/NumberRule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const double value = NumberValue(text);
        require(!std::isnan(value));
    } catch (const std::range_error&) {
    }
    for (const auto& [lowest, highest] :
         {std::pair<std::int64_t, std::int64_t>{0, 255}, {INT16_MIN, INT16_MAX}}) {
        try {
            const std::int64_t whole = WholeNumber(text, lowest, highest);
            require(whole >= lowest && whole <= highest);
        } catch (const std::range_error&) {
        }
        try {
            const std::int64_t strict = StrictWholeNumber(text, lowest, highest);
            require(strict >= lowest && strict <= highest);
            require(strict == WholeNumber(text, lowest, highest));
        } catch (const std::range_error&) {
        } catch (const std::invalid_argument&) {
        }
    }
    return 0;
}
