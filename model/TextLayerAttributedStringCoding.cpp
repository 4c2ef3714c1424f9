#include "model/TextLayerAttributedStringCoding.h"

#include <mutex>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "model/TextAttributesCoding.h"

namespace {
const QString StringKey = QStringLiteral("NSString");
const QString RunsKey = QStringLiteral("TSRuns");
const QString LocationKey = QStringLiteral("TSLocation");
const QString LengthKey = QStringLiteral("TSLength");
const QString AttributesKey = QStringLiteral("TSAttributes");

// The default font has no name of its own, and an archived font without a
// name cannot be read back: it is archived under the family it resolves to.
QVariantMap withNamedFont(QVariantMap attributes) {
  if (!attributes.contains(gfx::FontAttributeName)) return attributes;
  const gfx::Font font = gfx::fontOfAttributes(attributes);
  if (font.fontName().isEmpty())
    attributes.insert(gfx::FontAttributeName,
                      gfx::fontValue(gfx::Font(font.familyName(), font.pointSize(), font.isBold(),
                                               font.isItalic())));
  return attributes;
}

// Runs as archived: a list of dictionaries, each with its range and its
// attributes in their archivable form.
QVariantList archivedRuns(const gfx::AttributedString& string) {
  QVariantList runs;
  for (const gfx::AttributedString::Run& run : string.runs()) {
    QVariantMap entry;
    entry.insert(LocationKey, qint64(run.location));
    entry.insert(LengthKey, qint64(run.length));
    entry.insert(AttributesKey, archivableTextAttributes(withNamedFont(run.attributes)));
    runs.append(entry);
  }
  return runs;
}

// Applies archived runs to `string`; false when one is malformed or does not
// fit inside the text.
bool applyArchivedRuns(const QVariant& value, gfx::AttributedString* string) {
  if (!value.isValid()) return true;
  if (value.typeId() != QMetaType::QVariantList) return false;
  for (const QVariant& item : value.toList()) {
    if (item.typeId() != QMetaType::QVariantMap) return false;
    const QVariantMap entry = item.toMap();
    bool locationOk = false, lengthOk = false;
    const qint64 location = entry.value(LocationKey).toLongLong(&locationOk);
    const qint64 length = entry.value(LengthKey).toLongLong(&lengthOk);
    // Compared without adding, so no stored pair can wrap past the check.
    if (!locationOk || !lengthOk || location < 0 || length < 0 || location > string->length() ||
        length > string->length() - location)
      return false;
    const QVariant attributes = entry.value(AttributesKey);
    if (attributes.isValid() && attributes.typeId() != QMetaType::QVariantMap) return false;
    if (length > 0)
      string->setAttributes(textAttributesFromArchive(attributes.toMap()), int(location),
                            int(length));
  }
  return true;
}

}  // namespace

void TextLayerAttributedStringCoding::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  coder.encodeString(string_.string(), StringKey);
  coder.encodeObject(archivedRuns(string_), RunsKey);
}

std::shared_ptr<TextLayerAttributedStringCoding> TextLayerAttributedStringCoding::decode(
    fnd::KeyedUnarchiver& coder) {
  const QString text = coder.decodeStringForKey(StringKey);
  const QVariant runs = coder.decodeObjectForKey(RunsKey);
  if (coder.failed()) return nullptr;
  gfx::AttributedString string(text);
  if (!applyArchivedRuns(runs, &string)) {
    coder.setFailed(QStringLiteral("archived attributed string has runs outside its text"));
    return nullptr;
  }
  return std::make_shared<TextLayerAttributedStringCoding>(std::move(string));
}

void TextLayerAttributedStringCoding::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerTextAttributeClasses();
    fnd::KeyedUnarchiver::registerClass(
        QStringLiteral("NSAttributedString"),
        [](fnd::KeyedUnarchiver& coder) -> fnd::CodingPtr { return decode(coder); });
  });
}

QVariant TextLayerAttributedStringCoding::valueWithAttributedString(
    const gfx::AttributedString& string) {
  return QVariant::fromValue(
      fnd::CodingPtr(std::make_shared<TextLayerAttributedStringCoding>(string)));
}

gfx::AttributedString TextLayerAttributedStringCoding::attributedStringOfValue(
    const QVariant& value) {
  if (value.typeId() != qMetaTypeId<fnd::CodingPtr>()) return {};
  auto coding =
      std::dynamic_pointer_cast<TextLayerAttributedStringCoding>(value.value<fnd::CodingPtr>());
  return coding ? coding->attributedString() : gfx::AttributedString();
}

QByteArray archivedDataWithAttributedString(const gfx::AttributedString& string) {
  return fnd::KeyedArchiver::archivedDataWithRootObject(
      TextLayerAttributedStringCoding::valueWithAttributedString(string));
}

bool attributedStringWithArchivedData(const QByteArray& data, gfx::AttributedString* string,
                                      fnd::Error* error) {
  TextLayerAttributedStringCoding::registerClass();
  fnd::Error failure;
  const QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data, &failure);
  if (!failure.isNull()) return fnd::fail(error, failure);
  auto coding =
      std::dynamic_pointer_cast<TextLayerAttributedStringCoding>(root.value<fnd::CodingPtr>());
  if (root.typeId() != qMetaTypeId<fnd::CodingPtr>() || !coding)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::CoderReadCorruptError,
                     QStringLiteral("The data is not an archived attributed string."));
  if (string) *string = coding->attributedString();
  return true;
}
