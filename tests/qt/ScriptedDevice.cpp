#include "ScriptedDevice.h"

#include <algorithm>

#include "link/Crc16.h"

std::string verifyForm(std::string record) {
    std::replace(record.begin(), record.end(), ':', '#');
    return record;
}

ScriptedDevice::ScriptedDevice(PseudoTerminal& line, std::uint8_t address, std::string lastLine)
    : line(line), address(address), lastLine(std::move(lastLine)),
      notifier(line.masterFd(), QSocketNotifier::Read) {
    QObject::connect(&notifier, &QSocketNotifier::activated, [this] { readLine(); });
}

std::vector<std::string> ScriptedDevice::records(char firstCharacter) const {
    std::vector<std::string> found;
    for (const std::string& command : received)
        if (command.size() > 4 && command.starts_with("BOOT") && command[4] == firstCharacter)
            found.push_back(command.substr(4));
    return found;
}

void ScriptedDevice::readLine() {
    pending += line.readFromPort();
    // A request ends where its text ends with CR LF and the CRC over the whole frame leaves a
    // residue of zero; the shortest such prefix is the frame.
    for (std::size_t end = 5; end <= pending.size(); ++end) {
        const std::string frame = pending.substr(0, end);
        if (frame.compare(end - 4, 2, "\r\n") != 0 || crc16Update(kCrc16Init, frame) != 0)
            continue;
        pending.erase(0, end);
        end = 4;
        if (static_cast<std::uint8_t>(frame[0]) == address)
            answer(frame.substr(1, frame.size() - 5));
    }
}

void ScriptedDevice::answer(const std::string& command) {
    received.push_back(command);
    if (command == "BOOTi")
        reply("VER=2.1 boot");
    else if (command == "BOOT" + lastLine || command == "BOOT" + verifyForm(lastLine))
        reply("DOWNLOAD");
    else if (command.starts_with("BOOT:") || command.starts_with("BOOT#"))
        reply("OK");
}

void ScriptedDevice::reply(const std::string& payload) {
    const std::string body = std::string(1, static_cast<char>(address)) + "B" + payload;
    line.writeToPort(body + CRC16(body));
}
