#include "model/TextAttributesCoding.h"

#include <QColor>
#include <cmath>
#include <mutex>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/ArchivedColor.h"
#include "graphics/AttributedString.h"
#include "model/FontCoding.h"
#include "model/IMFoundationExtra.h"

namespace {

const QString AlignmentKey = QStringLiteral("TSAlignment");
const QString LineBreakModeKey = QStringLiteral("TSLineBreakMode");
const QString LineSpacingKey = QStringLiteral("TSLineSpacing");
const QString ParagraphSpacingKey = QStringLiteral("TSParagraphSpacing");
const QString FirstLineHeadIndentKey = QStringLiteral("TSFirstLineHeadIndent");
const QString HeadIndentKey = QStringLiteral("TSHeadIndent");

// Spacing and indents in points; larger ones come from damaged data, and
// would size a text layer's image beyond any canvas.
constexpr double MaximumMeasure = 100000;

class ParagraphStyleCoding : public fnd::Coding {
 public:
  explicit ParagraphStyleCoding(gfx::ParagraphStyle style) : style_(style) {}
  const gfx::ParagraphStyle& style() const { return style_; }
  QString archiveClassName() const override { return QStringLiteral("NSParagraphStyle"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override {
    coder.encodeInt32(int(style_.alignment), AlignmentKey);
    coder.encodeInt32(int(style_.lineBreakMode), LineBreakModeKey);
    coder.encodeDouble(style_.lineSpacing, LineSpacingKey);
    coder.encodeDouble(style_.paragraphSpacing, ParagraphSpacingKey);
    coder.encodeDouble(style_.firstLineHeadIndent, FirstLineHeadIndentKey);
    coder.encodeDouble(style_.headIndent, HeadIndentKey);
  }
  static fnd::CodingPtr decode(fnd::KeyedUnarchiver& coder) {
    gfx::ParagraphStyle style;
    const int alignment = coder.decodeInt32ForKey(AlignmentKey);
    const int lineBreakMode = coder.decodeInt32ForKey(LineBreakModeKey);
    // Out-of-range enumerations from damaged data fall back to the defaults.
    if (alignment >= 0 && alignment <= int(gfx::TextAlignment::Natural))
      style.alignment = gfx::TextAlignment(alignment);
    if (lineBreakMode >= 0 && lineBreakMode <= int(gfx::LineBreakMode::Clipping))
      style.lineBreakMode = gfx::LineBreakMode(lineBreakMode);
    style.lineSpacing = coder.decodeDoubleForKey(LineSpacingKey);
    style.paragraphSpacing = coder.decodeDoubleForKey(ParagraphSpacingKey);
    style.firstLineHeadIndent = coder.decodeDoubleForKey(FirstLineHeadIndentKey);
    style.headIndent = coder.decodeDoubleForKey(HeadIndentKey);
    if (coder.failed()) return nullptr;
    for (double measure :
         {style.lineSpacing, style.paragraphSpacing, style.firstLineHeadIndent, style.headIndent}) {
      if (!std::isfinite(measure) || std::fabs(measure) > MaximumMeasure) {
        coder.setFailed(QStringLiteral("archived paragraph style has unusable spacing"));
        return nullptr;
      }
    }
    return std::make_shared<ParagraphStyleCoding>(style);
  }

 private:
  gfx::ParagraphStyle style_;
};

bool isPlainValue(const QVariant& value) {
  return isNumberValue(value) || value.typeId() == QMetaType::QString ||
         value.typeId() == QMetaType::QByteArray;
}

}  // namespace

void registerTextAttributeClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    FontCoding::registerClass();
    gfx::ArchivedColor::registerClass();
    fnd::KeyedUnarchiver::registerClass(QStringLiteral("NSParagraphStyle"),
                                        ParagraphStyleCoding::decode);
  });
}

QVariantMap archivableTextAttributes(const QVariantMap& attributes) {
  QVariantMap result;
  for (auto it = attributes.begin(); it != attributes.end(); ++it) {
    const QVariant& value = it.value();
    if (value.typeId() == qMetaTypeId<gfx::Font>())
      result.insert(it.key(), QVariant::fromValue(fnd::CodingPtr(
                                  std::make_shared<FontCoding>(value.value<gfx::Font>()))));
    else if (value.typeId() == QMetaType::QColor)
      result.insert(it.key(), QVariant::fromValue(gfx::codingForColor(value.value<QColor>())));
    else if (value.typeId() == qMetaTypeId<gfx::ParagraphStyle>())
      result.insert(it.key(),
                    QVariant::fromValue(fnd::CodingPtr(std::make_shared<ParagraphStyleCoding>(
                        value.value<gfx::ParagraphStyle>()))));
    else if (isPlainValue(value))
      result.insert(it.key(), value);
  }
  return result;
}

QVariantMap textAttributesFromArchive(const QVariantMap& archived) {
  QVariantMap result;
  for (auto it = archived.begin(); it != archived.end(); ++it) {
    const QVariant& value = it.value();
    if (value.typeId() != qMetaTypeId<fnd::CodingPtr>()) {
      if (isPlainValue(value)) result.insert(it.key(), value);
      continue;
    }
    const fnd::CodingPtr object = value.value<fnd::CodingPtr>();
    if (auto font = std::dynamic_pointer_cast<FontCoding>(object))
      result.insert(it.key(), gfx::fontValue(font->font()));
    else if (auto style = std::dynamic_pointer_cast<ParagraphStyleCoding>(object))
      result.insert(it.key(), gfx::paragraphStyleValue(style->style()));
    else if (QColor color = gfx::colorFromCoding(object); color.isValid())
      result.insert(it.key(), color);
  }
  return result;
}

QByteArray archivedDataWithTextAttributes(const QVariantMap& attributes) {
  return fnd::KeyedArchiver::archivedDataWithRootObject(archivableTextAttributes(attributes));
}

bool textAttributesWithArchivedData(const QByteArray& data, QVariantMap* attributes,
                                    fnd::Error* error) {
  registerTextAttributeClasses();
  fnd::Error failure;
  const QVariant root = fnd::KeyedUnarchiver::unarchiveObjectWithData(data, &failure);
  if (!failure.isNull()) return fnd::fail(error, failure);
  if (root.typeId() != QMetaType::QVariantMap)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::CoderReadCorruptError,
                     QStringLiteral("The data is not an archived dictionary."));
  if (attributes) *attributes = textAttributesFromArchive(root.toMap());
  return true;
}
