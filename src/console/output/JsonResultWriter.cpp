#include "console/output/JsonResultWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

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
    case ExitCode::Interrupted:
    case ExitCode::Terminated:
        return "interrupted";
    }
    return "unknown";
}

QString jsonText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text;
}

std::string jsonResult(const RunResult& result) {
    QJsonObject object{
        {"operation", jsonText(result.operation)},
        {"port", jsonText(result.port)},
        {"address", result.address ? QJsonValue(*result.address) : QJsonValue(QJsonValue::Null)},
        {"records", result.records},
        {"passes", result.passes},
        {"outcome", outcomeName(result.exitCode)},
        {"exit_code", toInt(result.exitCode)},
        {"duration_ms", static_cast<qint64>(result.durationMs)},
        {"message", jsonText(result.message)},
    };
    if (result.operation == "scan") {
        QJsonArray devices;
        for (const RunResult::Device& device : result.devices)
            devices.append(QJsonObject{{"address", device.address}, {"reply", jsonText(device.reply)}});
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
    if (!result.lateAddresses.empty()) {
        QJsonArray late;
        for (const int address : result.lateAddresses)
            late.append(address);
        object.insert("late_replies", late);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
