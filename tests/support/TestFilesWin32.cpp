#include "support/TestFiles.h"

#include <atomic>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

FileDescriptor memoryFile(std::string_view bytes) {
    static std::atomic<unsigned> made{0};
    wchar_t folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    const std::wstring path = std::wstring(folder) + L"bootcore-memory-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(made++) +
                              L".bin";
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FileDescriptor(-1);
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD count = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &count,
                       nullptr) ||
            count == 0)
            break;
        done += count;
    }
    return FileDescriptor(_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY));
}

bool resizeOpenFile(int fd, std::uint64_t size) {
    return _chsize_s(fd, static_cast<long long>(size)) == 0;
}

std::string unendingFile(const std::string&, const std::string& name) {
    const std::string path = R"(\\.\pipe\bootcore-)" + std::to_string(GetCurrentProcessId()) + "-" + name;
    // The pipe lives while its server's handle does: kept open until the test program ends.
    const HANDLE server =
        CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    return server == INVALID_HANDLE_VALUE ? "" : path;
}
