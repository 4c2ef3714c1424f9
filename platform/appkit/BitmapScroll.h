// Moving a bitmap's pixels within itself, as a scroll moves what a view
// already shows instead of drawing it again.
#pragma once

#include <QImage>
#include <QPoint>

namespace ui {

// Moves every pixel of `image` by `shift` (x right, y down), in place. The
// pixels the move uncovers keep what they held; the caller draws them anew.
void scrollBitmapPixels(QImage& image, const QPoint& shift);

}  // namespace ui
