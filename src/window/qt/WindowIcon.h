#pragma once

#include <QIcon>

// The window's 24 x 24 icon, drawn here so that the program needs no picture files.
QIcon paintedWindowIcon();
