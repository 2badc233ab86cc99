#include <string>

#include "WindowTestSupport.h"
#include "link/PortAddress.h"
#include "link/SerialPortService.h"
#include "link/TelnetComPort.h"

namespace {

// Telnet's bytes by name, so a transcript reads as the protocol does.
constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240, NOP = 241;
constexpr std::uint8_t BINARY = 0, ECHO = 1, SGA = 3, COM_PORT = 44, LINEMODE = 34;

// The server agreeing to everything the client offers, then confirming 19200 baud.
std::string agreement() {
    return bytes({IAC, DO, COM_PORT, IAC, DO, BINARY, IAC, WILL, BINARY, IAC, WILL, SGA});
}
std::string baudConfirmed(std::uint32_t baud) {
    return bytes({IAC, SB, COM_PORT, 101, static_cast<std::uint8_t>(baud >> 24),
                  static_cast<std::uint8_t>(baud >> 16), static_cast<std::uint8_t>(baud >> 8),
                  static_cast<std::uint8_t>(baud), IAC, SE});
}

LineSettings settings19200() {
    return parseLineSettings("19200,n,8,1");
}

} // namespace

TEST(PortText, ReadsHostAndPortOrSaysWhatIsWrong) {
    const struct {
        const char* text;
        const char* host; // nullptr: refused
        int port;
    } table[] = {
        {"tcp://127.0.0.1:2000", "127.0.0.1", 2000},
        {"rfc2217://gateway.local:4001", "gateway.local", 4001},
        {"tcp://[::1]:7", "::1", 7},
        {"tcp://host", nullptr, 0},
        {"tcp://:2000", nullptr, 0},
        {"tcp://host:0", nullptr, 0},
        {"tcp://host:65536", nullptr, 0},
        {"tcp://host:20x", nullptr, 0},
        {"tcp://::1:7", nullptr, 0}, // IPv6 needs its brackets
        {"tcp://[::1]7", nullptr, 0},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.text);
        if (!row.host) {
            EXPECT_THROW(parseNetworkAddress(row.text), PortError);
            continue;
        }
        const NetworkAddress address = parseNetworkAddress(row.text);
        EXPECT_EQ(address.host, row.host);
        EXPECT_EQ(address.port, row.port);
    }
}

TEST(TelnetComPort, OffersComPortControlAndSetsTheLineOnceAgreed) {
    TelnetComPort telnet;
    EXPECT_EQ(hexBytes(telnet.start(settings19200())),
              hexBytes(bytes({IAC, WILL, COM_PORT, // we control the remote port
                              IAC, WILL, BINARY,   // 8-bit data both ways
                              IAC, DO, BINARY,     //
                              IAC, DO, SGA})));    // no go-ahead
    EXPECT_EQ(telnet.comPortState(), TelnetComPort::ComPortState::Asked);
    EXPECT_EQ(telnet.receive(agreement()), "");
    EXPECT_EQ(telnet.comPortState(), TelnetComPort::ComPortState::Agreed);
    // Answers to what we asked for are not answered again; only the settings follow.
    EXPECT_EQ(hexBytes(telnet.takeReplies()),
              hexBytes(bytes({IAC, SB, COM_PORT, 1, 0x00, 0x00, 0x4B, 0x00, IAC, SE, // SET-BAUDRATE 19200
                              IAC, SB, COM_PORT, 2, 8,    IAC,  SE,                  // SET-DATASIZE 8
                              IAC, SB, COM_PORT, 3, 1,    IAC,  SE,                  // SET-PARITY NONE
                              IAC, SB, COM_PORT, 4, 1,    IAC,  SE})));              // SET-STOPSIZE 1
    EXPECT_FALSE(telnet.confirmedBaud());
    EXPECT_EQ(telnet.receive(baudConfirmed(19200)), "");
    EXPECT_EQ(telnet.confirmedBaud(), 19200u);
}

// The server's bytes cut at every position must give the same data and the same answers.
TEST(TelnetComPort, DataAndCommandsSplitAtAnyByte) {
    const std::string stream = agreement() +
                               "\x01"
                               "B" +
                               bytes({IAC, IAC}) + "OK" +
                               bytes({IAC, NOP, IAC, WILL, ECHO, IAC, DO, LINEMODE}) + baudConfirmed(9600) +
                               bytes({IAC, SB, COM_PORT, 107, 0x33, IAC, SE}) + "\r\n" + bytes({IAC, IAC});
    const std::string data = std::string("\x01"
                                         "B\xFF"
                                         "OK\r\n\xFF");
    const std::string refusals = bytes({IAC, DONT, ECHO, IAC, WONT, LINEMODE});
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        TelnetComPort telnet;
        telnet.start(parseLineSettings("9600,n,8,1"));
        std::string got = telnet.receive(stream.substr(0, cut));
        got += telnet.receive(stream.substr(cut));
        EXPECT_EQ(hexBytes(got), hexBytes(data));
        EXPECT_EQ(telnet.confirmedBaud(), 9600u);
        const std::string replies = telnet.takeReplies();
        EXPECT_NE(replies.find(refusals), std::string::npos) << hexBytes(replies);
    }
}

TEST(TelnetComPort, RefusalOfComPortControlIsReported) {
    TelnetComPort telnet;
    telnet.start(settings19200());
    telnet.receive(bytes({IAC, DONT, COM_PORT}));
    EXPECT_EQ(telnet.comPortState(), TelnetComPort::ComPortState::Refused);
    EXPECT_EQ(telnet.takeReplies(), ""); // a refusal of our own offer needs no answer
}

TEST(TelnetComPort, EncodingDoublesIacAndKeepsACrAloneOutsideBinary) {
    TelnetComPort telnet;
    telnet.start(settings19200());
    const std::string frame = bytes({0x01, 0xFF, 0x0D, 0x0A, 0x0D});
    // Before the server agrees to binary, a CR goes as CR NUL.
    EXPECT_EQ(hexBytes(telnet.encode(frame)),
              hexBytes(bytes({0x01, 0xFF, 0xFF, 0x0D, 0x00, 0x0A, 0x0D, 0x00})));
    telnet.receive(agreement());
    EXPECT_EQ(hexBytes(telnet.encode(frame)), hexBytes(bytes({0x01, 0xFF, 0xFF, 0x0D, 0x0A, 0x0D})));
    // And a server outside binary mode sends a lone CR as CR NUL.
    TelnetComPort plain;
    plain.start(settings19200());
    EXPECT_EQ(hexBytes(plain.receive(bytes({'A', 0x0D, 0x00, 'B', 0x0D, 0x0A}))), hexBytes("A\rB\r\n"));
}

// A hostile server asking again and again for options we refuse: each is refused once, so the
// answers owed stay bounded whatever the server sends.
TEST(TelnetComPort, AnOptionStormIsAnsweredOnce) {
    TelnetComPort telnet;
    telnet.start(settings19200());
    telnet.takeReplies();
    std::string storm;
    for (int i = 0; i < 1000; ++i)
        storm += bytes({IAC, DO, LINEMODE, IAC, WILL, ECHO});
    EXPECT_EQ(telnet.receive(storm), "");
    EXPECT_EQ(hexBytes(telnet.takeReplies()), hexBytes(bytes({IAC, WONT, LINEMODE, IAC, DONT, ECHO})));
}
