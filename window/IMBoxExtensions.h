// The side panels' background follows the window's key state: a light blue
// while the window is key, a neutral grey while it is not.
#pragma once

#include <QColor>

class QWidget;

// Device red 0.85, green 0.87, blue 0.90, alpha 1.
const QColor& IMBoxKeyFillColor();
// Device white 0.93, alpha 1.
const QColor& IMBoxNotKeyFillColor();
void becomeKey(QWidget* box);
void resignKey(QWidget* box);
