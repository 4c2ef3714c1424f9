#include "model/FontCoding.h"

#include <QFontDatabase>
#include <cmath>
#include <mutex>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

namespace {
const QString NameKey = QStringLiteral("NSName");
const QString SizeKey = QStringLiteral("NSSize");
const QString BoldKey = QStringLiteral("TSBold");
const QString ItalicKey = QStringLiteral("TSItalic");
// Larger sizes are not fonts anyone set; they come from damaged data.
constexpr double MaximumFontSize = 10000;
}  // namespace

void FontCoding::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  // A default-constructed font names no face; its family is what it draws
  // with, and an archive without a name could not be read back.
  const QString name = font_.fontName().isEmpty() ? font_.familyName() : font_.fontName();
  coder.encodeString(name, NameKey);
  coder.encodeDouble(font_.pointSize(), SizeKey);
  if (font_.isBold()) coder.encodeBool(true, BoldKey);
  if (font_.isItalic()) coder.encodeBool(true, ItalicKey);
}

std::shared_ptr<FontCoding> FontCoding::decode(fnd::KeyedUnarchiver& coder) {
  const QString name = coder.decodeStringForKey(NameKey);
  const double size = coder.decodeDoubleForKey(SizeKey);
  const bool bold = coder.decodeBoolForKey(BoldKey);
  const bool italic = coder.decodeBoolForKey(ItalicKey);
  if (coder.failed()) return nullptr;
  if (name.isEmpty() || !std::isfinite(size) || size <= 0 || size > MaximumFontSize) {
    coder.setFailed(QStringLiteral("archived font has no name or an unusable size"));
    return nullptr;
  }
  return std::make_shared<FontCoding>(gfx::Font(name, size, bold, italic));
}

void FontCoding::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    fnd::KeyedUnarchiver::registerClass(
        QStringLiteral("NSFont"),
        [](fnd::KeyedUnarchiver& coder) -> fnd::CodingPtr { return decode(coder); });
  });
}

bool FontCoding::isInstalled(const gfx::Font& font) {
  return !font.fontName().isEmpty() && QFontDatabase::hasFamily(font.fontName());
}

gfx::Font FontCoding::installedFont(const gfx::Font& font) {
  if (isInstalled(font)) return font;
  return gfx::Font(gfx::Font().familyName(), font.pointSize(), font.isBold(), font.isItalic());
}

QByteArray archivedDataWithFont(const gfx::Font& font) {
  return fnd::KeyedArchiver::archivedDataWithRootObject(
      QVariant::fromValue(fnd::CodingPtr(std::make_shared<FontCoding>(font))));
}

bool fontWithArchivedData(const QByteArray& data, gfx::Font* font, fnd::Error* error) {
  FontCoding::registerClass();
  fnd::Error failure;
  const QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data, &failure);
  auto coding = std::dynamic_pointer_cast<FontCoding>(root.value<fnd::CodingPtr>());
  if (!coding) {
    if (failure.isNull())
      failure = fnd::Error::withDescription(fnd::CocoaErrorDomain, fnd::CoderReadCorruptError,
                                            QStringLiteral("The data is not an archived font."));
    return fnd::fail(error, failure);
  }
  if (font) *font = coding->font();
  return true;
}
