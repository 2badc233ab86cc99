#include "LineOptions.h"

#include <gtest/gtest.h>

using Arguments = std::vector<std::string>;

// Options whose effect no run of the emulator in the other tests shows (addresses, flash layout,
// dropped replies, the reset line and the version text are all seen on the line there).
TEST(SimOptions, ReadsTimesFaultsAndTheBenchsSettings) {
    const SimOptions options = parseSimOptions(
        {"--erase-ms", "5", "--line-rate", "115200", "--glue-every", "2", "--device-version", "1.0 ok"});
    EXPECT_EQ(options.eraseTime, std::chrono::milliseconds(5));
    EXPECT_EQ(options.timing.lineRate, 115200u);
    EXPECT_EQ(options.faults.glueEvery, 2u);
    EXPECT_TRUE(options.modbusFraming);
    // The host looks for its keywords in capitals only.
    EXPECT_EQ(options.deviceVersion, "1.0 ok");
    // --version is the emulator's own, as everywhere else.
    EXPECT_TRUE(parseSimOptions({"--version"}).showVersion);
    EXPECT_TRUE(parseSimOptions({"-V"}).showVersion);
    const SimOptions bench = parseSimOptions({"--listen", "rfc2217://:0", "--echo", "--latency-ms", "16"});
    EXPECT_TRUE(bench.listen && bench.listen->rfc2217 && bench.listen->host == "127.0.0.1");
    EXPECT_TRUE(bench.echo);
    EXPECT_EQ(bench.latency, std::chrono::milliseconds(16));
}

TEST(SimOptions, RefusesWhatCannotWork) {
    const Arguments refused[] = {
        {"--address", "0"},                                      // broadcast address
        {"--address", "256"},                                    // not a byte
        {"--address", "3,,5"},                                   // empty list item
        {"--plain", "--address", "3,5"},                         // no addresses without framing
        {"--device-version", "1.0 OK"},                          // a keyword the host would act on
        {"--device-version", "BOOK"},                            // and finds inside a word as well
        {"--device-version", "1.0\r\n"},                         // a line end, which would end the reply
        {"--flash-start", "0xFFFF0000", "--flash-size", "128K"}, // past the 32-bit space
        {"--flash-size", "0"},
        {"--link", "a", "--device", "b"},
        {"--drop-every"}, // value missing
        {"--drop-every", "-1"},
        {"--frobnicate"},
        {"--listen", "udp://127.0.0.1:5000"},
        {"--listen", "tcp://127.0.0.1"},        // no port
        {"--listen", "tcp://example.org:5000"}, // a name, not an address
        {"--listen", "tcp://:70000"},
        {"--listen", "tcp://:0", "--link", "x"}, // one line at a time
        {"--enter-on", "dtr"},                   // a pseudo-terminal has no modem lines
        {"--listen", "tcp://:0", "--enter-on", "rts"},
        {"--listen", "rfc2217://:0", "--enter-on", "cts"},
        {"--latency-ms", "1001"},
        {"--faulty-device", "0"},                                // devices are counted from 1
        {"--address", "1,1", "--faulty-device", "3"},            // no third device
        {"--restart-on-error", "--erase-after-refusal-ms", "5"}, // two answers to one refusal
        {"--noise-every-ms", "often"},
        {"--lines", "0"},
        {"--lines", "2", "--device", "/dev/ttyS0"}, // one serial device is one line
        {"--lines", "2", "--listen", "tcp://:0"},   // a network line serves one host
        {"--lines", "2", "--faulty-line", "3"},     // no third line
        {"--faulty-line", "0"},                     // lines are counted from 1
    };
    for (const Arguments& arguments : refused)
        EXPECT_THROW(parseSimOptions(arguments), OptionError) << arguments.front();
}

// Each line of several has its own link and dump, and the faults stay on the line --faulty-line names.
TEST(SimOptions, EachLineHasItsOwnPathsAndOnlyTheFaultyLineItsFaults) {
    const SimOptions options =
        parseSimOptions({"--lines",      "3",      "--faulty-line",    "2", "--link",           "/tmp/l",
                         "--dump",       "/tmp/d", "--drop-every",     "5", "--refuse-record",  "4",
                         "--restart-at", "7",      "--noise-every-ms", "9", "--reply-delay-ms", "3",
                         "--line-rate",  "9600"});
    for (unsigned line = 1; line <= 3; ++line) {
        SCOPED_TRACE(line);
        const SimOptions own = lineOptions(options, line);
        EXPECT_EQ(own.linkPath, "/tmp/l." + std::to_string(line));
        EXPECT_EQ(own.dumpPath, "/tmp/d." + std::to_string(line));
        EXPECT_EQ(own.timing.lineRate, 9600u);
        const bool faulty = line == 2;
        EXPECT_EQ(own.faults.dropEvery, faulty ? 5u : 0u);
        EXPECT_EQ(own.boardFaults.refuseRecord, faulty ? 4u : 0u);
        EXPECT_EQ(own.restartAt, faulty ? 7u : 0u);
        EXPECT_EQ(own.quirks.noiseEvery.count(), faulty ? 9 : 0);
        EXPECT_EQ(own.timing.replyDelay.count(), faulty ? 3 : 0);
    }
    // One line keeps the paths as given.
    const SimOptions one = lineOptions(parseSimOptions({"--link", "/tmp/l", "--drop-every", "5"}), 1);
    EXPECT_EQ(one.linkPath, "/tmp/l");
    EXPECT_EQ(one.faults.dropEvery, 5u);
}
