#include "graphics/ArchivedColor.h"

#include <mutex>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/Color.h"

namespace gfx {
namespace {

enum ColorSpaceCode { CalibratedRGB = 1, DeviceRGB = 2, CalibratedWhite = 3, DeviceWhite = 4 };

QByteArray componentText(const QList<double>& values) {
  QStringList parts;
  for (double v : values) parts << QString::number(v, 'g', 17);
  // Archives written elsewhere end the text with a NUL; readers accept both.
  return parts.join(' ').toLatin1() + '\0';
}

// Components in 0…1, or empty when the text is not a list of numbers.
QList<double> parseComponents(QByteArray text) {
  while (text.endsWith('\0')) text.chop(1);
  QList<double> values;
  for (const QByteArray& part : text.simplified().split(' ')) {
    bool ok = false;
    double v = part.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return {};
    values << std::clamp(v, 0.0, 1.0);
  }
  return values;
}

}  // namespace

void ArchivedColor::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  auto c = components(color_);
  bool grey = c[0] == c[1] && c[1] == c[2];
  QList<double> values = grey ? QList<double>{c[0]} : QList<double>{c[0], c[1], c[2]};
  if (c[3] != 1.0) values << c[3];
  coder.encodeInt32(grey ? CalibratedWhite : CalibratedRGB, QStringLiteral("NSColorSpace"));
  coder.encodeData(componentText(values),
                   grey ? QStringLiteral("NSWhite") : QStringLiteral("NSRGB"));
}

std::shared_ptr<ArchivedColor> ArchivedColor::decode(fnd::KeyedUnarchiver& coder) {
  int space = coder.decodeInt32ForKey(QStringLiteral("NSColorSpace"));
  bool rgb = space == CalibratedRGB || space == DeviceRGB;
  bool white = space == CalibratedWhite || space == DeviceWhite;
  QList<double> v;
  if (rgb) v = parseComponents(coder.decodeDataForKey(QStringLiteral("NSRGB")));
  if (white) v = parseComponents(coder.decodeDataForKey(QStringLiteral("NSWhite")));
  if (rgb && (v.size() == 3 || v.size() == 4))
    return std::make_shared<ArchivedColor>(colorWithRGBA(v[0], v[1], v[2], v.value(3, 1.0)));
  if (white && (v.size() == 1 || v.size() == 2))
    return std::make_shared<ArchivedColor>(colorWithWhite(v[0], v.value(1, 1.0)));
  coder.setFailed(QStringLiteral("unreadable colour (space %1)").arg(space));
  return nullptr;
}

void ArchivedColor::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    fnd::KeyedUnarchiver::registerClass(
        QStringLiteral("NSColor"),
        [](fnd::KeyedUnarchiver& coder) -> fnd::CodingPtr { return decode(coder); });
  });
}

fnd::CodingPtr codingForColor(const QColor& color) {
  return std::make_shared<ArchivedColor>(color);
}

QColor colorFromCoding(const fnd::CodingPtr& object) {
  auto archived = std::dynamic_pointer_cast<ArchivedColor>(object);
  return archived ? archived->color() : QColor();
}

QByteArray archivedDataWithColor(const QColor& color) {
  return fnd::KeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(codingForColor(color)));
}

QColor colorWithArchivedData(const QByteArray& data, fnd::Error* error) {
  ArchivedColor::registerClass();
  fnd::Error failure;
  QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data, &failure);
  QColor color = colorFromCoding(root.value<fnd::CodingPtr>());
  if (!color.isValid()) {
    if (failure.isNull())
      failure = fnd::Error::withDescription(fnd::CocoaErrorDomain, fnd::CoderReadCorruptError,
                                            QStringLiteral("The archive holds no colour."));
    fnd::fail(error, failure);
  }
  return color;
}

}  // namespace gfx
