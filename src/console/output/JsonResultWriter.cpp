#include "console/output/JsonResultWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "link/VisibleText.h"

namespace {

QJsonValue hexText(std::uint64_t value) {
    return QString::fromStdString(addressText(value));
}

QJsonObject firmwareFields(const FirmwareSummary& firmware) {
    QJsonArray ranges;
    for (const FirmwareSummary::Range& range : firmware.ranges)
        ranges.append(QJsonObject{{"start", hexText(range.start)},
                                  {"end", hexText(range.last())},
                                  {"size", static_cast<qint64>(range.size)}});
    return {{"format", QString::fromStdString(firmware.format)},
            {"ranges", ranges},
            {"bytes", static_cast<qint64>(firmware.bytes)},
            {"crc32", hexText(firmware.crc32)}};
}

// The run fields an operation's object carries; those that do not apply to it are left out
// rather than written empty. A command line refused before its operation was known has none.
struct OperationFields {
    bool port = false; // port, address and duration_ms
    bool records = false;
    bool passes = false;
};

OperationFields operationFields(const std::string& operation) {
    if (operation.empty())
        return {};
    if (operation == "check")
        return {.records = true};
    if (operation == "download" || operation == "verify")
        return {.port = true, .records = true, .passes = true};
    return {.port = true};
}

} // namespace

const char* outcomeName(ExitCode code) {
    switch (code) {
    case ExitCode::Success:
        return "success";
    case ExitCode::InternalError:
        return "internal-error";
    case ExitCode::BadUsage:
        return "bad-usage";
    case ExitCode::PortNotAvailable:
        return "port-not-available";
    case ExitCode::NoDevice:
        return "no-device";
    case ExitCode::FileError:
        return "file-error";
    case ExitCode::DeviceError:
        return "device-error";
    case ExitCode::Stall:
        return "stall";
    case ExitCode::OutputLost:
        return "output-lost";
    case ExitCode::AddressConflict:
        return "address-conflict";
    case ExitCode::HungUp:
    case ExitCode::Interrupted:
    case ExitCode::Terminated:
        return "interrupted";
    }
    return "unknown";
}

QString jsonText(const std::string& bytes) {
    QString text;
    std::size_t validFrom = 0;
    const auto takeValid = [&](std::size_t end) {
        text += QString::fromUtf8(bytes.data() + validFrom, static_cast<qsizetype>(end - validFrom));
    };
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        takeValid(at);
        // The low surrogate U+DC80 to U+DCFF stands for the byte 80 to FF: no valid UTF-8 text
        // holds one, so the byte is known again on reading.
        text += QChar(static_cast<char16_t>(0xDC00 + static_cast<std::uint8_t>(bytes[at])));
        validFrom = ++at;
    }
    takeValid(bytes.size());
    return text;
}

std::string compactJson(const QJsonDocument& document) {
    const QByteArray written = document.toJson(QJsonDocument::Compact);
    std::string json;
    json.reserve(static_cast<std::size_t>(written.size()));
    // DEL and the C1 controls may stand raw in JSON text, but a terminal showing the line would
    // obey them: written as escapes they read back as the same characters. Outside strings JSON
    // holds neither.
    for (qsizetype at = 0; at < written.size(); ++at) {
        const auto b = static_cast<std::uint8_t>(written[at]);
        const auto next = at + 1 < written.size() ? static_cast<std::uint8_t>(written[at + 1]) : 0;
        if (b == 0x7F) {
            json += "\\u007f";
        } else if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
            constexpr char kDigits[] = "0123456789abcdef";
            json += "\\u00";
            json += kDigits[next >> 4];
            json += kDigits[next & 0x0F];
            ++at;
        } else {
            json += static_cast<char>(b);
        }
    }
    return json;
}

std::string jsonResult(const RunResult& result) {
    QJsonObject object{
        {"outcome", outcomeName(result.exitCode)},
        {"exit_code", toInt(result.exitCode)},
        {"message", jsonText(result.message)},
    };
    const OperationFields fields = operationFields(result.operation);
    if (!result.operation.empty())
        object.insert("operation", jsonText(result.operation));
    if (fields.port) {
        object.insert("port", result.port.empty() ? QJsonValue(QJsonValue::Null) : jsonText(result.port));
        object.insert("address", result.address ? QJsonValue(*result.address) : QJsonValue(QJsonValue::Null));
        object.insert("duration_ms", static_cast<qint64>(result.durationMs));
    }
    if (fields.records)
        object.insert("records", result.records);
    if (fields.passes)
        object.insert("passes", result.passes);
    if (result.operation == "scan") {
        QJsonArray devices;
        for (const RunResult::Device& device : result.devices) {
            QJsonObject found{{"address", device.address}, {"reply", jsonText(device.reply)}};
            if (device.conflict)
                found.insert("conflict", true);
            if (device.everyAddress)
                found.insert("every_address", true);
            devices.append(found);
        }
        object.insert("devices", devices);
    }
    if (result.fileFault) {
        const FileFault& fault = *result.fileFault;
        object.insert("line", fault.line ? QJsonValue(static_cast<qint64>(fault.line))
                                         : QJsonValue(QJsonValue::Null));
        object.insert("reason", jsonText(fault.reason));
    }
    if (result.firmware) {
        const QJsonObject fields = firmwareFields(*result.firmware);
        for (auto field = fields.begin(); field != fields.end(); ++field)
            object.insert(field.key(), field.value());
    }
    if (!result.note.empty())
        object.insert("note", jsonText(result.note));
    if (!result.lateAddresses.empty()) {
        QJsonArray late;
        for (const int address : result.lateAddresses)
            late.append(address);
        object.insert("late_replies", late);
    }
    return compactJson(QJsonDocument(object));
}
