#include "NetworkEndpoint.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

ListenAddress parseListenAddress(const std::string& text) {
    ListenAddress where;
    std::string rest;
    if (text.starts_with("tcp://")) {
        rest = text.substr(6);
    } else if (text.starts_with("rfc2217://")) {
        where.rfc2217 = true;
        rest = text.substr(10);
    } else {
        throw std::invalid_argument("--listen needs tcp://HOST:PORT or rfc2217://HOST:PORT, not " + text);
    }
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos)
        throw std::invalid_argument("--listen: no :PORT in " + text);
    const std::string host = rest.substr(0, colon);
    if (!host.empty())
        where.host = host == "localhost" ? "127.0.0.1" : host;
    in_addr probe{};
    if (inet_pton(AF_INET, where.host.c_str(), &probe) != 1)
        throw std::invalid_argument("--listen: HOST must be an IPv4 address, not " + host);
    const std::string port = rest.substr(colon + 1);
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), where.port);
    if (port.empty() || error != std::errc() || end != port.data() + port.size())
        throw std::invalid_argument("--listen: PORT must be a number from 0 to 65535, not " + port);
    return where;
}

NetworkEndpoint::NetworkEndpoint(const ListenAddress& wanted) : where(wanted) {
    listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0)
        throw std::system_error(errno, std::generic_category(), "socket");
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(where.port);
    inet_pton(AF_INET, where.host.c_str(), &socketAddress.sin_addr);
    if (bind(listener, reinterpret_cast<sockaddr*>(&socketAddress), sizeof socketAddress) != 0 ||
        listen(listener, 4) != 0) {
        const int error = errno;
        close(listener);
        throw std::system_error(error, std::generic_category(), "cannot listen on " + address());
    }
    socklen_t length = sizeof socketAddress;
    getsockname(listener, reinterpret_cast<sockaddr*>(&socketAddress), &length);
    where.port = ntohs(socketAddress.sin_port);
}

NetworkEndpoint::~NetworkEndpoint() {
    closeConnection();
    if (listener >= 0)
        close(listener);
}

std::string NetworkEndpoint::address() const {
    return std::string(where.rfc2217 ? "rfc2217://" : "tcp://") + where.host + ":" + std::to_string(where.port);
}

bool NetworkEndpoint::accept() {
    bool started = false;
    for (int client; (client = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
        if (connection >= 0) {
            close(client);
            continue;
        }
        const int yes = 1;
        // Replies are small and each is awaited: none may wait for a fuller packet.
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        connection = client;
        started = true;
    }
    return started;
}

void NetworkEndpoint::closeConnection() {
    if (connection >= 0)
        close(connection);
    connection = -1;
}
