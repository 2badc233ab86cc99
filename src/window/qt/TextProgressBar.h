#pragma once

#include <QString>
#include <QWidget>

#include "window/Colours.h"

// A progress bar with its own text drawn over the bar, a free bar colour, a value and a maximum.
// The window's logic sets all four independently, so the text is not derived from the value.
class TextProgressBar : public QWidget {
  public:
    explicit TextProgressBar(QWidget* parent = nullptr);

    QString text() const { return barText; }
    void setText(const QString& text);
    Colour barColour() const { return bar; }
    void setBarColour(Colour colour);
    Colour textColour() const { return fore; }
    int value() const { return current; }
    void setValue(int value);
    int maximum() const { return highest; }
    void setMaximum(int maximum);

    // Width in pixels of the filled part inside the frame: the value's share of the maximum,
    // full for a value at or above a maximum of 0 or less, empty for a value of 0 or below.
    int filledWidth() const;
    // The colour of the text where it lies over the filled part.
    QColor textColourOverBar() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString barText;
    Colour bar = colours::Blue;
    Colour fore = colours::Black;
    int current = 0;
    int highest = 100;
};
