#include "TelnetServer.h"

namespace {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
constexpr std::uint8_t kSetBaudrate = 1, kSetDatasize = 2, kSetParity = 3, kSetStopsize = 4, kSetControl = 5;
constexpr std::uint8_t kServerOffset = 100;
constexpr std::size_t kLongestSubnegotiation = 64;

char byte(std::uint8_t value) {
    return static_cast<char>(value);
}

std::uint64_t bit(std::uint8_t option) {
    return option < 64 ? std::uint64_t{1} << option : 0;
}

} // namespace

std::string TelnetServer::receive(std::string_view bytes) {
    std::string data;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        switch (parse_) {
        case Parse::Data:
            if (b == kIac)
                parse_ = Parse::Iac;
            else
                data += c;
            break;
        case Parse::Iac:
            parse_ = Parse::Data;
            if (b == kIac) {
                data += c;
            } else if (b >= kWill) {
                verb_ = b;
                parse_ = Parse::Verb;
            } else if (b == kSb) {
                sub_.clear();
                parse_ = Parse::Sub;
            }
            break;
        case Parse::Verb:
            onVerb(verb_, b);
            parse_ = Parse::Data;
            break;
        case Parse::Sub:
            if (b == kIac)
                parse_ = Parse::SubIac;
            else if (sub_.size() < kLongestSubnegotiation)
                sub_ += c;
            break;
        case Parse::SubIac:
            if (b == kIac) {
                if (sub_.size() < kLongestSubnegotiation)
                    sub_ += c;
                parse_ = Parse::Sub;
            } else {
                onComPortCommand();
                parse_ = Parse::Data;
            }
            break;
        }
    }
    return data;
}

std::string TelnetServer::takeReplies() {
    std::string taken;
    taken.swap(replies_);
    return taken;
}

std::string TelnetServer::encode(std::string_view data) {
    std::string wire;
    for (const char c : data) {
        wire += c;
        if (static_cast<std::uint8_t>(c) == kIac)
            wire += c;
    }
    return wire;
}

// Answers only a change of state, so that two ends never echo each other without end.
void TelnetServer::onVerb(std::uint8_t verb, std::uint8_t option) {
    const bool wanted = option == kBinary || option == kSuppressGoAhead ||
                        (option == kComPort && (verb == kWill || verb == kWont));
    const bool yes = verb == kWill || verb == kDo;
    std::uint64_t& side = (verb == kWill || verb == kWont) ? theirs_ : ours_;
    const bool was = side & bit(option);
    const std::uint8_t agree = verb == kWill ? kDo : kWill;
    const std::uint8_t refuse = (verb == kWill || verb == kWont) ? kDont : kWont;
    if (yes && wanted) {
        side |= bit(option);
        if (!was)
            replies_ += {byte(kIac), byte(agree), byte(option)};
    } else if (yes || was) {
        side &= ~bit(option);
        replies_ += {byte(kIac), byte(refuse), byte(option)};
    }
}

void TelnetServer::onComPortCommand() {
    if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_[0]) != kComPort)
        return;
    const auto command = static_cast<std::uint8_t>(sub_[1]);
    const std::string_view value = std::string_view(sub_).substr(2);
    const auto first = value.empty() ? std::uint8_t{0} : static_cast<std::uint8_t>(value[0]);
    switch (command) {
    case kSetBaudrate:
        if (value.size() == 4) {
            std::uint32_t baud = 0;
            for (const char c : value)
                baud = (baud << 8) | static_cast<std::uint8_t>(c);
            if (baud != 0) // 0 asks for the current speed
                baud_ = baud;
        }
        answer(command, std::string{byte(baud_ >> 24), byte((baud_ >> 16) & 0xFF), byte((baud_ >> 8) & 0xFF),
                         byte(baud_ & 0xFF)});
        break;
    case kSetDatasize:
    case kSetParity:
    case kSetStopsize: {
        std::uint8_t& setting = command == kSetDatasize ? dataSize_ : command == kSetParity ? parity_ : stopSize_;
        if (first != 0)
            setting = first;
        answer(command, std::string{byte(setting)});
        break;
    }
    case kSetControl:
        // 8/9 switch DTR, 11/12 RTS; 7 and 10 ask for their state.
        if (first == 8 || first == 9)
            dtr_ = first == 8;
        else if (first == 11 || first == 12)
            rts_ = first == 11;
        answer(command, std::string{byte(first == 7 ? (dtr_ ? 8 : 9) : first == 10 ? (rts_ ? 11 : 12) : first)});
        break;
    default:
        answer(command, std::string(value));
        break;
    }
}

void TelnetServer::answer(std::uint8_t command, const std::string& value) {
    replies_ += {byte(kIac), byte(kSb), byte(kComPort), byte(kServerOffset + command)};
    replies_ += encode(value);
    replies_ += {byte(kIac), byte(kSe)};
}
