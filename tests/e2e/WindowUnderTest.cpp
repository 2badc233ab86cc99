#include "WindowUnderTest.h"

#include <QTest>

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    return QTest::qWaitFor(condition, static_cast<int>(bound.count()));
}

WindowUnderTest::WindowUnderTest() {
    DialogHooks hooks{[this](const MessageBoxRequest& box) { messages.push_back(box); },
                      [this](const std::string&) { return fileToChoose; }};
    window = std::make_unique<MainWindow>(std::move(hooks));
    window->show();
}

void WindowUnderTest::open(const QString& port, const QString& address) {
    ui().txt0->setText(port);
    ui().Text1->setText(address);
    ui().BTNOpenCom->click();
}

bool WindowUnderTest::waitForReady() {
    return waitUntil([this] { return ui().Label2->text() == "READY"; });
}

bool WindowUnderTest::waitForTransferEnd() {
    return waitUntil([this] {
        const QString text = ui().vbalProgressBar1->text();
        return text == "END" || text == "ERROR";
    });
}

std::string WindowUnderTest::messageTexts() const {
    std::string texts;
    for (const MessageBoxRequest& box : messages)
        texts += "[" + box.text + (box.detail.empty() ? "" : " / " + box.detail) + "] ";
    return texts;
}
