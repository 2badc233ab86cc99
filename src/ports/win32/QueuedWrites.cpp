#include "ports/win32/QueuedWrites.h"

QueuedWrites::~QueuedWrites() {
    for (const auto& write : pending)
        CloseHandle(write->overlapped.hEvent);
}

DWORD QueuedWrites::reap(HANDLE port) {
    while (!pending.empty()) {
        Pending& oldest = *pending.front();
        DWORD done = 0;
        if (!GetOverlappedResult(port, &oldest.overlapped, &done, FALSE)) {
            const DWORD error = GetLastError();
            if (error == ERROR_IO_INCOMPLETE)
                return ERROR_SUCCESS;
            return error;
        }
        CloseHandle(oldest.overlapped.hEvent);
        pending.pop_front();
    }
    return ERROR_SUCCESS;
}

DWORD QueuedWrites::write(HANDLE port, const std::string& bytes) {
    if (const DWORD error = reap(port); error != ERROR_SUCCESS)
        return error;
    auto write = std::make_unique<Pending>();
    write->bytes = bytes;
    write->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD done = 0;
    if (!WriteFile(port, write->bytes.data(), static_cast<DWORD>(write->bytes.size()), &done,
                   &write->overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            CloseHandle(write->overlapped.hEvent);
            return error;
        }
        pending.push_back(std::move(write));
        return ERROR_SUCCESS;
    }
    CloseHandle(write->overlapped.hEvent);
    return ERROR_SUCCESS;
}

void QueuedWrites::finish(HANDLE port, DWORD limitMs) {
    const ULONGLONG end = GetTickCount64() + limitMs;
    for (const auto& write : pending) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end ||
            WaitForSingleObject(write->overlapped.hEvent, static_cast<DWORD>(end - now)) != WAIT_OBJECT_0)
            CancelIoEx(port, &write->overlapped);
        DWORD done = 0;
        GetOverlappedResult(port, &write->overlapped, &done, TRUE);
        CloseHandle(write->overlapped.hEvent);
    }
    pending.clear();
}
