#pragma once

#include <QWidget>

#include "window/Colours.h"

// The activity indicator: a small rectangle painted in one solid colour.
class FillShape : public QWidget {
  public:
    explicit FillShape(QWidget* parent = nullptr);

    Colour fillColour() const { return fill; }
    void setFillColour(Colour colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Colour fill = colours::Yellow;
};
