#include "console/ports/PortListing.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPortInfo>

#include "console/output/JsonResultWriter.h"
#include "link/VisibleText.h"
#include "ports/qt/AdapterLatency.h"

namespace {

constexpr const char* kStableNames = "/dev/serial/by-id";

std::string stableNameOf(const QString& devicePath) {
    const QDir links(kStableNames);
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    for (const QFileInfo& link : links.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (link.canonicalFilePath() == target)
            return link.absoluteFilePath().toStdString();
    return {};
}

std::string usbIds(const PortEntry& port) {
    if (!port.onUsb())
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", *port.vendorId, port.productId.value_or(0));
    return text;
}

// A USB adapter names itself: its description and serial number are device text.
std::string orDash(const std::string& text) {
    return text.empty() ? "-" : visibleText(text);
}

QJsonValue orNull(const std::string& text) {
    return text.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(text));
}

std::string listOf(const std::vector<PortEntry>& ports) {
    if (ports.empty())
        return "none";
    std::string list;
    for (const auto& port : ports)
        list += (list.empty() ? "" : ", ") + port.devicePath + (port.onUsb() ? " (USB)" : "");
    return list;
}

} // namespace

std::vector<PortEntry> availablePorts() {
    std::vector<PortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortEntry entry;
        entry.devicePath = info.systemLocation().toStdString();
        entry.stableName = stableNameOf(info.systemLocation());
        if (info.hasVendorIdentifier())
            entry.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            entry.productId = info.productIdentifier();
        entry.serialNumber = info.serialNumber().toStdString();
        entry.description = info.description().toStdString();
        entry.latencyTimerMs = adapterLatencyTimer("/sys", entry.devicePath);
        ports.push_back(entry);
    }
    return ports;
}

std::string portsText(const std::vector<PortEntry>& ports) {
    std::string text;
    for (const auto& port : ports)
        text += visibleText(port.devicePath) + "\t" + orDash(port.stableName) + "\t" + orDash(usbIds(port)) +
                "\t" + orDash(port.serialNumber) + "\t" + orDash(port.description) + "\t" +
                (port.latencyTimerMs ? std::to_string(*port.latencyTimerMs) + " ms" : "-") + "\n";
    return text;
}

std::string portsJson(const std::vector<PortEntry>& ports) {
    QJsonArray list;
    for (const auto& port : ports) {
        QJsonObject entry;
        entry["path"] = QString::fromStdString(port.devicePath);
        entry["by_id"] = orNull(port.stableName);
        entry["vendor_id"] = port.vendorId ? QJsonValue(*port.vendorId) : QJsonValue();
        entry["product_id"] = port.productId ? QJsonValue(*port.productId) : QJsonValue();
        entry["serial_number"] = orNull(port.serialNumber);
        entry["description"] = orNull(port.description);
        entry["latency_timer_ms"] = port.latencyTimerMs ? QJsonValue(*port.latencyTimerMs) : QJsonValue();
        list.append(entry);
    }
    return compactJson(QJsonDocument(list));
}

PortChoice choosePort(const std::string& given, const std::vector<PortEntry>& ports) {
    if (!given.empty())
        return {given, false};
    std::vector<PortEntry> usb;
    for (const auto& port : ports)
        if (port.onUsb())
            usb.push_back(port);
    if (usb.size() == 1)
        return {usb.front().stableName.empty() ? usb.front().devicePath : usb.front().stableName, true};
    const std::string found = "ports found: " + listOf(ports);
    if (usb.empty())
        throw PortChoiceError(
            "no port given (--port or BOOTFLASH_PORT) and no USB serial port found; " + found, false);
    throw PortChoiceError("no port given (--port or BOOTFLASH_PORT) and " + std::to_string(usb.size()) +
                              " USB serial ports found, name one; " + found,
                          true);
}
