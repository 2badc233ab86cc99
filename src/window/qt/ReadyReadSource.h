#pragma once

#include <functional>

// A port binding that says when received bytes are waiting, so a reader can take them on
// arrival instead of polling. The window keeps polling; the flasher uses this.
class ReadyReadSource {
public:
    virtual void setOnReadyRead(std::function<void()> onReadyRead) = 0;
    // Stops (true) or resumes watching the line for arrivals. While paused, received bytes wait in
    // the driver unannounced; on resuming, bytes already waiting are announced at once. A hint too:
    // a binding that goes on announcing is still correct, only busier. Closing the port ends a pause.
    virtual void pauseReadyRead(bool paused) { (void)paused; }

protected:
    ~ReadyReadSource() = default;
};
