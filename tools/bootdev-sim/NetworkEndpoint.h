#pragma once

#include <cstdint>
#include <string>

// Where the emulator listens for a host: tcp://HOST:PORT (the line's bytes as a raw stream) or
// rfc2217://HOST:PORT (Telnet with COM port control). HOST defaults to 127.0.0.1; PORT 0 takes a
// free port, which address() then names.
struct ListenAddress {
    bool rfc2217 = false;
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;
};

// Throws std::invalid_argument saying what is wrong with the text.
ListenAddress parseListenAddress(const std::string& text);

// The listening socket and the one host connection it serves at a time; a host that connects
// while another is served is closed at once, as a serial device server refuses a busy port.
class NetworkEndpoint {
  public:
    // Throws std::system_error when the address cannot be bound.
    explicit NetworkEndpoint(const ListenAddress& where);
    ~NetworkEndpoint();
    NetworkEndpoint(const NetworkEndpoint&) = delete;
    NetworkEndpoint& operator=(const NetworkEndpoint&) = delete;

    // "rfc2217://127.0.0.1:40123": the address a host opens, with the port bound.
    std::string address() const;
    bool rfc2217() const { return where.rfc2217; }
    int listenFd() const { return listener; }
    // The connection served, -1 while none is.
    int connectionFd() const { return connection; }
    // Takes the connections waiting; true when one of them is now served.
    bool accept();
    void closeConnection();

  private:
    ListenAddress where;
    int listener = -1;
    int connection = -1;
};
