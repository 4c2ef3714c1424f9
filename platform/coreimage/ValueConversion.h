// Reading filter and kernel arguments out of QVariants, accepting the
// neighbouring types callers naturally pass (QPointF or QRectF for a vector,
// QColor for a colour, QTransform for an affine transform, strings as the
// platform writes vectors and colours).
#pragma once

#include <QTransform>
#include <QVariant>

#include "coreimage/Color.h"
#include "coreimage/Image.h"
#include "coreimage/Vector.h"

namespace ci {

bool toNumber(const QVariant& value, double* out);
bool toVector(const QVariant& value, Vector* out);
bool toColor(const QVariant& value, Color* out);
bool toImage(const QVariant& value, Image* out);
bool toTransform(const QVariant& value, QTransform* out);

}  // namespace ci
