#pragma once

#include <functional>
#include <string>

#include "window/FormView.h"

class QWidget;

// A message box as the logic asked for it, its title already resolved.
struct MessageBoxRequest {
    std::string text;
    FormView::Icon icon = FormView::Icon::None;
    std::string title;
    std::string detail;
};

// Shows a message box and returns once it has been dismissed.
using MessageSink = std::function<void(const MessageBoxRequest&)>;
// Asks for a file to open, offering `filter` in Qt's form; returns the path, empty when cancelled.
using FileChooser = std::function<std::string(const std::string& filter)>;

// The window's modal dialogs. Tests replace them so that nothing waits for a user.
struct DialogHooks {
    MessageSink showMessage;
    FileChooser chooseFile;

    // `given`, with QMessageBox and QFileDialog (parented to `owner`) for the hooks it leaves empty.
    static DialogHooks completed(DialogHooks given, QWidget* owner);
};
