#include "window/qt/DialogHooks.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>

namespace {

// A box wraps its text only where a line may break: a long run without a space (a port name of
// thousands of characters) would widen it to the screen's edge and cut the rest off. Such a run
// gets an invisible break chance after every kLongestUnbrokenRun characters; other texts stay as
// they are.
constexpr int kLongestUnbrokenRun = 60;

QString wrappable(const QString& text) {
    QString out;
    out.reserve(text.size());
    int run = 0;
    for (const QChar c : text) {
        out += c;
        run = c.isSpace() ? 0 : run + 1;
        if (run == kLongestUnbrokenRun) {
            out += QChar(0x200B); // zero-width space
            run = 0;
        }
    }
    return out;
}

} // namespace

DialogHooks DialogHooks::completed(DialogHooks hooks, QWidget* owner) {
    QPointer<QWidget> parent(owner);
    if (!hooks.showMessage)
        hooks.showMessage = [parent](const MessageBoxRequest& request) {
            QMessageBox box(request.icon == FormView::Icon::Critical ? QMessageBox::Critical
                                                                     : QMessageBox::NoIcon,
                            QString::fromStdString(request.title),
                            wrappable(QString::fromStdString(request.text)), QMessageBox::Ok, parent.data());
            if (!request.detail.empty())
                box.setInformativeText(wrappable(QString::fromStdString(request.detail)));
            // A box shows a board's reply or a port's name as it is: read as rich text, a reply
            // such as <img src=/dev/zero> would have the box load whatever it names.
            for (QLabel* label : box.findChildren<QLabel*>())
                label->setTextFormat(Qt::PlainText);
            box.exec();
        };
    if (!hooks.chooseFile)
        hooks.chooseFile = [parent](const std::string& filter) {
            const QString path = QFileDialog::getOpenFileName(parent.data(), QString(), QString(),
                                                              QString::fromStdString(filter));
            return path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString();
        };
    return hooks;
}
