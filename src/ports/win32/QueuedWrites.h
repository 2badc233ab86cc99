#pragma once

#include <deque>
#include <memory>
#include <string>

#include <windows.h>

// Writes handed to a port's driver (opened for overlapped I/O) that may still be leaving the wire:
// each keeps its bytes until the driver is done with them, so that a write returns at once.
class QueuedWrites {
  public:
    QueuedWrites() = default;
    ~QueuedWrites();
    QueuedWrites(const QueuedWrites&) = delete;
    QueuedWrites& operator=(const QueuedWrites&) = delete;

    // Hands `bytes` to the driver. Returns the system's error of a write that failed, now or
    // earlier, ERROR_SUCCESS when none did.
    DWORD write(HANDLE port, const std::string& bytes);
    // Gives the bytes written up to `limitMs` to leave, then cancels what is left; before closing.
    void finish(HANDLE port, DWORD limitMs);

  private:
    struct Pending {
        std::string bytes;
        OVERLAPPED overlapped{};
    };
    // Drops the writes the driver is done with; the error of one that failed, if any.
    DWORD reap(HANDLE port);

    std::deque<std::unique_ptr<Pending>> pending;
};
