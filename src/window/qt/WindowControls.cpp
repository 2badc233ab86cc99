#include "window/qt/WindowControls.h"

#include <QFont>
#include <QWidget>

#include "window/qt/DesignPalette.h"
#include "window/qt/QtColour.h"

namespace {

template <typename W> W* place(W* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
    return widget;
}

QPushButton* button(QWidget* parent, const char* caption, int left, int top, int width, int height) {
    auto* pushButton = place(new QPushButton(QString::fromLatin1(caption), parent), left, top, width, height);
    // Enter clicks the focused button, as Space does; outside a dialog Qt leaves that off. The
    // window has no default button, so nothing else changes.
    pushButton->setAutoDefault(true);
    return pushButton;
}

QLineEdit* textBox(QWidget* parent, const char* text, int left, int top, int width, int height) {
    return place(new QLineEdit(QString::fromLatin1(text), parent), left, top, width, height);
}

QLabel* label(QWidget* parent, const char* caption, int left, int top, int width, int height) {
    auto* shown = place(new QLabel(QString::fromLatin1(caption), parent), left, top, width, height);
    // A caption is shown as it is, never read as rich text, whatever the logic puts there.
    shown->setTextFormat(Qt::PlainText);
    return shown;
}

// The frame line runs through the middle of the caption, so the controls that the design puts on
// the top edge sit on the line, beside the caption. Its colours are the window's own palette's:
// a style sheet's palette() would name the application's, which a dark theme sets.
const char* const kFrameStyle =
    "QGroupBox { border: 1px solid %1; border-radius: 2px; margin-top: 5px; }"
    "QGroupBox::title { subcontrol-origin: margin; left: 5px; padding: 0px 1px; color: %2; }";

QGroupBox* frame(QWidget* parent, const char* caption, int left, int top, int width, int height,
                 const QColor& titleColour = designPalette().color(QPalette::WindowText)) {
    auto* box = place(new QGroupBox(QString::fromLatin1(caption), parent), left, top, width, height);
    box->setStyleSheet(QString::fromLatin1(kFrameStyle)
                           .arg(designPalette().color(QPalette::Mid).name(), titleColour.name()));
    return box;
}

// A round button with a tab stop of its own. Qt gives a group of them one tab stop, the one that
// last had the focus; the design gives each speed its own place in the tab order.
class OptionButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    void focusInEvent(QFocusEvent* event) override {
        QRadioButton::focusInEvent(event);
        if (group())
            for (QAbstractButton* member : group()->buttons())
                member->setFocusPolicy(Qt::StrongFocus);
    }
};

QRadioButton* option(QWidget* parent, const char* caption, int left, int top) {
    // Narrower than its caption on purpose: only the round button shows; the label beside it speaks.
    return place(new OptionButton(QString::fromLatin1(caption), parent), left, top, 195, 195);
}

QTimer* timer(QWidget* parent, int intervalMs, Qt::TimerType type) {
    auto* t = new QTimer(parent);
    t->setInterval(intervalMs);
    t->setTimerType(type);
    return t;
}

} // namespace

