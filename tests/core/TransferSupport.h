#pragma once

#include <algorithm>
#include <string>

#include "WindowTestSupport.h"
#include "support/TestFiles.h"

namespace transferfiles {
inline const std::string L1 = ":10000000000102030405060708090A0B0C0D0E0F78";
inline const std::string L2 = ":0400100010111213A6";
inline const std::string L3 = ":00000001FF";
inline const std::string kThreeLines = L1 + "\r\n" + L2 + "\r\n" + L3 + "\r\n";

inline std::string verifyForm(std::string line) {
    std::replace(line.begin(), line.end(), ':', '#');
    return line;
}
// A record as it goes to the device at `address`.
inline std::string record(const std::string& line, int address = 1) {
    return request(address, "BOOT" + line + "\r\n");
}
} // namespace transferfiles

using namespace transferfiles;

class Transfer : public DeviceOneTest {
  protected:
    // A named pipe with no writer: opening it for reading would block for ever.
    std::string fifo(const std::string& name) {
        const std::string path = unendingFile(folder.string(), name);
        EXPECT_NE(path, "");
        return path;
    }
    // A file of `size` bytes that takes no room on the disk.
    std::string sparse(const std::string& name, std::uint64_t size) {
        const auto path = folder / name;
        std::filesystem::resize_file(chooseFile(name, ""), size);
        return path.string();
    }
    // Starts downloading the three-line file: its first record goes out.
    void startThreeLines() {
        chooseFile("three.hex", kThreeLines);
        port.expectWrite(record(L1));
        form.Command3_Click();
    }
    State state() const { return form.Machine().state(); }
};
