#include "link/NumberRule.h"

#include <cctype>
#include <cmath>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace {

std::string withoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            out += c;
    return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the leading number of `s` (blanks already removed). `used` tells how many chars formed it.
double leadingNumber(const std::string& s, std::size_t& used) {
    used = 0;
    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        std::size_t i = 2;
        std::uint64_t value = 0;
        while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) {
            if (i - 2 >= 8)
                throw std::range_error("Overflow");
            const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
            value = value * 16 + static_cast<std::uint64_t>(isDigit(c) ? c - '0' : c - 'A' + 10);
            ++i;
        }
        used = i;
        const std::size_t digits = i - 2;
        if (digits == 0)
            return 0;
        if (digits <= 4)
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t mantissaDigits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++mantissaDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        const std::size_t expStart = j;
        while (j < s.size() && isDigit(s[j]))
            ++j;
        if (j > expStart)
            i = j;
    }
    used = i;
    // Read in the classic locale: the toolkit may switch the C library to the user's locale,
    // where strtod would stop at the point of "2.5".
    std::istringstream number(s.substr(0, i));
    number.imbue(std::locale::classic());
    double value = 0;
    number >> value;
    if (number.fail()) // only an overflow fails here: the text was checked above
        throw std::range_error("Overflow");
    return value;
}

std::int64_t roundedInRange(double value, std::int64_t lowest, std::int64_t highest) {
    const double whole = std::nearbyint(value); // the default rounding mode sends halves to even
    if (!(whole >= static_cast<double>(lowest) && whole <= static_cast<double>(highest)))
        throw std::range_error("Overflow");
    return static_cast<std::int64_t>(whole);
}

} // namespace

double NumberValue(const std::string& text) {
    std::size_t used = 0;
    return leadingNumber(withoutBlanks(text), used);
}

std::int64_t WholeNumber(const std::string& text, std::int64_t lowest, std::int64_t highest) {
    return roundedInRange(NumberValue(text), lowest, highest);
}

std::int64_t StrictWholeNumber(const std::string& text, std::int64_t lowest, std::int64_t highest) {
    const std::string s = withoutBlanks(text);
    std::size_t used = 0;
    const double value = leadingNumber(s, used);
    if (used == 0 || used != s.size())
        throw std::invalid_argument("Type mismatch");
    return roundedInRange(value, lowest, highest);
}
