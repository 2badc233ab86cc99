#include "console/cli/PortNames.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <stdexcept>

#include <sys/stat.h>

#include "console/cli/CliOptions.h"
#include "link/PortAddress.h"
#include "link/PortConfig.h"
#include "link/SerialPortService.h"

namespace {

// The longest host name DNS carries.
constexpr std::size_t kLongestHostName = 253;

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string networkName(const std::string& name, const std::string& what) {
    const std::string scheme = schemeOf(name);
    const std::string rest = name.substr(scheme.size() + 3);
    std::string canonical;
    if (portKindOf(name) == PortKind::RawTcp)
        canonical = "tcp://" + rest;
    else if (portKindOf(name) == PortKind::Rfc2217)
        canonical = "rfc2217://" + rest;
    else
        throw UsageError(what + ": \"" + name +
                         "\" has an unknown scheme; a network line is tcp://HOST:PORT, " +
                         "rfc2217://HOST:PORT or socket://HOST:PORT");
    try {
        if (parseNetworkAddress(canonical).host.size() > kLongestHostName)
            throw UsageError(what + ": the host name is longer than " + std::to_string(kLongestHostName) +
                             " characters");
    } catch (const PortError& error) {
        throw UsageError(what + ": " + error.what());
    }
    return canonical;
}

std::string devicePath(const std::string& name, const std::string& what) {
    std::filesystem::path path(name);
    if (!path.is_absolute())
        path = (std::filesystem::current_path() / path).lexically_normal();
    for (const auto& part : path)
        if (part.native().size() > NAME_MAX)
            throw UsageError(what + ": a part of the path is longer than the system allows (" +
                             std::to_string(NAME_MAX) + " bytes)");
    return path.native();
}

std::string portName(const std::string& typed, const std::string& what) {
    const std::string name = trimmed(typed);
    if (name.size() >= PATH_MAX)
        throw UsageError(what + ": the name is longer than the system allows (" +
                         std::to_string(PATH_MAX - 1) + " bytes)");
    if (name.find("://") != std::string::npos)
        return networkName(name, what);
    if (name.find('/') != std::string::npos)
        return devicePath(name, what);
    // A bare name: a device under /dev first, then a COM name as the window's port box reads it.
    const std::string underDev = "/dev/" + name;
    std::error_code ignored;
    if (std::filesystem::exists(underDev, ignored))
        return devicePath(underDev, what);
    try {
        portNumberOf(name);
        return name;
    } catch (const std::exception&) {
        // Not a port number: a device under /dev that is not there (yet), unless it reads as COM.
    }
    if (schemeOf(name.substr(0, 3) + "://") == "com")
        throw UsageError(what + ": \"" + name + "\" names no port; COM needs its number, as in COM3");
    return devicePath(underDev, what);
}

// What a port name opens, to tell one port under two names: a device by its device number (or
// its real path while it is not there), COMn as the device it stands for, a network line by its
// host and TCP port, whatever the scheme.
std::string portIdentity(const std::string& name) {
    const PortKind kind = portKindOf(name);
    if (kind == PortKind::RawTcp || kind == PortKind::Rfc2217) {
        const NetworkAddress address = parseNetworkAddress(name);
        std::string host = address.host;
        std::transform(host.begin(), host.end(), host.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        return "network " + host + " " + std::to_string(address.port);
    }
    std::string path = name;
    try {
        if (kind == PortKind::Number)
            path = portNameForNumber(portNumberOf(name));
    } catch (const std::exception&) {
        // A number no device stands for (COM0): the name alone tells it apart.
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0)
        return S_ISCHR(status.st_mode)
                   ? "device " + std::to_string(status.st_rdev)
                   : "file " + std::to_string(status.st_dev) + " " + std::to_string(status.st_ino);
    std::error_code ignored;
    return "path " + std::filesystem::weakly_canonical(path, ignored).native();
}

} // namespace

std::vector<std::string> portList(const std::vector<std::string>& texts, const std::string& what) {
    std::vector<std::string> names, typed, identities;
    for (const std::string& text : texts) {
        if (text.find_first_not_of(", \t") == std::string::npos)
            throw UsageError(what + " needs a port name, not \"" + text + "\"");
        std::size_t from = 0;
        while (from <= text.size()) {
            const std::size_t comma = std::min(text.find(',', from), text.size());
            const std::string part = trimmed(text.substr(from, comma - from));
            from = comma + 1;
            // "a,,b" and a trailing comma are slips of typing.
            if (part.empty())
                continue;
            names.push_back(portName(part, what));
            identities.push_back(portIdentity(names.back()));
            // Two runs on one port would fight over it: refused before anything is sent.
            const auto same = std::find(identities.begin(), identities.end() - 1, identities.back());
            if (same != identities.end() - 1)
                throw UsageError(what + ": \"" + typed[static_cast<std::size_t>(same - identities.begin())] +
                                 "\" and \"" + part + "\" name the same port");
            typed.push_back(part);
        }
    }
    return names;
}
