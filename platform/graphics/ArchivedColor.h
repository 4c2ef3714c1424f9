// A colour as an archivable object, so colours can live in keyed archives
// and in user defaults as archived data. Written in the colour class's usual
// archive layout: "NSColorSpace" (1 calibrated RGB, 2 device RGB,
// 3 calibrated white, 4 device white) and the components as text in "NSRGB"
// or "NSWhite" ("r g b a", alpha left out when 1).
#pragma once

#include <QByteArray>
#include <QColor>

#include "foundation/Coding.h"
#include "foundation/Error.h"

namespace fnd {
class KeyedUnarchiver;
}

namespace gfx {

class ArchivedColor : public fnd::Coding {
 public:
  explicit ArchivedColor(QColor color) : color_(std::move(color)) {}
  QColor color() const { return color_; }

  QString archiveClassName() const override { return QStringLiteral("NSColor"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
  // Null (and the coder failed) for a colour space or components it cannot read.
  static std::shared_ptr<ArchivedColor> decode(fnd::KeyedUnarchiver& coder);

  // Makes unarchivers turn "NSColor" entries into ArchivedColor. Safe to call
  // repeatedly; the helpers below call it.
  static void registerClass();

 private:
  QColor color_;
};

fnd::CodingPtr codingForColor(const QColor& color);
// Invalid QColor when `object` is not an archived colour.
QColor colorFromCoding(const fnd::CodingPtr& object);
QByteArray archivedDataWithColor(const QColor& color);
QColor colorWithArchivedData(const QByteArray& data, fnd::Error* error = nullptr);

}  // namespace gfx
