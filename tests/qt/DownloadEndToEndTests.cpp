#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "PseudoTerminal.h"
#include "ScriptedDevice.h"
#include "window/qt/MainWindow.h"

TEST(DownloadEndToEnd, ScanFindsTheDeviceAndADownloadWithItsVerifyPassEndsGreen) {
    const std::vector<std::string> image = {
        ":100000000C9434000C9446000C9446000C9446006A",
        ":100010000C9446000C9446000C9446000C94460048",
        ":040020001122334432",
        ":00000001FF",
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string hexFile = dir.filePath("image.hex").toStdString();
    std::ofstream(hexFile, std::ios::binary)
        << image[0] + "\r\n" + image[1] + "\r\n" + image[2] + "\r\n" + image[3] + "\r\n";

    PseudoTerminal line;
    ScriptedDevice device(line, 3, image.back());
    std::vector<MessageBoxRequest> boxes;
    MainWindow window{DialogHooks{[&](const MessageBoxRequest& box) { boxes.push_back(box); },
                                  [&](const std::string&) { return hexFile; }}};
    auto& ui = window.controls();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    ui.txt0->clear();
    QTest::keyClicks(ui.txt0, QString::fromStdString(line.slavePath()));
    ui.BTNOpenCom->click();
    ASSERT_TRUE(boxes.empty()) << boxes.front().text << " / " << boxes.front().detail;

    // Probes go to addresses 1, 2, 3; the device at 3 answers and the wait ends there.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.Label2->text() == "READY"; }, 20000));
    EXPECT_EQ(ui.Text1->text(), "3");

    EXPECT_FALSE(ui.Command5->isEnabled());
    ui.Command3->click();
    EXPECT_TRUE(ui.Command5->isEnabled()) << "the first successful load enables Send";
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.vbalProgressBar1->text() == "END"; }, 20000))
        << "bar text: " << ui.vbalProgressBar1->text().toStdString();
    EXPECT_EQ(ui.vbalProgressBar1->barColour(), colours::PureGreen);
    EXPECT_TRUE(boxes.empty());

    EXPECT_EQ(device.records(':'), image);
    std::vector<std::string> verified;
    std::ranges::transform(image, std::back_inserter(verified), verifyForm);
    EXPECT_EQ(device.records('#'), verified);
    EXPECT_EQ(window.logic().TransferActive, 0);

    // Closing the window lets go of the open port.
    window.close();
    EXPECT_FALSE(window.serialPort().portOpen());
}
