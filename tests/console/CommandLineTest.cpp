#include <algorithm>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "console/cli/CliOptions.h"
#include "console/output/LineTexts.h"
#include "console/output/ProgressOrder.h"
#include "console/output/ProgressReporter.h"

namespace {

template <typename T> std::string joined(const std::vector<T>& items) {
    std::ostringstream text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text << (i ? "," : "") << items[i];
    return text.str();
}

// Every option in one line, so a table row shows all a command line sets.
std::string summary(const CliOptions& o) {
    std::ostringstream out;
    out << operationName(o.operation) << " [" << o.file << o.newAddress << "] port=" << o.port
        << " baud=" << o.baud << (o.modbusRtu ? " rtu" : " plain")
        << " address=" << (o.address ? std::to_string(*o.address) : "scan")
        << " poll=" << (o.pollMs ? std::to_string(*o.pollMs) : "arrival");
    // The scan's settings only when they differ from their defaults.
    if (o.scanFirst != 1 || o.scanLast != 127)
        out << " scan=" << o.scanFirst << "-" << o.scanLast;
    if (o.probeMarginMs != 10)
        out << " probe=" << o.probeMarginMs;
    if (o.connectTimeoutSeconds)
        out << " connect=" << *o.connectTimeoutSeconds;
    out << " stall=" << o.stallTimeoutSeconds << (o.trace ? " trace" : "") << (o.json ? " json" : "")
        << (o.quiet ? " quiet" : "") << (o.verbose ? " verbose" : "") << (o.help ? " help" : "")
        << (o.version ? " version" : "");
    if (o.base)
        out << " base=" << *o.base;
    if (o.flashRange)
        out << " flash=" << o.flashRange->first << "-" << o.flashRange->last;
    if (isBatch(o))
        out << " batch ports=" << joined(o.ports) << " addresses=" << joined(o.addresses)
            << (o.allOnBus ? " all" : "") << " retries=" << o.retries << (o.stopOnFailure ? " stop" : "")
            << " log=" << o.logFile;
    return out.str();
}

TEST(CommandLine, ReadsOptionsInBothFormsOverTheWindowsStartValues) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        // An empty address box scans first.
        {{"version"}, "version [] port= baud=115200 rtu address=scan poll=arrival stall=5"},
        {{"--port=/dev/ttyUSB0", "download", "fw.hex", "--baud", "9600", "--plain", "--address=7",
          "--poll-ms", "1", "--stall-timeout", "2.5", "--connect-timeout=1.5", "--trace", "--json"},
         "download [fw.hex] port=/dev/ttyUSB0 baud=9600 plain address=7 poll=1 connect=1.5 stall=2.5 trace "
         "json"},
        {{"set-address", "12", "--address", "3", "--poll-ms", "20"},
         "set-address [12] port= baud=115200 rtu address=3 poll=20 stall=5"},
        {{"scan", "--scan-range", "5-5", "--probe-ms=0"},
         "scan [] port= baud=115200 rtu address=scan poll=arrival scan=5-5 probe=0 stall=5"},
        {{"--help"}, "version [] port= baud=115200 rtu address=scan poll=arrival stall=5 help"},
        // Short options, apart, joined and with their value attached.
        {{"-p", "/dev/ttyACM0", "-b", "19200", "-a", "9", "-v", "verify", "fw.hex"},
         "verify [fw.hex] port=/dev/ttyACM0 baud=19200 rtu address=9 poll=arrival stall=5 verbose"},
        {{"-qa0", "-p/dev/ttyS0", "install"},
         "install [] port=/dev/ttyS0 baud=115200 rtu address=0 poll=arrival stall=5 quiet"},
        // The last of a repeated option counts; after "--" a word is an operand even with a dash.
        {{"-a", "3", "--address=4", "download", "--", "-fw.hex"},
         "download [-fw.hex] port= baud=115200 rtu address=4 poll=arrival stall=5"},
        {{"-V"}, "version [] port= baud=115200 rtu address=scan poll=arrival stall=5 version"},
        {{"--version", "scan"}, "version [] port= baud=115200 rtu address=scan poll=arrival stall=5 version"},
        {{"check", "fw.bin", "--base", "0x08000000", "--flash-range=134217728-0x0803FFFF"},
         "check [fw.bin] port= baud=115200 rtu address=scan poll=arrival stall=5 base=134217728 "
         "flash=134217728-134479871"},
        {{"download", "fw.elf", "--flash-range", "0-0xFFFFFFFF"},
         "download [fw.elf] port= baud=115200 rtu address=scan poll=arrival stall=5 flash=0-4294967295"},
        // Lists of ports or addresses make a batch; repeated and listed ports add up, in order, each once.
        {{"download", "f.hex", "-p", "/dev/a", "--address", "3,5,9"},
         "download [f.hex] port=/dev/a baud=115200 rtu address=scan poll=arrival stall=5 batch ports=/dev/a "
         "addresses=3,5,9 retries=0 log="},
        {{"download", "f.hex", "-p", "/dev/a,/dev/b", "--port", "/dev/c", "-p", "/dev/a"},
         "download [f.hex] port=/dev/a baud=115200 rtu address=scan poll=arrival stall=5 batch "
         "ports=/dev/a,/dev/b,/dev/c addresses= retries=0 log="},
        {{"verify", "f.hex", "-p", "/dev/a", "--all", "--retries", "2", "--stop-on-failure", "--log",
          "l.txt"},
         "verify [f.hex] port=/dev/a baud=115200 rtu address=scan poll=arrival stall=5 batch ports=/dev/a "
         "addresses= all retries=2 stop log=l.txt"},
        // Retries or a log alone already want the board records.
        {{"download", "f.hex", "-a", "4", "--retries", "1"},
         "download [f.hex] port= baud=115200 rtu address=4 poll=arrival stall=5 batch ports= addresses=4 "
         "retries=1 log="},
        {{"download", "f.hex", "--log", "x"},
         "download [f.hex] port= baud=115200 rtu address=scan poll=arrival stall=5 batch ports= addresses= "
         "retries=0 log=x"},
    };
    for (const auto& [words, expected] : cases)
        EXPECT_EQ(summary(parseCommandLine(words)), expected) << ::testing::PrintToString(words);
}

