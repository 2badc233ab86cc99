#include <gtest/gtest.h>

#include "JsonFields.h"
#include "console/ports/PortListing.h"

namespace {

PortEntry usbAdapter() {
    return {"/dev/ttyUSB0", "/dev/serial/by-id/usb-Maker_RS485_A1B2-if00-port0", 0x0403, 0x6001, "A1B2",
            "RS485 cable", 16};
}
PortEntry onboardPort() {
    return {"/dev/ttyS0", "", std::nullopt, std::nullopt, "", "", std::nullopt};
}
PortEntry secondAdapter() {
    return {"/dev/ttyACM0", "", 0x2e8a, 0x000a, "", "Board CDC", std::nullopt};
}

} // namespace

TEST(PortListing, TextHasOneTabSeparatedLinePerPort) {
    EXPECT_EQ(
        portsText({usbAdapter(), onboardPort()}),
        "/dev/ttyUSB0\t/dev/serial/by-id/usb-Maker_RS485_A1B2-if00-port0\t0403:6001\tA1B2\tRS485 cable\t16 ms\n"
        "/dev/ttyS0\t-\t-\t-\t-\t-\n");
    EXPECT_EQ(portsText({}), "");
}

TEST(PortListing, JsonIsAListWithNullsForWhatIsUnknown) {
    const QJsonArray list = parseJsonArray(portsJson({usbAdapter(), onboardPort()}));
    ASSERT_EQ(list.size(), 2);
    expectFields(list[0].toObject(),
                 {"path=/dev/ttyUSB0", "by_id=/dev/serial/by-id/usb-Maker_RS485_A1B2-if00-port0",
                  "vendor_id=1027", "product_id=24577", "serial_number=A1B2", "description=RS485 cable",
                  "latency_timer_ms=16"});
    expectFields(list[1].toObject(), {"path=/dev/ttyS0", "by_id=null", "vendor_id=null", "product_id=null",
                                      "serial_number=null", "description=null", "latency_timer_ms=null"});
    EXPECT_EQ(parseJsonArray(portsJson({})).size(), 0);
}

TEST(PortChoice, GivenThenTheOnlyUsbPort) {
    const struct {
        const char* name;
        std::string given;
        std::vector<PortEntry> ports;
        std::string chosen; // empty: refused
        bool guessed;
    } table[] = {
        {"given wins", "/dev/ttyS3", {usbAdapter()}, "/dev/ttyS3", false},
        {"only USB port, by its stable name",
         "",
         {usbAdapter(), onboardPort()},
         "/dev/serial/by-id/usb-Maker_RS485_A1B2-if00-port0",
         true},
        {"only USB port, by path when it has no stable name",
         "",
         {onboardPort(), secondAdapter()},
         "/dev/ttyACM0",
         true},
        {"no USB port", "", {onboardPort()}, "", false},
        {"two USB ports", "", {usbAdapter(), secondAdapter()}, "", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        if (row.chosen.empty()) {
            try {
                choosePort(row.given, row.ports);
                ADD_FAILURE() << "no refusal";
            } catch (const PortChoiceError& error) {
                // The refusal lists what there is, so the user can pick one.
                for (const auto& port : row.ports)
                    EXPECT_NE(std::string(error.what()).find(port.devicePath), std::string::npos)
                        << error.what();
                EXPECT_EQ(error.ambiguous, row.ports.size() == 2);
            }
            continue;
        }
        const PortChoice choice = choosePort(row.given, row.ports);
        EXPECT_EQ(choice.port, row.chosen);
        EXPECT_EQ(choice.guessed, row.guessed);
    }
}
