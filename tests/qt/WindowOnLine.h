#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "PseudoTerminal.h"
#include "window/qt/MainWindow.h"

// The window with its port box naming a fresh pseudo-terminal and no connection wait, so that
// "Open" only opens the line. The file dialog chooses `chosenFile`.
struct WindowOnLine {
    PseudoTerminal line;
    std::vector<MessageBoxRequest> boxes;
    std::string chosenFile;
    MainWindow window;
    WindowControls& ui = window.controls();

    // With `ownBoxes` the window shows its own modal message boxes; otherwise each is only recorded.
    explicit WindowOnLine(bool ownBoxes = false)
        : window(DialogHooks{ownBoxes ? MessageSink() : MessageSink([this](const MessageBoxRequest& box) {
                                 boxes.push_back(box);
                             }),
                             [this](const std::string&) { return chosenFile; }}) {
        ui.txt0->setText(QString::fromStdString(line.slavePath()));
        ui.Text1->setText(QStringLiteral("0"));
    }
    bool open() {
        ui.BTNOpenCom->click();
        return boxes.empty() && window.serialPort().portOpen();
    }
    // Opens the line and starts downloading a file of two data records to the board at address 0,
    // with `click`: its first record is then on the line, awaiting the board's answer.
    bool startDownload(QTemporaryDir& folder, const std::function<void()>& click) {
        chosenFile = folder.filePath("two.hex").toStdString();
        std::ofstream(chosenFile) << ":0400000001020304F2\n:0400040005060708DE\n:00000001FF\n";
        if (!open())
            return false;
        click();
        return window.logic().Machine().state() == State::RecordAwaited;
    }
};