// Each refusal is one line of its own; some must say why.
TEST(CommandLine, RefusesWhatCannotBeRun) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{}, ""},
        {{"flash", "fw.hex"}, ""},
        {{"download"}, ""},
        {{"verify", "a.hex", "b.hex"}, ""},
        {{"version", "--baud", "57600"}, ""},
        {{"version", "--baud"}, ""},
        {{"version", "--address", "256"}, ""},
        {{"version", "--address", "-1"}, ""},
        {{"version", "--address", "1x"}, ""},
        {{"version", "--poll-ms", "0"}, ""},
        {{"version", "--poll-ms", "101"}, ""}, // a probe would restart it before it ever looked
        {{"version", "--stall-timeout", "0"}, ""},
        {{"version", "--stall-timeout", "abc"}, ""},
        {{"version", "--trace=yes"}, ""},
        {{"version", "--port", ""}, ""},
        {{"version", "--frobnicate"}, ""},
        {{"set-address", "0"}, ""},
        {{"set-address", "256"}, ""},
        {{"set-address", "&H1F"}, ""},
        {{"scan", "--address", "3"}, ""},
        {{"scan", "--scan-range", "0-10"}, ""},
        {{"scan", "--scan-range", "1-128"}, ""},
        {{"scan", "--scan-range", "9-3"}, ""},
        {{"scan", "--scan-range", "7"}, ""},
        {{"scan", "--scan-range", "1-"}, ""},
        {{"scan", "--probe-ms", "-1"}, ""},
        {{"scan", "--probe-ms", "1001"}, ""},
        {{"scan", "--connect-timeout", "1"}, ""},
        {{"version", "--connect-timeout", "0"}, ""},
        {{"version", "--connect-timeout", "26"}, ""},
        {{"download", ""}, ""},
        {{"verify", "", "--port", "/dev/ttyUSB0"}, ""},
        {{"version", "-x"}, ""},
        {{"check"}, ""},
        {{"check", "fw.bin", "--base", "0x100000000"}, ""},
        {{"check", "fw.bin", "--base", "0x"}, ""},
        {{"check", "fw.bin", "--base", "-1"}, ""},
        {{"check", "fw.bin", "--flash-range", "0x08000000"}, ""},
        {{"check", "fw.bin", "--flash-range", "0x2000-0x1000"}, ""},
        {{"check", "fw.bin", "--flash-range", "0x1000-"}, ""},
        {{"version", "--base", "0"}, ""},
        {{"scan", "--flash-range", "0-1"}, ""},
        {{"version", "--reset", "D1|Q"}, ""},
        {{"version", "--after", ""}, ""},
        {{"version", "--wait-port", "0"}, ""},
        {{"check", "fw.hex", "--reset", "dtr-reset"}, ""},
        {{"ports", "--wait-port", "5"}, ""},

        {{"download", "f.hex", "-a", "3,3"}, "--address: 3 given twice"},
        {{"download", "f.hex", "-a", "0,3"}, "0 reaches every board at once"},
        {{"download", "f.hex", "-a", "3,"}, "--address must be a whole number"},
        {{"download", "f.hex", "-a", "3,256"}, "--address must be a whole number from 0 to 255"},
        {{"download", "f.hex", "--all", "-a", "3"}, "--all finds the addresses itself"},
        {{"version", "-a", "3,5"}, "not with version"},
        {{"scan", "-p", "a,b"}, "not with scan"},
        {{"download", "f.hex", "--retries", "11"}, "--retries must be a whole number from 0 to 10"},
        {{"download", "f.hex", "--log", ""}, "--log needs a file name"},
        // Options that ask for opposite things.
        {{"version", "-q", "-v"}, "--quiet and --verbose ask for opposite things"},
        {{"download", "f.hex", "-a", "3,5", "--scan-range", "1-20"}, "--scan-range is for a scan"},
        {{"version", "-a", "0", "--connect-timeout", "1"}, "--address 0 opens without a connection wait"},
    };
    for (const auto& [words, says] : refused) {
        try {
            parseCommandLine(words);
            ADD_FAILURE() << "accepted " << ::testing::PrintToString(words);
        } catch (const UsageError& error) {
            const std::string text = error.what();
            EXPECT_TRUE(!text.empty() && text.find('\n') == std::string::npos) << text;
            EXPECT_NE(text.find(says), std::string::npos) << text;
        }
    }
}

