#include "EmulatedDevice.h"

#include <array>
#include <stdexcept>

namespace {

constexpr std::string_view kOk = "OK";
constexpr std::string_view kError = "ERROR";
constexpr std::string_view kFormat = "FORMAT";
constexpr std::string_view kDownload = "DOWNLOAD";
constexpr std::string_view kVersion = "VER=";

std::vector<DeviceReply> single(std::string_view text) {
    return {DeviceReply{std::string(text)}};
}

} // namespace

bool holdsReplyKeyword(std::string_view text) {
    constexpr std::array keywords{kVersion, kError, kDownload, kFormat, kOk};
    for (std::string_view keyword : keywords)
        if (text.find(keyword) != std::string_view::npos)
            return true;
    return false;
}

EmulatedDevice::EmulatedDevice(const DeviceSettings& settings)
    : address_(settings.address), version_(settings.version), flash_(settings.flashStart, settings.flashSize),
      eraseTime_(settings.eraseTime), endPassAfter_(settings.endPassAfter), restartAt_(settings.restartAt),
      restartOnError_(settings.restartOnError), formatEvery_(settings.formatEvery),
      timeFaults_(settings.timeFaults) {}

std::vector<DeviceReply> EmulatedDevice::handle(std::string_view command,
                                                std::chrono::steady_clock::time_point at) {
    if (at < deafUntil_)
        return {};
    std::vector<DeviceReply> replies = answer(command);
    if (command == "BOOTi")
        replies.front().after += timeFaults_.probeDelay;
    const bool record = command.starts_with("BOOT:") || command.starts_with("BOOT#");
    if (record && timeFaults_.ackTwice.count() > 0) {
        // The receipt's "OK" at once; the record's own answer once it is written.
        replies.front().after += timeFaults_.ackTwice;
        replies.insert(replies.begin(), DeviceReply{std::string(kOk)});
        deafUntil_ = at + timeFaults_.ackTwice;
    }
    return replies;
}

std::vector<DeviceReply> EmulatedDevice::answer(std::string_view command) {
    if (command == "BOOTi" || command == "VER")
        return single(std::string(kVersion) + version_);
    if (command == "BOOTg")
        return single(kOk);
    if (command.starts_with("BOOT$"))
        return handleAddressChange(command.substr(5));
    if (command.starts_with("BOOT:"))
        return handleRecord(command.substr(5), false);
    if (command.starts_with("BOOT#"))
        return handleRecord(command.substr(5), true);
    return refuse("unknown command");
}

std::vector<DeviceReply> EmulatedDevice::handleAddressChange(std::string_view digits) {
    if (digits.size() != 2 || hexDigitValue(digits[0]) < 0 || hexDigitValue(digits[1]) < 0)
        return refuse("address change needs two hex digits");
    const int address = hexDigitValue(digits[0]) * 16 + hexDigitValue(digits[1]);
    // Address 0 is the broadcast address on a Modbus line: a device never answers there.
    if (address == 0)
        return refuse("address 00 is reserved for broadcast");
    address_ = static_cast<std::uint8_t>(address);
    return single(kOk);
}

std::vector<DeviceReply> EmulatedDevice::handleRecord(std::string_view digits, bool verifying) {
    if (++recordsSeen_ == restartAt_) {
        // Restarted instead of taking the record: the bootloader announces itself afresh.
        lastError_ = "restarted at record " + std::to_string(recordsSeen_);
        endPass();
        return single(std::string(kVersion) + version_);
    }
    if (recordsSeen_ == timeFaults_.refuseRecord)
        return refuseRecord("record " + std::to_string(recordsSeen_) + " refused on purpose");
    if (++recordsThisPass_ == endPassAfter_) {
        endPass();
        return single(kDownload);
    }
    HexRecord record;
    try {
        record = parseHexRecord(digits);
    } catch (const HexRecordError& error) {
        return refuseRecord(error.what());
    }
    switch (record.type) {
    case HexRecordType::Data:
        return handleData(record, verifying);
    case HexRecordType::EndOfFile:
        endPass();
        return single(kDownload);
    case HexRecordType::ExtendedSegmentAddress:
    case HexRecordType::ExtendedLinearAddress:
        addressBase_ = addressBaseOf(record);
        return single(kOk);
    case HexRecordType::StartSegmentAddress:
    case HexRecordType::StartLinearAddress:
        return single(kOk);
    }
    return refuseRecord("unhandled record type");
}

std::vector<DeviceReply> EmulatedDevice::handleData(const HexRecord& record, bool verifying) {
    const std::uint64_t address = static_cast<std::uint64_t>(addressBase_) + record.offset;
    if (!flash_.contains(address, record.data.size()))
        return refuseRecord("data outside the flash");
    if (verifying) {
        if (!flash_.matches(address, record.data))
            return refuseRecord("flash differs from the verify record");
        return single(kOk);
    }
    if (erasedThisPass_) {
        flash_.write(address, record.data);
        return single(kOk);
    }
    flash_.erase();
    erasedThisPass_ = true;
    flash_.write(address, record.data);
    return erase();
}

std::vector<DeviceReply> EmulatedDevice::erase() {
    std::vector<DeviceReply> replies{DeviceReply{std::string(kFormat)}};
    auto left = eraseTime_;
    if (formatEvery_.count() > 0) {
        for (; left > formatEvery_; left -= formatEvery_)
            replies.push_back(DeviceReply{std::string(kFormat), formatEvery_});
    }
    replies.push_back(DeviceReply{std::string(kOk), left});
    return replies;
}

std::vector<DeviceReply> EmulatedDevice::refuse(std::string reason) {
    lastError_ = std::move(reason);
    return single(kError);
}

std::vector<DeviceReply> EmulatedDevice::refuseRecord(std::string reason) {
    if (timeFaults_.eraseAfterRefusal.count() > 0) {
        // The board gets ready for the record again and keeps the pass: the host may resend it.
        std::vector<DeviceReply> replies = refuse(std::move(reason));
        replies.push_back(DeviceReply{std::string(kFormat)});
        replies.push_back(DeviceReply{std::string(kOk), timeFaults_.eraseAfterRefusal});
        return replies;
    }
    // A failed record ends the pass: the host starts again from record 1, and that new pass must
    // erase the flash again instead of writing over what the failed pass left behind.
    endPass();
    std::vector<DeviceReply> replies = refuse(std::move(reason));
    if (restartOnError_)
        replies.push_back(DeviceReply{std::string(kVersion) + version_, std::chrono::milliseconds(5)});
    return replies;
}

void EmulatedDevice::endPass() {
    recordsThisPass_ = 0;
    addressBase_ = 0;
    erasedThisPass_ = false;
}
