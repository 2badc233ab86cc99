#pragma once

#include <functional>

// A port binding that says when received bytes are waiting, so a reader can take them on
// arrival instead of polling. The window keeps polling; the flasher uses this.
class ReadyReadSource {
public:
    virtual void setOnReadyRead(std::function<void()> onReadyRead) = 0;

protected:
    ~ReadyReadSource() = default;
};
