// Reading what tools drew: a layer's pixels at document points (y up) and
// the flattened document's.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

class ComposedImage;
class Layer;

namespace tooltest {

// Transparent outside the layer's image.
QColor layerColorAt(Layer* layer, int x, int y);
QImage flattened(ComposedImage* image);
QColor flattenedColorAt(const QImage& flattened, int x, int y);

}  // namespace tooltest