WindowControls::WindowControls(QWidget& window) {
    Frame4 = frame(&window, "Modbus RTU", 4440, 0, 1515, 855);
    Command1 = button(Frame4, "Set Addr", 600, 520, 795, 255);
    Text2 = textBox(Frame4, "10", 120, 480, 435, 285);
    Text1 = textBox(Frame4, "", 1020, 240, 435, 285);
    Check1 = place(new QCheckBox(QStringLiteral("Check1"), Frame4), 1200, 0, 255, 255);
    Check1->setChecked(true);
    Label5 = label(Frame4, "Addr Device", 60, 240, 915, 255);
    Timer3 = timer(&window, 200, Qt::CoarseTimer);
    Text8 = textBox(&window, "", 720, 1410, 5115, 285);
    // Lies below the client area: the user never sees it, and it takes no focus, so the
    // keyboard cannot press it either. The logic calls its handler directly.
    Command5 = button(&window, "Send", 1800, 2760, 855, 255);
    Command5->setFocusPolicy(Qt::NoFocus);
    // Enabled by the first successful load.
    Command5->setEnabled(false);
    Frame3 = frame(&window, "Status", 0, 840, 5955, 975);
    vbalProgressBar1 = place(new TextProgressBar(Frame3), 120, 240, 5715, 255);
    vbalProgressBar1->setText(QStringLiteral("NO FILE"));
    // The bar's text has a face of its own, larger than the window's: sans-serif at 8.25 points.
    QFont barFont(QStringLiteral("DejaVu Sans"));
    barFont.setStyleHint(QFont::SansSerif);
    barFont.setPointSizeF(8.25);
    barFont.setWeight(QFont::Normal);
    vbalProgressBar1->setFont(barFont);
    Label3 = label(Frame3, "Answer:", 120, 600, 735, 255);
    TMRComm = timer(&window, 20, Qt::PreciseTimer);
    Frame2 = frame(&window, "Comm's", 0, 0, 4395, 855, toQColor(colours::DarkBlue, {}));
    Option3 = option(Frame2, "Option3", 3300, 0);
    Option2 = option(Frame2, "Option2", 2520, 0);
    Option1 = option(Frame2, "Option1", 1860, 0);
    speedGroup = new QButtonGroup(&window);
    for (QRadioButton* speed : {Option3, Option2, Option1})
        speedGroup->addButton(speed);
    Option3->setChecked(true);
    Command2 = button(Frame2, "Verify", 3720, 480, 615, 255);
    Command6 = button(Frame2, "Install ", 3420, 170, 615, 255);
    Command4 = button(Frame2, "?", 4080, 170, 255, 255);
    Command3 = button(Frame2, "Open File and  Download", 1620, 480, 2055, 255);
    BTNCloseCom = button(Frame2, "Close", 960, 480, 615, 255);
    BTNCloseCom->setEnabled(false);
    BTNOpenCom = button(Frame2, "Open", 960, 200, 615, 255);
    txt0 = textBox(Frame2, "COM3", 60, 480, 855, 315);
    Label7 = label(Frame2, "115200", 2700, 0, 615, 255);
    Label6 = label(Frame2, "19200", 2040, 0, 495, 255);
    Label4 = label(Frame2, "Speed 9600", 960, 0, 975, 255);
    Label2 = label(Frame2, "No info", 1620, 240, 1755, 255);
    Pic = place(new FillShape(Frame2), 720, 0, 195, 255);
    Label1_0 = label(Frame2, "Port: (1-9)", 120, 240, 795, 255);

    // Lies over the status frame, which was created after it.
    Text8->raise();

    tags[index(Control::txt0)] = "NO";
    tags[index(Control::BTNOpenCom)] = "NO";
    tags[index(Control::BTNCloseCom)] = "NC";

    keep(Control::Frame4, Frame4, "Frame4");
    keep(Control::Command1, Command1, "Command1");
    keep(Control::Text2, Text2, "Text2");
    keep(Control::Text1, Text1, "Text1");
    keep(Control::Check1, Check1, "Check1");
    keep(Control::Label5, Label5, "Label5");
    keep(Control::Text8, Text8, "Text8");
    keep(Control::Command5, Command5, "Command5");
    keep(Control::Frame3, Frame3, "Frame3");
    keep(Control::vbalProgressBar1, vbalProgressBar1, "vbalProgressBar1");
    keep(Control::Label3, Label3, "Label3");
    keep(Control::Frame2, Frame2, "Frame2");
    keep(Control::Option3, Option3, "Option3");
    keep(Control::Option2, Option2, "Option2");
    keep(Control::Option1, Option1, "Option1");
    keep(Control::Command2, Command2, "Command2");
    keep(Control::Command6, Command6, "Command6");
    keep(Control::Command4, Command4, "Command4");
    keep(Control::Command3, Command3, "Command3");
    keep(Control::BTNCloseCom, BTNCloseCom, "BTNCloseCom");
    keep(Control::BTNOpenCom, BTNOpenCom, "BTNOpenCom");
    keep(Control::txt0, txt0, "txt(0)");
    keep(Control::Label7, Label7, "Label7");
    keep(Control::Label6, Label6, "Label6");
    keep(Control::Label4, Label4, "Label4");
    keep(Control::Label2, Label2, "Label2");
    keep(Control::Pic, Pic, "Pic");
    keep(Control::Label1_0, Label1_0, "Label1(0)");

    setTabOrder();
    txt0->setFocus();
}

void WindowControls::setTabOrder() {
    // Frames and labels hold tab places too but never take the focus; these are the others,
    // by their design tab index.
    QWidget* const chain[] = {txt0,     BTNOpenCom, BTNCloseCom, Command3, Command4, Command5,
                              Command6, Text8,      Check1,      Text1,    Text2,    Command1,
                              Command2, Option1,    Option2,     Option3};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

bool WindowControls::isEnabled(Control control) const {
    switch (control) {
    case Control::MSComm1:
        return portEnabled;
    case Control::CommonDialog1:
        return dialogEnabled;
    case Control::Timer3:
        return Timer3->isActive();
    case Control::TMRComm:
        return TMRComm->isActive();
    default:
        return widget(control)->isEnabled();
    }
}

void WindowControls::setEnabled(Control control, bool enabled) {
    switch (control) {
    case Control::MSComm1:
        portEnabled = enabled;
        break;
    case Control::CommonDialog1:
        dialogEnabled = enabled;
        break;
    case Control::Timer3:
        enabled ? Timer3->start() : Timer3->stop();
        break;
    case Control::TMRComm:
        enabled ? TMRComm->start() : TMRComm->stop();
        break;
    default:
        widget(control)->setEnabled(enabled);
    }
}
