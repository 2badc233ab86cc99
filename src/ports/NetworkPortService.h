#pragma once

#include <string>

#include "link/PortConfig.h"
#include "link/SerialPortService.h"
#include "ports/NetworkLine.h"
#include "ports/qt/ReadyReadSource.h"

// What every line reached over the network has in common: an address instead of a port number,
// the connection, reached without waiting and taken by the next open, and the line's bytes
// gathered from it until the logic takes them. How the bytes are framed on the connection, and
// how the settings reach the line, is each kind's own.
class NetworkPortService : public SerialPortService, public ReadyReadSource {
  public:
    NetworkPortService();

    void setSettings(const std::string& settings) override;
    void setCommPort(std::int16_t number) override;
    void setCommPath(const std::string& path) override { address = path; }
    void reach(const std::string& portText, const std::string& settings,
               std::function<void()> reached) override;
    // Takes the line reached for the same address and settings. Without one it reaches the line
    // itself, running the event loop until it stands, so a caller that did not reach first still
    // gets a line that is set up.
    void setPortOpen(bool open) override;
    bool portOpen() const override { return opened; }
    int inBufferCount() override;
    std::string input() override;
    void setOnReadyRead(std::function<void()> onReadyRead) override { reader = std::move(onReadyRead); }

    // The most bytes of the line held for the logic: far more than the reply search needs. Past
    // it the oldest are dropped, as a serial port's full receive buffer loses bytes.
    static constexpr std::size_t kHeldBytes = 4096;

  protected:
    enum class Reach { None, Connecting, SettingUp, Reached };

    // The connection stands: a kind with a set-up of its own starts it here and calls settle()
    // when done; without one the line is reached at once.
    virtual void startSetUp() { settle(std::nullopt); }
    // Bytes arrived while setting up.
    virtual void setUpArrival() {}
    void settle(std::optional<PortError> failure);
    bool settingUp() const { return state == Reach::SettingUp; }
    // Moves what the connection has brought into `received`, the line's own bytes only.
    virtual void gather() = 0;
    void hold(const std::string& bytes);

    NetworkLine line;
    LineSettings lineSettings;

  private:
    Reach state = Reach::None;
    std::string address, settingsText;
    std::string reachedAddress, reachedSettings;
    std::optional<PortError> failure;
    std::function<void()> reached;
    std::function<void()> reader;
    std::string received;
    bool opened = false;
    bool waiting = false;
};
