#include "console/run/FirmwareInput.h"

#include <cstdio>
#include <memory>
#include <tuple>
#include <vector>

#include <sys/stat.h>

#include <QCryptographicHash>

#include "transfer/FirmwareFileAccess.h"
#include "transfer/LoadError.h"

namespace {

// What tells one content of a file from the next: a write changes the size or the times.
using FileVersion = std::tuple<off_t, long, long, long, long>;

FileVersion versionOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
    return {status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec, status.st_ctim.tv_sec,
            status.st_ctim.tv_nsec};
}

std::string sha256Of(int fd) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const ReadChunk read = chunksOf(fd);
    std::vector<char> buffer(std::size_t{1} << 16);
    while (const std::size_t got = read(buffer.data(), buffer.size()))
        hash.addData(QByteArrayView(buffer.data(), static_cast<qsizetype>(got)));
    return hash.result().toHex().toStdString();
}

} // namespace

FirmwareInput readFirmwareInput(const std::string& path, const FirmwareRequest& request) {
    FirmwareInput input;
    try {
        const FileDescriptor source = openFirmwareFile(path);
        const FileVersion before = versionOf(source.get());
        input.file = readFirmwareFile(source.get(), request);
        if (!input.file.fault) {
            input.sha256 = sha256Of(source.get());
            // A file written while it was read (a build writing the next image) holds neither image.
            if (versionOf(source.get()) != before)
                input.failure = path + ": the file changed while it was read; try again once it is written";
        }
    } catch (const LoadError& error) {
        input.failure = path + ": Error#" + std::to_string(error.number()) + ": " + error.what();
        return input;
    }
    if (input.file.fault)
        input.failure = path + ": " + input.file.fault->text();
    return input;
}

std::function<IntelHexFile(const std::string&)> recordsReader(const FirmwareFile& file) {
    auto records = std::make_shared<IntelHexFile>();
    records->lines = file.hexLines;
    records->image = file.image;
    return [records = std::shared_ptr<const IntelHexFile>(records)](const std::string&) { return *records; };
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
