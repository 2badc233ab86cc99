#include <algorithm>
#include <csignal>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <gtest/gtest.h>

#include "JsonFields.h"
#include "console/cli/CliOptions.h"
#include "console/output/JsonResultWriter.h"
#include "console/output/LineTexts.h"
#include "console/output/OutputChannel.h"
#include "console/output/ProgressOrder.h"
#include "console/output/ProgressReporter.h"

// What the flasher writes: the JSON object, progress lines, texts about the line, and the streams
// they go to.
namespace {

// Names typed by the user come back as typed; reply bytes that are no UTF-8 come back one
// character each; control bytes travel escaped.
TEST(JsonResult, ReadsBackEveryFieldAsItWasGiven) {
    RunResult scan;
    scan.operation = "scan";
    scan.port = "/dev/tty\xC3\xA9\"1\"";
    scan.address = 5;
    // A byte that is not UTF-8 beside valid UTF-8, DEL, the C1 control CSI and both ends of C1.
    scan.message = std::string("VER=1.0\r\n\x01\t\xE9\xC3\xA9\x7F\xC2\x9B\xC2\x80\xC2\x9F", 21);
    scan.devices = {{3, "VER=a"}, {9, "VER=\"b\"", true}};
    const std::string text = jsonResult(scan);
    EXPECT_TRUE(std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
        << text;
    for (const char* c1 : {"\xC2\x9B", "\xC2\x80", "\xC2\x9F"})
        EXPECT_EQ(text.find(c1), std::string::npos) << text;
    const QJsonObject json = parseJsonObject(text);
    expectFields(json, {"operation=scan", "port=/dev/tty\xC3\xA9\"1\"", "address=5", "outcome=success",
                        "exit_code=0"});
    EXPECT_EQ(json.value("message").toString(),
              QString::fromUtf8("VER=1.0\r\n\x01\t") + QChar(0xDCE9) +
                  QString::fromUtf8("\xC3\xA9\x7F\xC2\x9B\xC2\x80\xC2\x9F"));
    const QJsonArray devices = json.value("devices").toArray();
    ASSERT_EQ(devices.size(), 2);
    expectFields(devices[1].toObject(), {"address=9", "reply=VER=\"b\""});
    // Only an address where more than one board answered says so.
    EXPECT_FALSE(devices[0].toObject().contains("conflict"));
    EXPECT_TRUE(devices[1].toObject().value("conflict").toBool());

    RunResult version;
    version.operation = "version";
    version.exitCode = ExitCode::NoDevice;
    const QJsonObject unknown = parseJsonObject(jsonResult(version));
    expectFields(unknown, {"address=null", "outcome=no-device", "exit_code=4"});
    EXPECT_FALSE(unknown.contains("devices"));
    EXPECT_FALSE(unknown.contains("line"));

    RunResult refused;
    refused.operation = "download";
    refused.exitCode = ExitCode::FileError;
    refused.fileFault = FileFault{200, "checksum 3C, expected 3D"};
    expectFields(parseJsonObject(jsonResult(refused)),
                 {"outcome=file-error", "exit_code=5", "line=200", "reason=checksum 3C, expected 3D"});
}

TEST(Progress, TimeLeftCoversThePassesStillToCome) {
    ProgressState state{"DOWNLOAD", 50, 100, 50, 150};
    EXPECT_EQ(formatProgress(state, 50.0), "DOWNLOAD    50/100    50.0%     50.0 rec/s  0:03 left");
    EXPECT_EQ(formatProgress(state, std::nullopt), "DOWNLOAD    50/100    50.0%        - rec/s");
}

// The transfer's states as a transfer goes (ERASE 0: the bar emptied by "FORMAT"), and what the
// lines show. (That the first record of a download shows ERASE, the flasher's own run shows.)
TEST(Progress, LinesMoveForwardWhateverTheBarDoes) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, int>> bar;
        std::string shown;
    };
    const Case cases[] = {
        {"erase announced mid-pass",
         {{"DOWNLOAD", 7}, {"ERASE", 0}, {"DOWNLOAD", 8}},
         "DOWNLOAD 7, DOWNLOAD 7, DOWNLOAD 8"},
        {"into the verify pass",
         {{"DOWNLOAD", 9}, {"VERIFY", 1}, {"ERASE", 0}, {"END", 9}},
         "DOWNLOAD 9, VERIFY 1, VERIFY 1, END 9"},
        {"verify alone", {{"VERIFY", 1}, {"VERIFY", 2}}, "VERIFY 1, VERIFY 2"},
    };
    for (const Case& c : cases) {
        std::optional<ProgressState> shown;
        std::string text;
        for (const auto& [stage, value] : c.bar) {
            shown = forwardProgress(shown, ProgressState{stage, value, 9, value, 0});
            text += (text.empty() ? "" : ", ") + shown->stage + " " + std::to_string(shown->value);
        }
        EXPECT_EQ(text, c.shown) << c.name;
    }
}

