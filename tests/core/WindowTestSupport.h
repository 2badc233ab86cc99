#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/FakeFormView.h"
#include "fakes/FakeSerialPort.h"
#include "support/Frames.h"
#include "window/frmSerial.h"

using Boxes = std::vector<FakeFormView::MessageBox>;
using Icon = FormView::Icon;

// The window's logic on a fake view and a fake port.
struct FakeWindow {
    FakeFormView view;
    FakeSerialPort port;
    frmSerial form{view, port};
};

// A fresh window for each test; files written by a test live in a folder of its own.
class WindowTest : public ::testing::Test, protected FakeWindow {
  protected:
    std::filesystem::path folder;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("bootcore-" + std::string(info->test_suite_name()) + "-" + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // Writes a file and makes it the dialog's next choice.
    std::string chooseFile(const std::string& name, const std::string& content) {
        const auto path = folder / name;
        std::ofstream(path, std::ios::binary) << content;
        view.dialogFile = path.string();
        return view.dialogFile;
    }

    // One poll tick that finds `chunk`.
    void tick(const std::string& chunk) {
        port.arrive(chunk);
        form.TMRComm_Timer();
    }
    // Runs poll ticks until everything that arrived has been read.
    void pollAll() {
        for (int tick = 0; tick < 100000 && port.inBufferCount() > 0; ++tick)
            form.TMRComm_Timer();
    }
};

// The window with the port open for the device at address 1 in Modbus RTU mode; the connection
// wait is stopped so that only the test's ticks run.
class DeviceOneTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        view.text1 = "1";
        form.BTNOpenCom_Click();
        ASSERT_TRUE(port.isOpen);
        view.timer3 = false;
    }
    // The device answers `payload`; its reply is polled in like any other.
    void deviceSays(const std::string& payload) {
        port.arrive(reply(1, payload));
        pollAll();
    }
};
