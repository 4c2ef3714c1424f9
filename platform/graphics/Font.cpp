#include "graphics/Font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QMutex>

namespace gfx {
namespace {

QString lookUpFamily(const QString& requested) {
  if (!requested.isEmpty() && QFontDatabase::hasFamily(requested)) return requested;
  // Names carry weights and styles ("Helvetica-Bold"): try the family part.
  QString family = requested.section('-', 0, 0);
  if (!family.isEmpty() && QFontDatabase::hasFamily(family)) return family;
  if (QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans"))) return QStringLiteral("DejaVu Sans");
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

// Font database look-ups are slow and every layout asks, so answers are kept
// (a family added to the application later is seen only for names not yet asked).
QString resolvedFamily(const QString& requested) {
  static QMutex mutex;
  static QHash<QString, QString> known;
  QMutexLocker lock(&mutex);
  auto found = known.constFind(requested);
  if (found != known.constEnd()) return *found;
  QString family = lookUpFamily(requested);
  known.insert(requested, family);
  return family;
}

bool nameSaysBold(const QString& name) {
  return name.contains(QLatin1String("Bold"), Qt::CaseInsensitive);
}
bool nameSaysItalic(const QString& name) {
  return name.contains(QLatin1String("Italic"), Qt::CaseInsensitive) ||
         name.contains(QLatin1String("Oblique"), Qt::CaseInsensitive);
}

}  // namespace

Font::Font() : Font(QString(), 12.0) {}

Font::Font(const QString& family, double pointSize, bool bold, bool italic)
    : requestedName_(family),
      pointSize_(pointSize > 0 ? pointSize : 12.0),
      bold_(bold),
      italic_(italic) {}

Font Font::fontWithName(const QString& name, double size) {
  return Font(name, size, nameSaysBold(name), nameSaysItalic(name));
}

Font Font::systemFontOfSize(double size) {
  return Font(QString(), size > 0 ? size : systemFontSize());
}

Font Font::boldSystemFontOfSize(double size) {
  return Font(QString(), size > 0 ? size : systemFontSize(), true);
}

Font Font::userFixedPitchFontOfSize(double size) {
  QString mono = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  if (QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Mono")))
    mono = QStringLiteral("DejaVu Sans Mono");
  return Font(mono, size > 0 ? size : systemFontSize());
}

QString Font::familyName() const { return resolvedFamily(requestedName_); }

Font Font::withSize(double size) const { return Font(requestedName_, size, bold_, italic_); }

QPaintDevice* Font::referenceDevice() {
  // One pixel per point: QImage reports round(dotsPerMeter × 0.0254) dpi.
  static QImage device = [] {
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(2835);
    image.setDotsPerMeterY(2835);
    return image;
  }();
  return &device;
}

QFont Font::toQFont() const {
  QFont font(familyName());
  font.setPointSizeF(pointSize_);
  font.setBold(bold_);
  font.setItalic(italic_);
  // Unhinted outlines keep widths proportional at every scale, so a layout
  // measured at 72 dpi fits when drawn zoomed or into a PDF.
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(true);
  return QFont(font, referenceDevice());
}

double Font::ascender() const { return QFontMetricsF(toQFont(), referenceDevice()).ascent(); }
double Font::descender() const { return -QFontMetricsF(toQFont(), referenceDevice()).descent(); }
double Font::leading() const { return QFontMetricsF(toQFont(), referenceDevice()).leading(); }
double Font::capHeight() const { return QFontMetricsF(toQFont(), referenceDevice()).capHeight(); }
double Font::xHeight() const { return QFontMetricsF(toQFont(), referenceDevice()).xHeight(); }

double Font::widthOfString(const QString& text) const {
  return QFontMetricsF(toQFont(), referenceDevice()).horizontalAdvance(text);
}

bool Font::operator==(const Font& other) const {
  return familyName() == other.familyName() && pointSize_ == other.pointSize_ &&
         bold_ == other.bold_ && italic_ == other.italic_;
}

}  // namespace gfx
