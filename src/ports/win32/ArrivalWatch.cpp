#include "ports/win32/ArrivalWatch.h"

ArrivalWatch::ArrivalWatch(HANDLE port, std::function<void()> arrived, std::function<void(DWORD)> failed)
    : port(port), stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      looked(CreateEventW(nullptr, FALSE, FALSE, nullptr)), arrived(std::move(arrived)),
      failed(std::move(failed)) {
    SetCommMask(port, EV_RXCHAR);
    thread = std::thread([this] { run(); });
}

ArrivalWatch::~ArrivalWatch() {
    SetEvent(stop);
    thread.join();
    CloseHandle(looked);
    CloseHandle(stop);
}

void ArrivalWatch::run() {
    OVERLAPPED wait{};
    wait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    while (awaitEvent(wait)) {
        // Only a look after this notice lets the watch go on: one notice until the reader has looked.
        ResetEvent(looked);
        arrived();
        const HANDLE next[] = {stop, looked};
        if (WaitForMultipleObjects(2, next, FALSE, INFINITE) == WAIT_OBJECT_0)
            break;
    }
    CloseHandle(wait.hEvent);
}

bool ArrivalWatch::awaitEvent(OVERLAPPED& wait) {
    DWORD events = 0;
    DWORD unused = 0;
    ResetEvent(wait.hEvent);
    bool waited = WaitCommEvent(port, &events, &wait);
    if (!waited && GetLastError() == ERROR_IO_PENDING) {
        const HANDLE ends[] = {stop, wait.hEvent};
        if (WaitForMultipleObjects(2, ends, FALSE, INFINITE) == WAIT_OBJECT_0) {
            CancelIoEx(port, &wait);
            GetOverlappedResult(port, &wait, &unused, TRUE);
            return false;
        }
        waited = GetOverlappedResult(port, &wait, &unused, FALSE);
    }
    // A wait may end without an event, or fail while the port is well (its event mask set anew,
    // a driver's own quirk): only a port that no longer answers is lost. Otherwise the reader
    // looks, and the watch resumes when it has.
    if (!waited) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(port, &errors, &status)) {
            if (WaitForSingleObject(stop, 0) != WAIT_OBJECT_0)
                failed(GetLastError());
            return false;
        }
    }
    return true;
}
