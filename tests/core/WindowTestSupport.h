#pragma once

#include <algorithm>
#include <chrono>
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

// A fresh window for each test, on a clock of its own; files written by a test live in a folder
// of its own.
class WindowTest : public ::testing::Test, protected FakeWindow {
  protected:
    std::filesystem::path folder;
    frmSerial::Clock::time_point clock{};

    // Time passes, with the 20 ms poll running through it.
    void wait(frmSerial::Clock::duration span) {
        const frmSerial::Clock::duration poll = std::chrono::milliseconds(20);
        for (auto left = span; left > frmSerial::Clock::duration::zero(); left -= poll) {
            clock += std::min(left, poll);
            if (view.tmrComm)
                form.TMRComm_Timer();
        }
    }

    void SetUp() override {
        form.Now = [this] { return clock; };
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
    // Runs poll ticks until everything that arrived has been read and taken.
    void pollAll() {
        form.TMRComm_Timer(); // bytes read early, just before a frame went out, wait for a tick too
        for (int tick = 0; tick < 100000 && port.inBufferCount() > 0; ++tick)
            form.TMRComm_Timer();
    }
};

// The window with the port open and connected to the device at address 1 in Modbus RTU mode: it
// has answered the first probe.
class DeviceOneTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        view.text1 = "1";
        form.BTNOpenCom_Click();
        ASSERT_TRUE(port.isOpen);
        port.expectWrite(request(1, "BOOTi\r\n"));
        form.Timer3_Timer();
        deviceSays("VER=1.0");
        ASSERT_EQ(form.Machine().state(), State::Idle);
        view.text8.clear();
    }
    // The device answers `payload`; its reply is polled in like any other.
    void deviceSays(const std::string& payload) {
        port.arrive(reply(1, payload));
        pollAll();
    }
};
