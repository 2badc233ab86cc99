#include "window/qt/WindowControls.h"

#include <QFont>
#include <QWidget>

#include "window/qt/DesignPalette.h"
#include "window/qt/QtColour.h"

namespace {

// The frame line runs through the middle of the caption, so the controls that the design puts on
// the top edge sit on the line, beside the caption. Its colours are the window's own palette's:
// a style sheet's palette() would name the application's, which a dark theme sets.
const char* const kFrameStyle =
    "QGroupBox { border: 1px solid %1; border-radius: 2px; margin-top: 5px; }"
    "QGroupBox::title { subcontrol-origin: margin; left: 5px; padding: 0px 1px; color: %2; }";

QColor frameCaptionColour(Colour colour) {
    return colour == colours::Black ? designPalette().color(QPalette::WindowText) : toQColor(colour, {});
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

QWidget* created(const ControlLayout& layout, QWidget* holder) {
    const QString caption = QString::fromLatin1(layout.caption);
    switch (layout.kind) {
    case ControlKind::Frame: {
        auto* box = new QGroupBox(caption, holder);
        box->setStyleSheet(QString::fromLatin1(kFrameStyle)
                               .arg(designPalette().color(QPalette::Mid).name(),
                                    frameCaptionColour(layout.captionColour).name()));
        return box;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(caption, holder);
        // Enter clicks the focused button, as Space does; outside a dialog Qt leaves that off. The
        // window has no default button, so nothing else changes.
        button->setAutoDefault(true);
        return button;
    }
    case ControlKind::TextBox:
        return new QLineEdit(caption, holder);
    case ControlKind::CheckBox:
        return new QCheckBox(caption, holder);
    case ControlKind::Label: {
        auto* label = new QLabel(caption, holder);
        // A caption is shown as it is, never read as rich text, whatever the logic puts there.
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ControlKind::Option:
        return new OptionButton(caption, holder);
    case ControlKind::Bar: {
        auto* bar = new TextProgressBar(holder);
        bar->setText(caption);
        QFont barFont(QString::fromLatin1(kFontFace));
        barFont.setStyleHint(QFont::SansSerif);
        barFont.setPointSizeF(kBarFontPoints);
        barFont.setWeight(QFont::Normal);
        bar->setFont(barFont);
        return bar;
    }
    case ControlKind::Shape:
        return new FillShape(holder);
    }
    return nullptr;
}

QTimer* timer(QWidget* parent, int intervalMs, Qt::TimerType type) {
    auto* t = new QTimer(parent);
    t->setInterval(intervalMs);
    t->setTimerType(type);
    return t;
}

} // namespace

WindowControls::WindowControls(QWidget& window) {
    for (const ControlLayout& layout : kFormLayout) {
        QWidget* made = created(layout, layout.frame ? widget(*layout.frame) : &window);
        const PixelRect place = pixelRect(layout);
        made->setGeometry(place.left, place.top, place.width, place.height);
        made->setEnabled(!isInitiallyDisabled(layout.control));
        if (isNeverFocused(layout.control))
            made->setFocusPolicy(Qt::NoFocus);
        if (auto* button = qobject_cast<QAbstractButton*>(made); button && isInitiallyChecked(layout.control))
            button->setChecked(true);
        keep(layout.control, made, layout.name);
    }
    for (const Control control : kControlOrder)
        tags[index(control)] = initialTag(control);

    Frame4 = as<QGroupBox>(Control::Frame4);
    Command1 = as<QPushButton>(Control::Command1);
    Text2 = as<QLineEdit>(Control::Text2);
    Text1 = as<QLineEdit>(Control::Text1);
    Check1 = as<QCheckBox>(Control::Check1);
    Label5 = as<QLabel>(Control::Label5);
    Timer3 = timer(&window, kTimer3IntervalMs, Qt::CoarseTimer);
    Text8 = as<QLineEdit>(Control::Text8);
    Command5 = as<QPushButton>(Control::Command5);
    Frame3 = as<QGroupBox>(Control::Frame3);
    vbalProgressBar1 = as<TextProgressBar>(Control::vbalProgressBar1);
    Label3 = as<QLabel>(Control::Label3);
    TMRComm = timer(&window, kTMRCommIntervalMs, Qt::PreciseTimer);
    Frame2 = as<QGroupBox>(Control::Frame2);
    Option3 = as<QRadioButton>(Control::Option3);
    Option2 = as<QRadioButton>(Control::Option2);
    Option1 = as<QRadioButton>(Control::Option1);
    Command2 = as<QPushButton>(Control::Command2);
    Command6 = as<QPushButton>(Control::Command6);
    Command4 = as<QPushButton>(Control::Command4);
    Command3 = as<QPushButton>(Control::Command3);
    BTNCloseCom = as<QPushButton>(Control::BTNCloseCom);
    BTNOpenCom = as<QPushButton>(Control::BTNOpenCom);
    txt0 = as<QLineEdit>(Control::txt0);
    Label7 = as<QLabel>(Control::Label7);
    Label6 = as<QLabel>(Control::Label6);
    Label4 = as<QLabel>(Control::Label4);
    Label2 = as<QLabel>(Control::Label2);
    Pic = as<FillShape>(Control::Pic);
    Label1_0 = as<QLabel>(Control::Label1_0);

    speedGroup = new QButtonGroup(&window);
    for (const Control speed : kSpeedOptions)
        speedGroup->addButton(as<QRadioButton>(speed));

    for (const Control control : kInFront)
        widget(control)->raise();
    setTabOrder();
    widget(kFirstFocus)->setFocus();
}

void WindowControls::setTabOrder() {
    for (std::size_t i = 1; i < kTabOrder.size(); ++i)
        QWidget::setTabOrder(widget(kTabOrder[i - 1]), widget(kTabOrder[i]));
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
