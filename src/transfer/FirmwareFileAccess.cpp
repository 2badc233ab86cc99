#include "transfer/FirmwareFileAccess.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "transfer/FirmwareLimits.h"
#include "transfer/LoadError.h"
#include "transfer/OversizeText.h"

namespace {

[[noreturn]] void accessError() {
    throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
}

bool sizeTold(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && status.st_size > 0;
}

} // namespace

FileDescriptor::~FileDescriptor() {
    if (fd >= 0)
        ::close(fd);
}

FileDescriptor openFirmwareFile(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        throw LoadError(loaderrors::kFileNotFound, "File not found");
    // Checked before opening: a FIFO blocks the open until a writer comes, a device may never end,
    // and a folder reads as nothing.
    if (!std::filesystem::is_regular_file(path, ignored))
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error: not a regular file");
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        accessError();
    // Asked of the open file, not of the path, which may have been replaced since.
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        throw LoadError(loaderrors::kPathFileAccess, "Path/File access error: not a regular file");
    return file;
}

std::uint64_t fileSize(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        accessError();
    if (status.st_size > 0)
        return static_cast<std::uint64_t>(status.st_size);
    // Files of /proc and sysfs report no size whatever they hold: counted as read, one byte past
    // the limit at most, which is enough to refuse them.
    std::uint64_t size = 0;
    std::string chunk(64 * 1024, '\0');
    while (size <= kMaxFirmwareFileBytes) {
        const auto room = std::min<std::uint64_t>(chunk.size(), kMaxFirmwareFileBytes + 1 - size);
        const ssize_t count =
            ::pread(fd, chunk.data(), static_cast<std::size_t>(room), static_cast<off_t>(size));
        if (count == 0)
            break;
        if (count < 0 && errno != EINTR)
            accessError();
        size += static_cast<std::uint64_t>(std::max<ssize_t>(count, 0));
    }
    return size;
}

std::optional<FileFault> oversize(int fd) {
    const std::uint64_t size = fileSize(fd);
    if (size <= kMaxFirmwareFileBytes)
        return std::nullopt;
    return FileFault{0, oversizeText(size, sizeTold(fd))};
}

ReadChunk chunksOf(int fd) {
    return [fd, offset = std::uint64_t{0}](char* into, std::size_t room) mutable {
        // A file that grows while it is read, or reported a size it did not have, stays within the
        // limit all the same.
        if (offset > kMaxFirmwareFileBytes)
            throw LoadError(loaderrors::kInvalidFileFormat, oversizeText(offset, false));
        room = static_cast<std::size_t>(std::min<std::uint64_t>(room, kMaxFirmwareFileBytes + 1 - offset));
        for (;;) {
            const ssize_t count = ::pread(fd, into, room, static_cast<off_t>(offset));
            if (count >= 0) {
                offset += static_cast<std::uint64_t>(count);
                return static_cast<std::size_t>(count);
            }
            if (errno != EINTR)
                accessError();
        }
    };
}

std::string readAt(int fd, std::uint64_t offset, std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            accessError();
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}
