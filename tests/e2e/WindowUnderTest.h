#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "window/qt/MainWindow.h"

// Runs the event loop until `condition` holds or `bound` has passed; true when it holds. The bound
// is generous: it is there to end a test that hangs, not to measure anything.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::seconds(90));

// The real main window whose dialogs never block: message boxes are collected, and the file chooser
// answers with the path in `fileToChoose`.
class WindowUnderTest {
  public:
    WindowUnderTest();

    WindowControls& ui() { return window->controls(); }
    MainWindow& main() { return *window; }

    // Puts the port and the device address into their boxes and presses "Open".
    void open(const QString& port, const QString& address);
    // Waits for the version reply that ends a connection wait or answers "?".
    bool waitForReady();
    // Waits until the running transfer has ended, in "END" or in "ERROR".
    bool waitForTransferEnd();

    // The texts of the message boxes shown so far, for failure output.
    std::string messageTexts() const;

    std::vector<MessageBoxRequest> messages;
    std::string fileToChoose;

  private:
    std::unique_ptr<MainWindow> window;
};
