#include "window/qt/DialogHooks.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

DialogHooks DialogHooks::completed(DialogHooks hooks, QWidget* owner) {
    QPointer<QWidget> parent(owner);
    if (!hooks.showMessage)
        hooks.showMessage = [parent](const MessageBoxRequest& request) {
            QMessageBox box(request.icon == FormView::Icon::Critical ? QMessageBox::Critical
                                                                     : QMessageBox::NoIcon,
                            QString::fromStdString(request.title), QString::fromStdString(request.text),
                            QMessageBox::Ok, parent.data());
            if (!request.detail.empty())
                box.setInformativeText(QString::fromStdString(request.detail));
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
