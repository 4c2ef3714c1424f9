#include "coreimage/Vector.h"

#include <QStringList>

namespace ci {

Vector Vector::vectorWithString(const QString& text) {
  QString body = text.trimmed();
  if (!body.startsWith('[') || !body.endsWith(']')) return {};
  body = body.mid(1, body.size() - 2);
  Vector v;
  for (const QString& part : body.split(' ', Qt::SkipEmptyParts)) {
    bool ok = false;
    const double value = part.toDouble(&ok);
    if (!ok) return {};
    v.values_.push_back(value);
  }
  return v;
}

QString Vector::stringRepresentation() const {
  QStringList parts;
  for (double v : values_) parts << QString::number(v, 'g', 12);
  return '[' + parts.join(' ') + ']';
}

}  // namespace ci
