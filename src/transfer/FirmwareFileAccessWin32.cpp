#include "transfer/FirmwareFileAccess.h"

#include <algorithm>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "link/WideText.h"
#include "transfer/FirmwareLimits.h"
#include "transfer/LoadError.h"
#include "transfer/OversizeText.h"

// The descriptor is a C runtime one over a Win32 handle opened from the UTF-16 path, so that the
// interface stays the POSIX one; every read goes through the handle at an explicit offset.

namespace {

[[noreturn]] void accessError() {
    throw LoadError(loaderrors::kPathFileAccess, "Path/File access error");
}

[[noreturn]] void notRegular() {
    throw LoadError(loaderrors::kPathFileAccess, "Path/File access error: not a regular file");
}

HANDLE handleOf(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        accessError();
    return handle;
}

// Up to `count` bytes at `offset`; 0 at the file's end.
std::size_t readSome(HANDLE file, std::uint64_t offset, char* into, std::size_t count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    if (!ReadFile(file, into, asked, &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        accessError();
    }
    return got;
}

} // namespace

FileDescriptor::~FileDescriptor() {
    if (fd >= 0)
        _close(fd);
}

FileDescriptor openFirmwareFile(const std::string& path) {
    const std::wstring wide = widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            throw LoadError(loaderrors::kFileNotFound, "File not found");
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        notRegular();
    }
    // Others may keep writing the file (a build that is still running): it is read as it is now.
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        accessError();
    // A device or a pipe named like a file (\\.\COM1, \\.\pipe\x) may never end.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        notRegular();
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        accessError();
    }
    return FileDescriptor(fd);
}

std::uint64_t fileSize(int fd) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(fd), &size) || size.QuadPart < 0)
        accessError();
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<FileFault> oversize(int fd) {
    const std::uint64_t size = fileSize(fd);
    if (size <= kMaxFirmwareFileBytes)
        return std::nullopt;
    return FileFault{0, oversizeText(size, true)};
}

ReadChunk chunksOf(int fd) {
    return [file = handleOf(fd), offset = std::uint64_t{0}](char* into, std::size_t room) mutable {
        // A file that grows while it is read stays within the limit all the same.
        if (offset > kMaxFirmwareFileBytes)
            throw LoadError(loaderrors::kInvalidFileFormat, oversizeText(offset, false));
        room = static_cast<std::size_t>(std::min<std::uint64_t>(room, kMaxFirmwareFileBytes + 1 - offset));
        const std::size_t count = readSome(file, offset, into, room);
        offset += count;
        return count;
    };
}

std::string readAt(int fd, std::uint64_t offset, std::size_t count) {
    const HANDLE file = handleOf(fd);
    std::string bytes(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        const std::size_t got = readSome(file, offset + done, bytes.data() + done, count - done);
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}
