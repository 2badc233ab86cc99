#include "ports/NetworkPortService.h"

#include <QEventLoop>

NetworkPortService::NetworkPortService() {
    line.setOnArrival([this] {
        if (state == Reach::SettingUp)
            setUpArrival();
        else if (opened && reader)
            reader();
    });
}

void NetworkPortService::setSettings(const std::string& text) {
    lineSettings = parseLineSettings(text); // refused here as a serial port would refuse it
    settingsText = text;
}

void NetworkPortService::setCommPort(std::int16_t) {
    throw PortError("a network line has no port number");
}

void NetworkPortService::reach(const std::string& portText, const std::string& settings,
                               std::function<void()> onReached) {
    setPortOpen(false);
    reached = std::move(onReached);
    reachedAddress = portText;
    reachedSettings = settings;
    try {
        setSettings(settings);
        state = Reach::Connecting;
        line.connectTo(portText, [this] {
            if (line.failure()) {
                settle(line.failure());
                return;
            }
            state = Reach::SettingUp;
            startSetUp();
        });
    } catch (const PortError& error) {
        settle(error);
    }
}

void NetworkPortService::settle(std::optional<PortError> why) {
    failure = std::move(why);
    state = Reach::Reached;
    if (failure)
        line.close();
    if (const std::function<void()> told = std::exchange(reached, nullptr))
        told();
}

void NetworkPortService::setPortOpen(bool open) {
    received.clear();
    if (!open) {
        state = Reach::None;
        reached = nullptr;
        opened = false;
        line.close();
        return;
    }
    if (opened)
        throw PortError("Port already open");
    const bool ready =
        state == Reach::Reached && reachedAddress == address && reachedSettings == settingsText;
    if (!ready) {
        // A second open while the first still waits would take its line away from under it.
        if (waiting)
            throw line.error("the line is still being reached");
        waiting = true;
        QEventLoop wait;
        reach(address, settingsText, [&wait] { wait.quit(); });
        if (state != Reach::Reached)
            wait.exec();
        waiting = false;
    }
    state = Reach::None;
    if (failure)
        throw *std::exchange(failure, std::nullopt);
    opened = true;
}

void NetworkPortService::hold(const std::string& bytes) {
    received += bytes;
    if (received.size() > kHeldBytes)
        received.erase(0, received.size() - kHeldBytes);
}

int NetworkPortService::inBufferCount() {
    gather();
    return static_cast<int>(received.size());
}

std::string NetworkPortService::input() {
    gather();
    std::string taken;
    taken.swap(received);
    return taken;
}
