#include <filesystem>
#include <fstream>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ports/qt/AdapterLatency.h"

// The adapter's latency timer found and lowered in a fake device tree: /dev and /sys stand in a
// temporary folder, with a by-id link as udev makes one.
TEST(AdapterLatency, TimerIsFoundThroughLinksAndLoweredToOneMillisecond) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        const char* timer; // the file's text; nullptr: the driver exposes none
        bool byLink;
        const char* said;
        std::optional<int> after;
    } table[] = {
        {"default timer", "16\n", false, "latency timer 16 -> 1 ms", 1},
        {"found through a by-id link", "4\n", true, "latency timer 4 -> 1 ms", 1},
        {"already at its lowest", "1\n", false, "latency timer 1 ms", 1},
        {"no timer: a built-in port", nullptr, false, "", std::nullopt},
        {"unreadable text", "fast\n", false, "", std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const fs::path root = dir.path().toStdString();
        fs::create_directories(root / "dev/serial/by-id");
        std::ofstream(root / "dev/ttyUSB3").put('\0');
        fs::create_symlink(root / "dev/ttyUSB3", root / "dev/serial/by-id/usb-Maker_A1-port0");
        const fs::path device = root / "sys/class/tty/ttyUSB3/device";
        fs::create_directories(device);
        if (row.timer)
            std::ofstream(device / "latency_timer") << row.timer;
        const std::string port =
            (root / (row.byLink ? "dev/serial/by-id/usb-Maker_A1-port0" : "dev/ttyUSB3"));
        const std::string sys = root / "sys";

        EXPECT_EQ(lowerAdapterLatencyTimer(sys, port), row.said);
        EXPECT_EQ(adapterLatencyTimer(sys, port), row.after);
    }
}
