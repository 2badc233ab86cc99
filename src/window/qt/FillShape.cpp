#include "window/qt/FillShape.h"

#include <QPainter>

#include "window/qt/QtColour.h"

FillShape::FillShape(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void FillShape::setFillColour(Colour colour) {
    fill = colour;
    update();
}

void FillShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(fill, palette()));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
