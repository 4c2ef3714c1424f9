// Points, sizes and rectangles as the archive text forms "{x, y}",
// "{w, h}" and "{{x, y}, {w, h}}", written with the shortest exact digits.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace fnd {

QString stringFromPoint(const QPointF& point);
QString stringFromSize(const QSizeF& size);
QString stringFromRect(const QRectF& rect);

// False when the text is not of the expected form.
bool pointFromString(const QString& text, QPointF* point);
bool sizeFromString(const QString& text, QSizeF* size);
bool rectFromString(const QString& text, QRectF* rect);

}  // namespace fnd
