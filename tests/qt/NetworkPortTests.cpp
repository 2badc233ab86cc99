#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

#include "ports/NetworkPortService.h"
#include "ports/SchemePortService.h"

// The network lines against a server on the loopback address whose every byte the test writes.
// The server runs on a thread of its own: opening an rfc2217:// line waits for its answers.
namespace {

constexpr char IAC = '\xFF', DONT = '\xFE', DO = '\xFD', SB = '\xFA', SE = '\xF0';
constexpr char COM_PORT = 44;

// One accepted connection, read and written with blocking calls on the server's thread.
class ServerSide {
  public:
    explicit ServerSide(QTcpSocket& socket) : socket(socket) {}
    std::string receive(std::size_t count) {
        while (buffer.size() < count && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(5000)))
            buffer += socket.readAll().toStdString();
        std::string taken = buffer.substr(0, std::min(count, buffer.size()));
        buffer.erase(0, taken.size());
        return taken;
    }
    void send(const std::string& bytes) {
        socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket.waitForBytesWritten(5000);
    }
    void close() {
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState)
            socket.waitForDisconnected(5000);
    }
    // Waits until the port under test has closed its end.
    void awaitClose() {
        while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
            socket.readAll();
    }

  private:
    QTcpSocket& socket;
    std::string buffer;
};

class ScriptedServer {
  public:
    explicit ScriptedServer(std::function<void(ServerSide&)> script) {
        std::promise<quint16> listening;
        port = listening.get_future();
        thread = std::thread([script = std::move(script), &listening] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            listening.set_value(server.serverPort());
            if (!server.waitForNewConnection(10000)) {
                ADD_FAILURE() << "no connection came";
                return;
            }
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            ServerSide side(*socket);
            script(side);
        });
        portNumber = port.get();
    }
    ~ScriptedServer() { thread.join(); }

    std::string address(const std::string& scheme) const {
        return scheme + "://127.0.0.1:" + std::to_string(portNumber);
    }

  private:
    std::future<quint16> port;
    quint16 portNumber = 0;
    std::thread thread;
};

std::string collect(SerialPortService& port, std::size_t count) {
    std::string got;
    (void)QTest::qWaitFor(
        [&] {
            if (port.inBufferCount() > 0)
                got += port.input();
            return got.size() >= count;
        },
        5000);
    return got;
}

std::string everyByte() {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

} // namespace

TEST(NetworkPort, RawTcpCarriesEveryByteBothWaysAndReportsTheServerClosing) {
    ScriptedServer server([](ServerSide& side) {
        EXPECT_EQ(side.receive(256), everyByte());
        side.send(everyByte());
        side.close();
    });
    SchemePortService port;
    port.setSettings("115200,n,8,1");
    port.setCommPath(server.address("tcp"));
    port.setPortOpen(true);
    ASSERT_TRUE(port.portOpen());

    port.output(everyByte());
    EXPECT_EQ(collect(port, 256), everyByte());
    std::string why;
    (void)QTest::qWaitFor(
        [&] {
            try {
                port.inBufferCount();
            } catch (const PortLostError& error) {
                why = error.what();
            }
            return !why.empty();
        },
        5000);
    EXPECT_EQ(why, server.address("tcp") + ": the server closed the connection");
    port.setPortOpen(false);
    EXPECT_FALSE(port.portOpen());
}

// A server flooding the line holds no more of its bytes than the bound, on either kind of line.
TEST(NetworkPort, AFloodIsHeldToTheBound) {
    for (const char* scheme : {"tcp", "rfc2217"}) {
        SCOPED_TRACE(scheme);
        ScriptedServer server([scheme](ServerSide& side) {
            if (std::string(scheme) == "rfc2217") {
                side.receive(12);
                side.send({IAC, DO, COM_PORT, IAC, SB, COM_PORT, 101, 0, 1, '\xC2', 0, IAC, SE});
            }
            side.send(std::string(1 << 20, 'x'));
            side.close();
        });
        SchemePortService port;
        port.setSettings("115200,n,8,1");
        port.setCommPath(server.address(scheme));
        port.setPortOpen(true);
        int mostHeld = 0;
        (void)QTest::qWaitFor(
            [&] {
                try {
                    mostHeld = std::max(mostHeld, port.inBufferCount());
                    return false;
                } catch (const PortLostError&) {
                    return true;
                }
            },
            10000);
        EXPECT_EQ(mostHeld, static_cast<int>(NetworkPortService::kHeldBytes));
    }
}

TEST(NetworkPort, Rfc2217OpenFailsWithTheReasonWhenTheServerWillNotSetTheLine) {
    const struct {
        const char* name;
        std::string answer;
        const char* reason;
    } cases[] = {
        {"refused", {IAC, DONT, COM_PORT}, "the server refuses COM port control (RFC 2217)"},
        {"another speed",
         {IAC, DO, COM_PORT, IAC, SB, COM_PORT, 101, 0, 0, 0x25, '\x80', IAC, SE},
         "the server set the line to 9600 baud instead of 115200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server([&](ServerSide& side) {
            side.receive(12);
            side.send(c.answer);
            side.awaitClose();
        });
        SchemePortService port;
        port.setSettings("115200,n,8,1");
        port.setCommPath(server.address("rfc2217"));
        try {
            port.setPortOpen(true);
            ADD_FAILURE() << "opened";
        } catch (const PortError& error) {
            EXPECT_EQ(std::string(error.what()), server.address("rfc2217") + ": " + c.reason);
        }
        EXPECT_FALSE(port.portOpen());
    }
}
