#include "link/PortConfig.h"

#include <cctype>
#include <sstream>
#include <vector>

#include "link/SerialPortService.h"

namespace {

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

int wholeField(const std::string& field, const std::string& settings) {
    if (field.empty() || field.size() > 9)
        throw PortError("Invalid settings: " + settings);
    for (char c : field)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            throw PortError("Invalid settings: " + settings);
    return std::stoi(field);
}

} // namespace

LineSettings parseLineSettings(const std::string& settings) {
    const auto fields = splitFields(settings);
    if (fields.size() != 4)
        throw PortError("Invalid settings: " + settings);
    LineSettings result;
    result.baud = wholeField(fields[0], settings);
    if (fields[1].size() != 1)
        throw PortError("Invalid settings: " + settings);
    result.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(fields[1][0])));
    if (std::string("neoms").find(result.parity) == std::string::npos)
        throw PortError("Invalid settings: " + settings);
    result.dataBits = wholeField(fields[2], settings);
    if (fields[3] == "1.5")
        result.stopBits = 3;
    else
        result.stopBits = wholeField(fields[3], settings);
    if (result.baud <= 0 || result.dataBits < 5 || result.dataBits > 8 || (result.stopBits != 1 && result.stopBits != 2 && result.stopBits != 3))
        throw PortError("Invalid settings: " + settings);
    return result;
}

std::string portNameForNumber(int number) {
    if (number < 1)
        throw PortError("Invalid port number " + std::to_string(number));
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
}
