// Small archivable classes for the keyed-archive tests: a swatch, and a
// palette that refers to swatches (the same one more than once).
#pragma once

#include <QRectF>
#include <QString>
#include <QVariant>

#include "foundation/Coding.h"

namespace archivetest {

class Swatch : public fnd::Coding {
 public:
  QString name;
  double red = 0, green = 0, blue = 0;

  QString archiveClassName() const override { return "TSSwatch"; }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
};

class Palette : public fnd::Coding {
 public:
  QString title;
  qint32 columns = 0;
  qint64 serial = 0;
  bool locked = false;
  float gamma = 0;
  QRectF frame;
  QPointF origin;
  QSizeF cell;
  QByteArray thumbnail;
  std::shared_ptr<Swatch> primary;
  std::shared_ptr<Swatch> accent;
  QVariantList extras;  // may hold further swatches

  QString archiveClassName() const override { return "TSPalette"; }
  QStringList archiveClassHierarchy() const override {
    return {"TSPalette", "TSCollection", "NSObject"};
  }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
};

// Refers to another node, so tests can build cycles.
class Link : public fnd::Coding {
 public:
  std::shared_ptr<Link> next;
  QString archiveClassName() const override { return "TSLink"; }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
};

// Registers the factories once.
void registerClasses();

}  // namespace archivetest
