#pragma once

#include <functional>
#include <thread>

#include <windows.h>

// Waits for received bytes on a port opened for overlapped I/O (WaitCommEvent on EV_RXCHAR) in a
// thread of its own, and says so through `arrived`, once until the reader has looked
// (readerLooked): a driver may report the same bytes for as long as they wait. A port that fails
// (the device gone) is said through `failed` with the system's error, after which the watch ends.
// Both are called from the watch's thread.
class ArrivalWatch {
  public:
    ArrivalWatch(HANDLE port, std::function<void()> arrived, std::function<void(DWORD)> failed);
    // Ends the wait and the thread, before the port's handle is closed.
    ~ArrivalWatch();
    ArrivalWatch(const ArrivalWatch&) = delete;
    ArrivalWatch& operator=(const ArrivalWatch&) = delete;

    // The reader has taken what was announced, or found nothing: the watch goes on.
    void readerLooked() { SetEvent(looked); }

  private:
    void run();
    // Waits for the port's next event, or its end; false when the watch is to end.
    bool awaitEvent(OVERLAPPED& wait);

    HANDLE port;
    HANDLE stop;
    HANDLE looked;
    std::function<void()> arrived;
    std::function<void(DWORD)> failed;
    std::thread thread;
};
