#include "window/qt/QtFormView.h"

#include <QThread>
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "window/qt/Contrast.h"
#include "window/qt/QtColour.h"

namespace {
QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}
std::string toUtf8(const QString& text) {
    return text.toStdString();
}
} // namespace

QtFormView::QtFormView(WindowControls& controls, DialogHooks dialogs)
    : controls(controls), dialogs(std::move(dialogs)) {}

void QtFormView::setLabel2Caption(const std::string& caption) {
    controls.Label2->setText(fromUtf8(caption));
}

void QtFormView::setCommand1Caption(const std::string& caption) {
    controls.Command1->setText(fromUtf8(caption));
}

void QtFormView::setText8Text(const std::string& text) {
    controls.Text8->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

std::string QtFormView::text1Text() const {
    return toUtf8(controls.Text1->text());
}

void QtFormView::setText1Text(const std::string& text) {
    controls.Text1->setText(fromUtf8(text));
}

std::string QtFormView::text2Text() const {
    return toUtf8(controls.Text2->text());
}

std::string QtFormView::txtText(int index) const {
    if (index != 0)
        throw std::out_of_range("the port box group has only element 0");
    return toUtf8(controls.txt0->text());
}

void QtFormView::setTxtBackColor(int index, Colour colour) {
    if (index != 0)
        throw std::out_of_range("the port box group has only element 0");
    QPalette palette = controls.txt0->palette();
    // A system colour is the window's rather than the box's own, which may have been coloured
    // before.
    const QPalette system = controls.txt0->parentWidget()->palette();
    const QColor base = toQColor(colour, system);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, base);
    // The open port disables the box on its green: the pale disabled text is darkened just enough
    // to be read there.
    const QColor disabledText = system.color(QPalette::Disabled, QPalette::Text);
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     colours::isSystemColour(colour) ? disabledText
                                                     : readableOn(base, disabledText, kSmallTextContrast));
    controls.txt0->setPalette(palette);
}

bool QtFormView::check1Checked() const {
    return controls.Check1->isChecked();
}
bool QtFormView::option1Selected() const {
    return controls.Option1->isChecked();
}
bool QtFormView::option2Selected() const {
    return controls.Option2->isChecked();
}
bool QtFormView::option3Selected() const {
    return controls.Option3->isChecked();
}

void QtFormView::setTimer3Enabled(bool enabled) {
    controls.setEnabled(Control::Timer3, enabled);
}
void QtFormView::setTMRCommEnabled(bool enabled) {
    controls.setEnabled(Control::TMRComm, enabled);
}
bool QtFormView::timer3Enabled() const {
    return controls.isEnabled(Control::Timer3);
}
bool QtFormView::tmrCommEnabled() const {
    return controls.isEnabled(Control::TMRComm);
}

void QtFormView::setPicVisible(bool visible) {
    controls.Pic->setVisible(visible);
}
Colour QtFormView::picFillColor() const {
    return controls.Pic->fillColour();
}
void QtFormView::setPicFillColor(Colour colour) {
    controls.Pic->setFillColour(colour);
}

void QtFormView::enableCommand5() {
    controls.Command5->setEnabled(true);
}

void QtFormView::setBarText(const std::string& text) {
    controls.vbalProgressBar1->setText(fromUtf8(text));
}
void QtFormView::setBarColor(Colour colour) {
    controls.vbalProgressBar1->setBarColour(colour);
}
void QtFormView::setBarValue(int value) {
    controls.vbalProgressBar1->setValue(value);
}
void QtFormView::setBarMax(int maximum) {
    controls.vbalProgressBar1->setMaximum(maximum);
}

void QtFormView::setDialogFilter(const std::string& filter) {
    dialogFilter = filter;
}

void QtFormView::showOpenDialog() {
    chosenFile = dialogs.chooseFile(qtFileFilter(dialogFilter));
}

std::string QtFormView::dialogFileName() const {
    return chosenFile;
}

// Cancelling never raises an error here: the chooser reports it as an empty name.
bool QtFormView::dialogCancelError() const {
    return false;
}

std::string QtFormView::tag(Control control) const {
    return controls.tag(control);
}
bool QtFormView::isEnabled(Control control) const {
    return controls.isEnabled(control);
}
void QtFormView::setEnabled(Control control, bool enabled) {
    controls.setEnabled(control, enabled);
}

void QtFormView::msgBox(const std::string& text, Icon icon, const std::string& title,
                        const std::string& detail) {
    // The program's title is its window's caption.
    dialogs.showMessage({text, icon, title.empty() ? std::string(kWindowCaption) : title, detail});
}

// The logic relies on nothing being handled meanwhile, the poll timer included.
void QtFormView::pause(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms < 0 ? 0 : ms));
}

std::string QtFormView::qtFileFilter(const std::string& filter) {
    // "desc1|pat1|desc2|pat2": Qt reads the patterns from the parentheses of each description,
    // so a description that does not name its patterns gets them appended; ";" separates
    // patterns in the pipe form and a blank in Qt's.
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t bar; (bar = filter.find('|', start)) != std::string::npos; start = bar + 1)
        parts.push_back(filter.substr(start, bar - start));
    parts.push_back(filter.substr(start));

    std::string result;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        std::string entry = parts[i];
        if (entry.find('(') == std::string::npos && i + 1 < parts.size()) {
            std::string patterns = parts[i + 1];
            std::replace(patterns.begin(), patterns.end(), ';', ' ');
            entry += " (" + patterns + ")";
        }
        if (!result.empty())
            result += ";;";
        result += entry;
    }
    return result;
}
