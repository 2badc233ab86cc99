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
#include "window/qt/MainWindow.h"

// The network lines against a server on the loopback address whose every byte the test writes.
// The server runs on a thread of its own: opening an rfc2217:// line waits for its answers.
namespace {

constexpr char IAC = '\xFF', DONT = '\xFE', DO = '\xFD', WILL = '\xFB', SB = '\xFA', SE = '\xF0';
constexpr char BINARY = 0, SGA = 3, COM_PORT = 44;

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

std::string hex(const std::string& bytes) {
    std::string text;
    char digits[4];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", b);
        text += digits;
    }
    return text;
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

TEST(NetworkPort, Rfc2217SetsTheLineThenCarriesDataWithIacDoubled) {
    ScriptedServer server([](ServerSide& side) {
        const std::string offers{IAC, WILL, COM_PORT, IAC, WILL, BINARY, IAC, DO, BINARY, IAC, DO, SGA};
        EXPECT_EQ(hex(side.receive(offers.size())), hex(offers));
        side.send({IAC, DO, COM_PORT, IAC, DO, BINARY, IAC, WILL, BINARY, IAC, WILL, SGA});
        const std::string settings{IAC, SB, COM_PORT, 1, 0, 0,   0x4B, 0, IAC, SE, // SET-BAUDRATE 19200
                                   IAC, SB, COM_PORT, 2, 8, IAC, SE,               // 8 data bits
                                   IAC, SB, COM_PORT, 3, 1, IAC, SE,               // no parity
                                   IAC, SB, COM_PORT, 4, 1, IAC, SE};              // 1 stop bit
        EXPECT_EQ(hex(side.receive(settings.size())), hex(settings));
        // The confirmation in two pieces, as a network may deliver it.
        side.send({IAC, SB, COM_PORT, 101, 0, 0});
        side.send({0x4B, 0, IAC, SE});

        EXPECT_EQ(hex(side.receive(5)), hex(std::string("\x01\xFF\xFF\r\n", 5)));
        side.send(std::string("\x01"
                              "B\xFF\xFFOK",
                              6));
        side.awaitClose();
    });
    SchemePortService port;
    port.setSettings("19200,n,8,1");
    port.setCommPath(server.address("rfc2217"));
    port.setPortOpen(true);
    ASSERT_TRUE(port.portOpen());

    port.output(std::string("\x01\xFF\r\n", 4));
    EXPECT_EQ(hex(collect(port, 5)), hex(std::string("\x01"
                                                     "B\xFFOK",
                                                     5)));
    port.setPortOpen(false);
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

TEST(NetworkPort, TheWindowsPortBoxTakesNetworkAddresses) {
    std::vector<MessageBoxRequest> boxes;
    MainWindow window{DialogHooks{[&](const MessageBoxRequest& box) { boxes.push_back(box); },
                                  [](const std::string&) { return std::string(); }}};
    WindowControls& ui = window.controls();
    ui.Text1->setText(QStringLiteral("0")); // open without the connection wait

    // Nothing listens: the one box of a failed open, with the reason.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(closedPort);
    ui.txt0->setText(QString::fromStdString(refused));
    ui.BTNOpenCom->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, refused + " Not available! Use Serial settings to setup your ports.");
    EXPECT_NE(boxes[0].detail.find("refused"), std::string::npos) << boxes[0].detail;
    EXPECT_FALSE(window.serialPort().portOpen());

    // The speed chosen in the window goes to the remote line.
    ScriptedServer server([](ServerSide& side) {
        side.receive(12);
        side.send({IAC, DO, COM_PORT, IAC, DO, BINARY, IAC, WILL, BINARY});
        EXPECT_EQ(hex(side.receive(10)), hex({IAC, SB, COM_PORT, 1, 0, 0, 0x25, '\x80', IAC, SE})) // 9600
            << "SET-BAUDRATE";
        side.receive(21);
        side.send({IAC, SB, COM_PORT, 101, 0, 0, 0x25, '\x80', IAC, SE});
        side.awaitClose();
    });
    boxes.clear();
    ui.Option1->click();
    ui.txt0->setText(QString::fromStdString(server.address("rfc2217")));
    ui.BTNOpenCom->click();
    EXPECT_TRUE(boxes.empty()) << boxes.front().detail;
    EXPECT_TRUE(window.serialPort().portOpen());
    ui.BTNCloseCom->click();
}
