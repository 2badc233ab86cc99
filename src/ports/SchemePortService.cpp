#include "ports/SchemePortService.h"

#include "ports/Rfc2217PortService.h"
#include "ports/TcpPortService.h"
#include "ports/qt/QtSerialPortService.h"

namespace {

bool isSerial(PortKind kind) {
    return kind == PortKind::Number || kind == PortKind::DevicePath;
}

} // namespace

std::unique_ptr<SerialPortService> makePortService(PortKind kind) {
    switch (kind) {
    case PortKind::RawTcp:
        return std::make_unique<TcpPortService>();
    case PortKind::Rfc2217:
        return std::make_unique<Rfc2217PortService>();
    case PortKind::Number:
    case PortKind::DevicePath:
        break;
    }
    return std::make_unique<QtSerialPortService>();
}

SchemePortService::SchemePortService() : current(makePortService(PortKind::Number)) {}

SchemePortService::~SchemePortService() = default;

void SchemePortService::setSettings(const std::string& text) {
    current->setSettings(text);
    settings = text;
}

// Another kind of line replaces the one before, which is closed by then: the port box is
// locked while a port is open.
void SchemePortService::choose(PortKind wanted) {
    const bool sameLine = isSerial(wanted) ? isSerial(kind) : wanted == kind;
    kind = sameLine ? wanted : kind;
    if (sameLine)
        return;
    if (current->portOpen())
        throw PortError("Port already open");
    current = makePortService(wanted);
    if (!settings.empty())
        current->setSettings(settings);
    handOnReadyRead();
    handOnAdapterTuned();
    kind = wanted;
}

void SchemePortService::setOnAdapterTuned(std::function<void(const std::string&)> callback) {
    onAdapterTuned = std::move(callback);
    handOnAdapterTuned();
}

void SchemePortService::handOnAdapterTuned() {
    if (auto* serial = dynamic_cast<QtSerialPortService*>(current.get()))
        serial->setOnAdapterTuned(onAdapterTuned);
}

void SchemePortService::setOnReadyRead(std::function<void()> callback) {
    onReadyRead = std::move(callback);
    handOnReadyRead();
}

ReadyReadSource* SchemePortService::currentSource() const {
    return dynamic_cast<ReadyReadSource*>(current.get());
}

void SchemePortService::pauseReadyRead() {
    if (ReadyReadSource* source = currentSource())
        source->pauseReadyRead();
}

bool SchemePortService::resumeReadyRead() {
    ReadyReadSource* source = currentSource();
    return source && source->resumeReadyRead();
}

void SchemePortService::handOnReadyRead() {
    ReadyReadSource* source = currentSource();
    if (source && onReadyRead)
        source->setOnReadyRead(onReadyRead);
}

void SchemePortService::setCommPort(std::int16_t number) {
    choose(PortKind::Number);
    current->setCommPort(number);
}

void SchemePortService::setCommPath(const std::string& path) {
    choose(portKindOf(path));
    current->setCommPath(path);
}

void SchemePortService::reach(const std::string& portText, const std::string& lineSettings,
                              std::function<void()> reached) {
    try {
        choose(portKindOf(portText));
    } catch (const PortError&) {
        reached(); // an open line stays: the next open says so
        return;
    }
    current->reach(portText, lineSettings, std::move(reached));
}

void SchemePortService::setPortOpen(bool open) {
    current->setPortOpen(open);
}
