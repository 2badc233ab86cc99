#pragma once

#include <QColor>

#include "window/ColourContrast.h"

// The rules of window/ColourContrast.h for Qt's colours; alpha is ignored.
using contrast::kReadableContrast;
using contrast::kSmallTextContrast;
double relativeLuminance(const QColor& colour);
double contrastRatio(const QColor& first, const QColor& second);
QColor blackOrWhiteOn(const QColor& background);
QColor readableOn(const QColor& background, const QColor& wanted, double minimum);
