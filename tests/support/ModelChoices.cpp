#include "support/ModelChoices.h"

#include <algorithm>
#include <iterator>

#include "support/Bytes.h"

namespace {

int hexByte(const std::string& line, std::size_t at) {
    return at + 2 <= line.size() ? std::stoi(line.substr(at, 2), nullptr, 16) : 0;
}

constexpr int kBauds[] = {115200, 19200, 9600};

} // namespace

int ByteChoices::pick(int low, int high) {
    const unsigned range = static_cast<unsigned>(high - low) + 1;
    unsigned value = 0;
    for (int n = range > 256 ? 2 : 1; n > 0 && next < size; --n)
        value = value * 256 + data[next++];
    return low + static_cast<int>(value % range);
}

int RandomChoices::pick(int low, int high) {
    const int value = std::uniform_int_distribution<int>(low, high)(random);
    const int offset = value - low;
    if (high - low >= 256)
        kept += static_cast<char>(offset >> 8);
    kept += static_cast<char>(offset & 0xFF);
    return value;
}

Faults Faults::choose(Choices& choices) {
    Faults f;
    f.lateDuplicates = choices.pick(0, 30);
    f.busyWriteMs = choices.pick(0, 40);
    f.twin = static_cast<Twin>(choices.pick(0, 2));
    f.slowProbes = choices.pick(0, 1) == 1;
    f.noise = choices.pick(0, 20);
    f.restarts = choices.pick(0, 5);
    f.refusals = choices.pick(0, 15);
    f.formats = choices.pick(0, 10);
    f.baud = kBauds[choices.pick(0, 2)];
    return f;
}

std::string Faults::asChoices() const {
    const int speed = static_cast<int>(std::find(std::begin(kBauds), std::end(kBauds), baud) - kBauds);
    return bytes({lateDuplicates, busyWriteMs, static_cast<int>(twin), slowProbes ? 1 : 0, noise, restarts,
                  refusals, formats, speed});
}

std::string Faults::describe() const {
    const char* twins[] = {"none", "alike", "one refusing"};
    return "late duplicates " + std::to_string(lateDuplicates) + "%, busy write " +
           std::to_string(busyWriteMs) + " ms, twin " + twins[static_cast<int>(twin)] + ", slow probes " +
           (slowProbes ? "yes" : "no") + ", noise " + std::to_string(noise) + "%, restarts " +
           std::to_string(restarts) + "%, refusals " + std::to_string(refusals) + "%, formats " +
           std::to_string(formats) + "%, " + std::to_string(baud) + " Bd";
}

ModelRecord parseRecord(const std::string& line) {
    ModelRecord record;
    if (line.size() < 11 || line[0] != ':')
        return record;
    const int count = hexByte(line, 1);
    record.address = hexByte(line, 3) * 256 + hexByte(line, 5);
    record.type = hexByte(line, 7);
    for (int k = 0; k < count; ++k)
        record.data.push_back(static_cast<std::uint8_t>(hexByte(line, 9 + 2 * static_cast<std::size_t>(k))));
    return record;
}

std::map<int, std::uint8_t> imageOf(const std::vector<std::string>& lines) {
    std::map<int, std::uint8_t> image;
    for (const std::string& line : lines) {
        const ModelRecord record = parseRecord(line);
        for (std::size_t k = 0; record.type == 0 && k < record.data.size(); ++k)
            image[record.address + static_cast<int>(k)] = record.data[k];
    }
    return image;
}
