#include "window/qt/TextProgressBar.h"

#include <QPainter>
#include <algorithm>

#include "window/BarFill.h"
#include "window/qt/Contrast.h"
#include "window/qt/QtColour.h"

namespace {
constexpr int kFrame = 1;
}

TextProgressBar::TextProgressBar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TextProgressBar::setText(const QString& text) {
    barText = text;
    update();
}

void TextProgressBar::setBarColour(Colour colour) {
    bar = colour;
    update();
}

void TextProgressBar::setValue(int value) {
    current = value;
    update();
}

void TextProgressBar::setMaximum(int maximum) {
    highest = maximum;
    update();
}

int TextProgressBar::filledWidth() const {
    return barFilledWidth(width() - 2 * kFrame, current, highest);
}

QColor TextProgressBar::textColourOverBar() const {
    return blackOrWhiteOn(toQColor(bar, palette()));
}

void TextProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inner = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
    painter.fillRect(rect(), palette().color(QPalette::Mid));
    painter.fillRect(inner, palette().color(QPalette::Base));
    const QRect filled(inner.topLeft(), QSize(filledWidth(), inner.height()));
    const QColor barColour = toQColor(bar, palette());
    painter.fillRect(filled, barColour);
    painter.setPen(toQColor(fore, palette()));
    painter.drawText(inner, Qt::AlignCenter, barText);
    // Where the bar lies under the text, the text stays black unless white stands out more (on
    // blue and navy), so that "END" on green and "ERROR" on red read as well as "VERIFY" on navy.
    painter.setClipRect(filled);
    painter.setPen(textColourOverBar());
    painter.drawText(inner, Qt::AlignCenter, barText);
}
