#include <algorithm>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <utility>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include "ports/NetworkPortService.h"
#include "ports/SchemePortService.h"

// The network lines against a server on the loopback address whose every byte the test writes.
// The server answers from the test's own event loop, which opening a line turns while it waits.
namespace {

constexpr char IAC = '\xFF', DONT = '\xFE', DO = '\xFD', SB = '\xFA', SE = '\xF0';
constexpr char COM_PORT = 44;
// What the client offers first on an rfc2217:// line: WILL COM-PORT, WILL/DO BINARY, DO SGA.
constexpr std::size_t kOfferBytes = 12;

// Once `awaited` bytes have come on a connection, sends `reply`, then closes if `closing`.
class ScriptedServer {
  public:
    ScriptedServer(std::size_t awaited, std::string reply, bool closing) {
        listener.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&listener, &QTcpServer::newConnection, [=, this] {
            QTcpSocket* socket = listener.nextPendingConnection();
            const auto answer = [=, this] {
                received += socket->readAll().toStdString();
                if (received.size() < awaited || std::exchange(answered, true))
                    return;
                socket->write(reply.data(), static_cast<qint64>(reply.size()));
                if (closing)
                    socket->disconnectFromHost(); // after what is still to be written
            };
            QObject::connect(socket, &QTcpSocket::readyRead, answer);
            answer();
        });
    }
    std::string address(const std::string& scheme) const {
        return scheme + "://127.0.0.1:" + std::to_string(listener.serverPort());
    }

    QTcpServer listener;
    std::string received;
    bool answered = false;
};

// Looks at the line until it reports the server's closing; returns why.
std::string lookUntilLost(const std::function<void()>& look) {
    std::string lost;
    (void)QTest::qWaitFor(
        [&] {
            try {
                look();
            } catch (const PortLostError& error) {
                lost = error.what();
            }
            return !lost.empty();
        },
        10000);
    return lost;
}

std::string everyByte() {
    std::string bytes(256, '\0');
    std::iota(bytes.begin(), bytes.end(), '\0');
    return bytes;
}

void open(SchemePortService& port, const std::string& address) {
    port.setSettings("115200,n,8,1");
    port.setCommPath(address);
    port.setPortOpen(true);
}

} // namespace

TEST(NetworkPort, RawTcpCarriesEveryByteBothWaysAndReportsTheServerClosing) {
    ScriptedServer server(256, everyByte(), true);
    SchemePortService port;
    open(port, server.address("tcp"));
    port.output(everyByte());
    std::string got;
    const std::string lost = lookUntilLost([&] { got += port.input(); });
    EXPECT_EQ(server.received, everyByte());
    EXPECT_EQ(got, everyByte());
    EXPECT_EQ(lost, server.address("tcp") + ": the server closed the connection");
    port.setPortOpen(false);
    EXPECT_FALSE(port.portOpen());
}

// A server flooding the line holds no more of its bytes than the bound, on either kind of line.
TEST(NetworkPort, AFloodIsHeldToTheBound) {
    const std::string flood(1 << 20, 'x');
    const std::string settingsConfirmed{IAC, DO, COM_PORT, IAC, SB, COM_PORT, 101, 0, 1, '\xC2', 0, IAC, SE};
    for (const bool telnet : {false, true}) {
        SCOPED_TRACE(telnet ? "rfc2217" : "tcp");
        ScriptedServer server(telnet ? kOfferBytes : 0, telnet ? settingsConfirmed + flood : flood, true);
        SchemePortService port;
        open(port, server.address(telnet ? "rfc2217" : "tcp"));
        int mostHeld = 0;
        lookUntilLost([&] { mostHeld = std::max(mostHeld, port.inBufferCount()); });
        EXPECT_EQ(mostHeld, static_cast<int>(NetworkPortService::kHeldBytes));
    }
}

TEST(NetworkPort, OpenFailsWithTheAddressAndTheReason) {
    const struct {
        const char* scheme;
        std::optional<std::string> answer; // none: nothing listens
        const char* reason;
    } cases[] = {
        {"tcp", std::nullopt, "Connection refused"},
        {"rfc2217", std::string{IAC, DONT, COM_PORT}, "the server refuses COM port control (RFC 2217)"},
        {"rfc2217", std::string{IAC, DO, COM_PORT, IAC, SB, COM_PORT, 101, 0, 0, 0x25, '\x80', IAC, SE},
         "the server set the line to 9600 baud instead of 115200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ScriptedServer server(kOfferBytes, c.answer.value_or(""), false);
        const std::string address = server.address(c.scheme);
        if (!c.answer)
            server.listener.close();
        SchemePortService port;
        try {
            open(port, address);
            ADD_FAILURE() << "opened";
        } catch (const PortError& error) {
            EXPECT_EQ(std::string(error.what()), address + ": " + c.reason);
        }
        EXPECT_FALSE(port.portOpen());
    }
}
