#pragma once

#include <functional>

// A port binding that says when received bytes are waiting, so a reader can take them on
// arrival instead of polling. The window and the flasher both take replies this way.
class ReadyReadSource {
  public:
    virtual void setOnReadyRead(std::function<void()> onReadyRead) = 0;
    // Stops watching the line for arrivals: received bytes wait in the driver unannounced until
    // the watch resumes. A hint: a binding that goes on announcing is still correct, only busier.
    // Closing the port ends a pause.
    virtual void pauseReadyRead() {}
    // Watches the line again; bytes already waiting are announced at once. Returns whether any
    // were waiting (false where that cannot be told).
    virtual bool resumeReadyRead() { return false; }

  protected:
    ~ReadyReadSource() = default;
};
