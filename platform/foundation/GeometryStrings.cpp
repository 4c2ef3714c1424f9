#include "foundation/GeometryStrings.h"

#include <QLocale>
#include <QVector>

namespace fnd {

namespace {

QString number(qreal value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

QString pair(qreal a, qreal b) { return QStringLiteral("{%1, %2}").arg(number(a), number(b)); }

// Reads the numbers of a braced form, checking the braces nest as
// `pattern` says ("{,}" or "{{,},{,}}") once digits are removed.
bool readNumbers(const QString& text, const QString& pattern, QVector<qreal>* numbers) {
  QString shape;
  QString current;
  bool ended = false;  // a space closed the current number
  auto flush = [&]() {
    ended = false;
    if (current.isEmpty()) return true;
    bool ok = false;
    numbers->append(current.toDouble(&ok));
    current.clear();
    return ok;
  };
  for (QChar c : text) {
    if (c == '{' || c == '}' || c == ',') {
      if (!flush()) return false;
      shape.append(c);
    } else if (c.isSpace()) {
      ended = !current.isEmpty();
    } else {
      if (ended) return false;
      current.append(c);
    }
  }
  return flush() && shape == pattern && numbers->size() == pattern.count(',') + 1;
}

}  // namespace

QString stringFromPoint(const QPointF& point) { return pair(point.x(), point.y()); }

QString stringFromSize(const QSizeF& size) { return pair(size.width(), size.height()); }

QString stringFromRect(const QRectF& rect) {
  return QStringLiteral("{%1, %2}")
      .arg(pair(rect.x(), rect.y()), pair(rect.width(), rect.height()));
}

bool pointFromString(const QString& text, QPointF* point) {
  QVector<qreal> n;
  if (!readNumbers(text, "{,}", &n)) return false;
  *point = QPointF(n[0], n[1]);
  return true;
}

bool sizeFromString(const QString& text, QSizeF* size) {
  QVector<qreal> n;
  if (!readNumbers(text, "{,}", &n)) return false;
  *size = QSizeF(n[0], n[1]);
  return true;
}

bool rectFromString(const QString& text, QRectF* rect) {
  QVector<qreal> n;
  if (!readNumbers(text, "{{,},{,}}", &n)) return false;
  *rect = QRectF(n[0], n[1], n[2], n[3]);
  return true;
}

}  // namespace fnd
