#include "link/TelnetComPort.h"

namespace {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPortOption = 44;
constexpr std::uint8_t kCr = 13, kNul = 0;
// COM port control commands from the client, and the server's answer to SET-BAUDRATE.
constexpr std::uint8_t kSetBaudrate = 1, kSetDatasize = 2, kSetParity = 3, kSetStopsize = 4, kSetControl = 5;
constexpr std::uint8_t kServerOffset = 100;
// A subnegotiation longer than any we read is cut there; its end is still awaited.
constexpr std::size_t kLongestSubnegotiation = 64;

std::uint8_t parityCode(char parity) {
    switch (parity) {
    case 'o':
        return 2;
    case 'e':
        return 3;
    case 'm':
        return 4;
    case 's':
        return 5;
    default:
        return 1;
    }
}

std::uint8_t stopSizeCode(int stopBits) {
    return stopBits == 3 ? 3 : static_cast<std::uint8_t>(stopBits);
}

char byte(std::uint8_t value) {
    return static_cast<char>(value);
}

} // namespace

std::string TelnetComPort::start(const LineSettings& wanted) {
    settings = wanted;
    usComPort = usBinary = Side::WantYes;
    himBinary = himSga = Side::WantYes;
    sendCommand(kWill, kComPortOption);
    sendCommand(kWill, kBinary);
    sendCommand(kDo, kBinary);
    sendCommand(kDo, kSuppressGoAhead);
    return takeReplies();
}

std::string TelnetComPort::takeReplies() {
    std::string taken;
    taken.swap(replies);
    return taken;
}

std::string TelnetComPort::encode(const std::string& data) const {
    std::string wire;
    wire.reserve(data.size() + 4);
    for (const char c : data) {
        wire += c;
        if (static_cast<std::uint8_t>(c) == kIac)
            wire += c;
        else if (static_cast<std::uint8_t>(c) == kCr && usBinary != Side::Yes)
            wire += byte(kNul);
    }
    return wire;
}

std::string TelnetComPort::receive(const std::string& bytes) {
    std::string data;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (parse) {
        case Parse::Data:
            if (b == kIac) {
                parse = Parse::Iac;
                break;
            }
            // Outside binary mode a lone CR travels as CR NUL.
            if (!(afterCr && b == kNul && himBinary != Side::Yes))
                data += c;
            afterCr = b == kCr;
            break;
        case Parse::Iac:
            parse = Parse::Data;
            afterCr = false;
            if (b == kIac) {
                data += c;
            } else if (b >= kWill) { // WILL, WONT, DO, DONT: the option follows
                verb = b;
                parse = Parse::Verb;
            } else if (b == kSb) {
                sub.clear();
                parse = Parse::Sub;
            }
            // Every other command (NOP, GA, BRK, AYT ...) carries nothing for the line.
            break;
        case Parse::Verb:
            onVerb(verb, b);
            parse = Parse::Data;
            break;
        case Parse::Sub:
            if (b == kIac)
                parse = Parse::SubIac;
            else if (sub.size() < kLongestSubnegotiation)
                sub += c;
            break;
        case Parse::SubIac:
            if (b == kIac) {
                if (sub.size() < kLongestSubnegotiation)
                    sub += c;
                parse = Parse::Sub;
            } else {
                // IAC SE ends it; any other command there ends a malformed one the same way.
                onSubnegotiation();
                parse = Parse::Data;
                if (b != kSe && b >= kWill) {
                    verb = b;
                    parse = Parse::Verb;
                }
            }
            break;
        }
    }
    return data;
}

TelnetComPort::Side& TelnetComPort::usFor(std::uint8_t option) {
    usOther = Side::No;
    if (option == kBinary)
        return usBinary;
    if (option == kComPortOption)
        return usComPort;
    return option == kSuppressGoAhead ? usSga : usOther;
}

TelnetComPort::Side& TelnetComPort::himFor(std::uint8_t option) {
    himOther = Side::No;
    return option == kBinary ? himBinary : option == kSuppressGoAhead ? himSga : himOther;
}

// Answers only what changes a side's state, so two ends never echo each other without end.
void TelnetComPort::onVerb(std::uint8_t command, std::uint8_t option) {
    const bool ours = option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
    const bool his = option == kBinary || option == kSuppressGoAhead;
    if (command == kDo || command == kDont) {
        Side& side = usFor(option);
        const Side before = side;
        if (command == kDo && !ours) {
            refuseOnce(refusedToUs, kWont, option);
            return;
        }
        if (command == kDo) {
            side = Side::Yes;
            if (before == Side::No)
                sendCommand(kWill, option);
        } else {
            side = Side::No;
            if (before == Side::Yes)
                sendCommand(kWont, option);
        }
        if (option == kComPortOption && side != before) {
            comPort = side == Side::Yes ? ComPortState::Agreed : ComPortState::Refused;
            if (comPort == ComPortState::Agreed)
                sendSettings();
        }
        return;
    }
    Side& side = himFor(option);
    const Side before = side;
    if (command == kWill && !his) {
        refuseOnce(refusedToHim, kDont, option);
        return;
    }
    if (command == kWill) {
        side = Side::Yes;
        if (before == Side::No)
            sendCommand(kDo, option);
    } else {
        side = Side::No;
        if (before == Side::Yes)
            sendCommand(kDont, option);
    }
}

void TelnetComPort::onSubnegotiation() {
    if (sub.size() >= 3 && static_cast<std::uint8_t>(sub[0]) == kComPortOption &&
        static_cast<std::uint8_t>(sub[1]) == kServerOffset + kSetControl)
        controlAnswer = static_cast<std::uint8_t>(sub[2]);
    if (sub.size() < 6 || static_cast<std::uint8_t>(sub[0]) != kComPortOption ||
        static_cast<std::uint8_t>(sub[1]) != kServerOffset + kSetBaudrate)
        return;
    std::uint32_t baud = 0;
    for (int i = 2; i < 6; ++i)
        baud = (baud << 8) | static_cast<std::uint8_t>(sub[static_cast<std::size_t>(i)]);
    baudReply = baud;
}

// A server that asks for an option again after our refusal gets no second answer: its requests
// cannot make us owe it more than one answer per option.
void TelnetComPort::refuseOnce(std::bitset<256>& refused, std::uint8_t command, std::uint8_t option) {
    if (refused.test(option))
        return;
    refused.set(option);
    sendCommand(command, option);
}

void TelnetComPort::sendCommand(std::uint8_t command, std::uint8_t option) {
    replies += {byte(kIac), byte(command), byte(option)};
}

void TelnetComPort::sendSettings() {
    const auto subnegotiation = [this](std::uint8_t command, const std::string& value) {
        replies += {byte(kIac), byte(kSb), byte(kComPortOption), byte(command)};
        for (const char c : value) {
            replies += c;
            if (static_cast<std::uint8_t>(c) == kIac)
                replies += c;
        }
        replies += {byte(kIac), byte(kSe)};
    };
    const auto baud = static_cast<std::uint32_t>(settings.baud);
    subnegotiation(kSetBaudrate, {byte(baud >> 24), byte((baud >> 16) & 0xFF), byte((baud >> 8) & 0xFF),
                                  byte(baud & 0xFF)});
    subnegotiation(kSetDatasize, {byte(static_cast<std::uint8_t>(settings.dataBits))});
    subnegotiation(kSetParity, {byte(parityCode(settings.parity))});
    subnegotiation(kSetStopsize, {byte(stopSizeCode(settings.stopBits))});
}
