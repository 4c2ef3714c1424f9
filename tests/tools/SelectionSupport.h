// Reading the pixels the selection tests check: the document flattened,
// a recipe rendered, and colours read in document coordinates (y up).
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

#include "ToolWindow.h"
#include "coreimage/Image.h"

namespace seltest {

inline const QColor kGround(40, 170, 70);
inline const QColor kFill(255, 255, 0);

// The document's layers flattened with transparency, top row first.
QImage flatten(ToolWindow& w);
// The recipe over (0, 0, size).
QImage render(const ci::Image& image, QSize size);
// The straight colour of the pixel whose lower-left corner is (x, y).
QColor colorAt(const QImage& image, double x, double y);

}  // namespace seltest
