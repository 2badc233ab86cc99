#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "console/cli/CliOptions.h"

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
        {{"-qa9", "-p/dev/ttyS0", "install"},
         "install [] port=/dev/ttyS0 baud=115200 rtu address=9 poll=arrival stall=5 quiet"},
        // One number rule for every option: whole numbers decimal or 0x-hex, seconds decimal.
        {{"version", "-a", "0x10", "--stall-timeout", ".5", "--connect-timeout", "0.001", "--poll-ms",
          "0X0a"},
         "version [] port= baud=115200 rtu address=16 poll=10 connect=0.001 stall=0.5"},
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
        // Lists of ports or addresses make a batch; repeated and listed ports add up, in order.
        {{"download", "f.hex", "-p", "/dev/a", "--address", "3,5,9"},
         "download [f.hex] port=/dev/a baud=115200 rtu address=scan poll=arrival stall=5 batch ports=/dev/a "
         "addresses=3,5,9 retries=0 log="},
        {{"download", "f.hex", "-p", "/dev/a,/dev/b", "--port", "/dev/c"},
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
        {{"download", "f.hex", "-a", "3,0"}, "--address 0 is the broadcast address"},
        {{"download", "f.hex", "-a", "3,"}, "--address must be a whole number"},
        {{"download", "f.hex", "-a", "3,256"}, "--address must be a whole number from 1 to 255"},
        {{"download", "f.hex", "--all", "-a", "3"}, "--all finds the addresses itself"},
        {{"version", "-a", "3,5"}, "not with version"},
        {{"scan", "-p", "a,b"}, "not with scan"},
        {{"download", "f.hex", "--retries", "11"}, "--retries must be a whole number from 0 to 10"},
        {{"download", "f.hex", "--log", ""}, "--log needs a file name"},
        // No board answers the broadcast address, and every operation on a port waits for one.
        {{"version", "-a", "0"}, "--address 0 is the broadcast address, which no board answers"},
        {{"download", "f.hex", "-a", "0x0"}, "--address 0 is the broadcast address"},
        // One rule, one wording: a form another option takes is not taken here either.
        {{"version", "--stall-timeout", "0x10"},
         "--stall-timeout must be a number of seconds from 0.001 to 3600, in steps of 0.001 (such as 2.5), "
         "not \"0x10\""},
        {{"version", "--connect-timeout", "1e-9"},
         "--connect-timeout must be a number of seconds from 0.001 to 25.6"},
        {{"version", "--connect-timeout", "0.0005"}, "--connect-timeout must be a number of seconds"},
        {{"version", "--stall-timeout", "2.0005"}, "--stall-timeout must be a number of seconds"},
        {{"version", "--wait-port", " 5"}, "--wait-port must be a number of seconds"},
        {{"version", "--wait-port", "inf"}, "--wait-port must be a number of seconds"},
        {{"version", "--poll-ms", "1.5"},
         "--poll-ms must be a whole number from 1 to 100 (decimal or 0x-hex)"},
        {{"version", "--frame-gap", "20.001"},
         "--frame-gap must be a number of milliseconds from 0 to 20, in steps of 0.001 (such as 1.75)"},
        {{"version", "-a", "+5"}, "--address must be a whole number from 1 to 255 (decimal or 0x-hex)"},
        {{"check", "fw.bin", "--base", "1e3"},
         "--base must be a whole number from 0 to 0xFFFFFFFF (decimal or 0x-hex), not \"1e3\""},
        {{"version", "--reset", "W1e-3"}, "step 1 \"W1e-3\""},
        // Options that ask for opposite things.
        {{"version", "-q", "-v"}, "--quiet and --verbose ask for opposite things"},
        {{"download", "f.hex", "-a", "3,5", "--scan-range", "1-20"}, "--scan-range is for a scan"},
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
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / ("bootflash-port-link-" + std::to_string(::getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/dev/null", link);
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
        {{"tcp://" + std::string(253, 'h') + ":1"}, nullptr, "tcp://" + std::string(253, 'h') + ":1"},
        {{"tcp://" + std::string(254, 'h') + ":1"}, nullptr, "--port: the host name is longer than 253"},
        {{std::string(5000, 'x')}, nullptr, "--port: the name is longer than the system allows"},
        {{"/dev/" + std::string(256, 'x')}, nullptr, "--port: a part of the path is longer"},
        {{}, ",", "BOOTFLASH_PORT needs a port name"},
        // One port under two names: refused before anything is sent, naming both.
        {{"null", link.native()},
         nullptr,
         "--port: \"null\" and \"" + link.native() + "\" name the same port"},
        {{"/dev/null,/dev/../dev/null"}, nullptr, "--port: \"/dev/null\" and \"/dev/../dev/null\" name"},
        {{"./x", here + "/x"}, nullptr, "--port: \"./x\" and \"" + here + "/x\" name the same port"},
        {{"COM3", "/dev/ttyS2"}, nullptr, "--port: \"COM3\" and \"/dev/ttyS2\" name the same port"},
        {{"TCP://GW:1", "rfc2217://gw:1"}, nullptr, "--port: \"TCP://GW:1\" and \"rfc2217://gw:1\" name"},
        {{}, "/dev/a, /dev/a", "BOOTFLASH_PORT: \"/dev/a\" and \"/dev/a\" name the same port"},
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
    std::filesystem::remove(link);
}

} // namespace