// Port names as the flasher takes them, from --port or, without it, from BOOTFLASH_PORT.
TEST(PortNames, EachNameIsOpenedAsWhatItMeansOrRefusedWithTheReason) {
    const std::string here = std::filesystem::current_path().native();
    const std::string parent = std::filesystem::current_path().parent_path().native();
    const struct {
        std::vector<std::string> ports; // each given with -p
        const char* environment;
        std::string taken; // the ports, comma-joined; or the start of the refusal
    } table[] = {
        {{" /dev/a , /dev/b,"}, nullptr, "/dev/a,/dev/b"},
        {{"COM3"}, nullptr, "COM3"},
        {{"TCP://gw:1", "socket://gw:2", "RFC2217://gw:3"}, nullptr, "tcp://gw:1,tcp://gw:2,rfc2217://gw:3"},
        {{"./link", "dir/x", "../x"}, nullptr, here + "/link," + here + "/dir/x," + parent + "/x"},
        {{"null"}, nullptr, "/dev/null"}, // a name under /dev
        {{}, "tcp://gw:1,/dev/b", "tcp://gw:1,/dev/b"},
        {{"/dev/a"}, "/dev/b", "/dev/a"},
        {{""}, nullptr, "--port needs a port name, not \"\""},
        {{" "}, nullptr, "--port needs a port name, not \" \""},
        {{",,"}, nullptr, "--port needs a port name, not \",,\""},
        {{"COM"}, nullptr, "--port: \"COM\" names no port; COM needs its number"},
        {{"comX"}, nullptr, "--port: \"comX\" names no port"},
        {{"ftp://gw:1"}, nullptr, "--port: \"ftp://gw:1\" has an unknown scheme"},
        {{"Tcp://gw"}, nullptr, "--port: tcp://gw: expected HOST:PORT"},
        {{"tcp://" + std::string(254, 'h') + ":1"}, nullptr, "--port: the host name is longer than 253"},
        {{std::string(5000, 'x')}, nullptr, "--port: the name is longer than the system allows"},
        {{"/dev/" + std::string(256, 'x')}, nullptr, "--port: a part of the path is longer"},
        {{}, ",", "BOOTFLASH_PORT needs a port name"},
    };
    for (const auto& row : table) {
        std::vector<std::string> arguments{"download", "f.hex"};
        for (const std::string& port : row.ports)
            arguments.insert(arguments.end(), {"-p", port});
        SCOPED_TRACE(::testing::PrintToString(arguments) +
                     " BOOTFLASH_PORT=" + (row.environment ? row.environment : "(unset)"));
        try {
            EXPECT_EQ(joined(parseCommandLine(arguments, row.environment).ports), row.taken);
        } catch (const UsageError& error) {
            EXPECT_TRUE(std::string(error.what()).starts_with(row.taken)) << error.what();
        }
    }
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

} // namespace
