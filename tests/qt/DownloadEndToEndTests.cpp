#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "PseudoTerminal.h"
#include "ScriptedDevice.h"
#include "window/qt/MainWindow.h"

namespace {

const std::vector<std::string> kImage = {
    ":100000000C9434000C9446000C9446000C9446006A",
    ":100010000C9446000C9446000C9446000C94460048",
    ":0400200011223344E6",
    ":00000001FF",
};

std::string writeHexFile(const QTemporaryDir& dir) {
    const std::string path = dir.filePath("image.hex").toStdString();
    std::ofstream file(path, std::ios::binary);
    for (const std::string& line : kImage)
        file << line << "\r\n";
    return path;
}

std::vector<std::string> verifyForm(std::vector<std::string> records) {
    for (std::string& record : records)
        for (char& c : record)
            if (c == ':')
                c = '#';
    return records;
}

} // namespace

TEST(DownloadEndToEnd, ScanFindsTheDeviceAndADownloadWithItsVerifyPassEndsGreen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string hexFile = writeHexFile(dir);

    PseudoTerminal line;
    ScriptedDevice device(line, 3, kImage.back());
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
    EXPECT_EQ(ui.Command1->text(), "Next");
    EXPECT_FALSE(ui.Timer3->isActive());

    ui.Command3->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.vbalProgressBar1->text() == "END"; }, 20000))
        << "bar text: " << ui.vbalProgressBar1->text().toStdString();
    EXPECT_EQ(ui.vbalProgressBar1->barColour(), colours::PureGreen);
    EXPECT_TRUE(boxes.empty());

    EXPECT_EQ(device.records(':'), kImage);
    EXPECT_EQ(device.records('#'), verifyForm(kImage));
    EXPECT_EQ(window.logic().TransferActive, 0);

    ui.BTNCloseCom->click();
    EXPECT_FALSE(window.serialPort().portOpen());
    EXPECT_EQ(ui.vbalProgressBar1->text(), "NO FILE");
}