// Plain lines carry a rate from the second on, however short the run.
TEST(Progress, ARateOnceRecordsHaveGoneOut) {
    std::vector<std::string> lines;
    ProgressReporter reporter(false, [&lines](const std::string& line) { lines.push_back(line); });
    reporter.update({"DOWNLOAD", 1, 9, 1, 17});
    reporter.update({"DOWNLOAD", 2, 9, 2, 16});
    reporter.update({"VERIFY", 1, 9, 10, 8});
    ASSERT_EQ(lines.size(), 3u); // one line a stage: ERASE, DOWNLOAD, VERIFY
    EXPECT_NE(lines[0].find(" - rec/s"), std::string::npos) << lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].find(" - rec/s"), std::string::npos) << lines[i];
}

// What the flasher says of a line names only what it sets on it, and its advice fits the line.
TEST(LineTexts, NameWhatTheFlasherSetsAndAdviseForTheLine) {
    const struct {
        const char* port;
        const char* verbose;
        const char* refused;
    } rows[] = {
        {"/dev/ttyUSB0", "at 19200 baud, 8 data bits, no parity, 1 stop bit, Modbus RTU frames",
         "'bootflash ports' lists the serial ports of this machine"},
        {"COM3", "at 19200 baud, 8 data bits, no parity, 1 stop bit, Modbus RTU frames",
         "'bootflash ports' lists the serial ports of this machine"},
        {"rfc2217://gw:2217", "at 19200 baud, 8 data bits, no parity, 1 stop bit, Modbus RTU frames",
         "check the server's address and that it takes connections"},
        {"tcp://gw:4001", "(the server sets the line's speed), Modbus RTU frames",
         "check the server's address and that it takes connections"},
    };
    for (const auto& row : rows) {
        const CliOptions options = parseCommandLine({"version", "-p", row.port, "-b", "19200", "-a", "3"});
        EXPECT_EQ(runDescription(options, "bootflash"),
                  std::string("bootflash: version on ") + row.port + " " + row.verbose + ", address 3\n");
        EXPECT_EQ(openFailureText(row.port, "refused", "bootflash"),
                  std::string("cannot open ") + row.port + " (refused); " + row.refused);
    }
}

// Syncing a pipe, a terminal or /dev/null reports EINVAL: they keep nothing, and lose nothing.
TEST(OutputChannel, AStreamThatKeepsNothingIsWrittenNotLostBySyncing) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    for (const int fd : {ends[1], null}) {
        OutputChannel channel(fd, "the stream");
        channel.write("line\n");
        channel.sync();
        EXPECT_FALSE(channel.lost()) << channel.lossText();
    }
    for (const int fd : {ends[0], ends[1], null})
        close(fd);
}

// A stream handed over non-blocking is full for a while, not lost: the write waits until the reader
// takes bytes again. The reader here drains the pipe only once it is full, and gives up after a
// generous bound, which makes a writer that waits for the wrong event fail instead of hang.
TEST(OutputChannel, AFullNonBlockingStreamIsWaitedOnUntilItTakesBytesAgain) {
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
    const int capacity = fcntl(ends[1], F_GETPIPE_SZ);
    const std::string text(static_cast<std::size_t>(4 * capacity), 'x');
    std::string received;
    std::thread reader([&] {
        const QDeadlineTimer bound(20000);
        for (int waiting = 0;
             ioctl(ends[0], FIONREAD, &waiting) == 0 && waiting < capacity && !bound.hasExpired();)
            std::this_thread::yield();
        char buffer[65536];
        pollfd readable{ends[0], POLLIN, 0};
        while (received.size() < text.size() && poll(&readable, 1, 20000) > 0) {
            const ssize_t count = read(ends[0], buffer, sizeof buffer);
            if (count <= 0)
                break;
            received.append(buffer, static_cast<std::size_t>(count));
        }
        close(ends[0]);
    });
    OutputChannel channel(ends[1], "the pipe");
    channel.write(text);
    reader.join();
    close(ends[1]);
    EXPECT_FALSE(channel.lost()) << channel.lossText();
    EXPECT_EQ(received.size(), text.size());
}

} // namespace
