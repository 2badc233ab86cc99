#include "console/run/FirmwareInput.h"

#include <cstdio>
#include <stdexcept>

#include <QDir>

#include "transfer/FirmwareFileAccess.h"
#include "transfer/LoadError.h"

FirmwareInput readFirmwareInput(const std::string& path, const FirmwareRequest& request) {
    FirmwareInput input;
    try {
        input.file = readFirmwareFile(openFirmwareFile(path).get(), request);
    } catch (const LoadError& error) {
        input.failure = path + ": Error#" + std::to_string(error.number()) + ": " + error.what();
        return input;
    }
    if (input.file.fault)
        input.failure = path + ": " + input.file.fault->text();
    return input;
}

FirmwareSummary summarise(const FirmwareFile& file) {
    FirmwareSummary summary;
    summary.format = formatName(file.format);
    for (const ImageSegment& segment : file.image.segments)
        summary.ranges.push_back({segment.address, segment.bytes.size()});
    summary.records = static_cast<int>(file.hexLines.size());
    summary.bytes = file.image.byteCount();
    summary.crc32 = imageCrc32(file.image);
    return summary;
}

std::string summaryText(const FirmwareSummary& summary) {
    std::string text = "format   " + summary.format + "\n";
    for (const FirmwareSummary::Range& range : summary.ranges)
        text += "range    " + addressText(range.start) + "-" + addressText(range.last()) + "  " +
                std::to_string(range.size) + " bytes\n";
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", summary.crc32);
    return text + "records  " + std::to_string(summary.records) + "\nbytes    " +
           std::to_string(summary.bytes) + "\ncrc32    " + crc + "\n";
}

std::unique_ptr<QTemporaryFile> writeHexLines(const std::vector<std::string>& lines) {
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/bootflash-XXXXXX.hex");
    if (!file->open())
        throw std::runtime_error("cannot write a temporary HEX file in " + QDir::tempPath().toStdString());
    for (const std::string& line : lines)
        file->write(QByteArray::fromStdString(line + "\r\n"));
    if (!file->flush())
        throw std::runtime_error("cannot write " + file->fileName().toStdString());
    return file;
}
