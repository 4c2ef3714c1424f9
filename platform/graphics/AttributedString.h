// Text with attributes on ranges: font, colour and paragraph style are
// understood by layout and drawing; any other attribute is carried along.
// Laid out with QTextLayout against Font's 72 dpi reference device.
#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include "graphics/Font.h"

class QTextLayout;

namespace gfx {

inline const QString FontAttributeName = QStringLiteral("NSFont");
inline const QString ForegroundColorAttributeName = QStringLiteral("NSColor");
inline const QString BackgroundColorAttributeName = QStringLiteral("NSBackgroundColor");
inline const QString ParagraphStyleAttributeName = QStringLiteral("NSParagraphStyle");
inline const QString UnderlineStyleAttributeName = QStringLiteral("NSUnderline");
inline const QString KernAttributeName = QStringLiteral("NSKern");

enum class TextAlignment { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };
enum class LineBreakMode { WordWrapping = 0, CharWrapping = 1, Clipping = 2 };

struct ParagraphStyle {
  TextAlignment alignment = TextAlignment::Natural;
  LineBreakMode lineBreakMode = LineBreakMode::WordWrapping;
  double lineSpacing = 0;  // extra space between lines, in points
  double paragraphSpacing = 0;
  double firstLineHeadIndent = 0;
  double headIndent = 0;
  bool operator==(const ParagraphStyle& other) const = default;
};

// Options of boundingRectWithSize().
enum StringDrawingOptions {
  StringDrawingUsesLineFragmentOrigin = 1 << 0,
  StringDrawingUsesFontLeading = 1 << 1,
};

class AttributedString {
 public:
  struct Run {
    int location;
    int length;
    QVariantMap attributes;
  };

  AttributedString() = default;
  explicit AttributedString(const QString& text, const QVariantMap& attributes = {});
  // The common case: one font and colour for the whole text.
  AttributedString(const QString& text, const Font& font, const QColor& color = Qt::black);

  const QString& string() const { return text_; }
  int length() const { return int(text_.size()); }

  // Attributes of the character at `index`; `effectiveRange` gets the run.
  QVariantMap attributesAtIndex(int index, int* effectiveLocation = nullptr,
                                int* effectiveLength = nullptr) const;
  QVariant attribute(const QString& name, int index) const;
  void setAttributes(const QVariantMap& attributes, int location, int length);
  void addAttribute(const QString& name, const QVariant& value, int location, int length);
  void addAttributes(const QVariantMap& attributes, int location, int length);
  void removeAttribute(const QString& name, int location, int length);
  void appendAttributedString(const AttributedString& other);
  void replaceCharactersInRange(int location, int length, const QString& text);
  QList<Run> runs() const { return runs_; }

  // Size of the text laid out on one line per paragraph.
  QSizeF size() const;
  // Bounds of the text wrapped to `size.width()` (0 = unlimited). With
  // StringDrawingUsesLineFragmentOrigin the rect starts at (0, 0) and holds
  // every line; without it, only the first line with its origin at the
  // baseline (y = the descender, negative).
  QRectF boundingRectWithSize(QSizeF size, int options = StringDrawingUsesLineFragmentOrigin) const;

  // Into GraphicsContext::current().
  void drawInRect(const QRectF& rect) const;
  void drawAtPoint(const QPointF& point) const;

  bool operator==(const AttributedString& other) const;

 private:
  friend class TextLayoutBuilder;
  void normalizeRuns();
  QString text_;
  QList<Run> runs_;  // cover the text without gaps, in order
};

// Attribute values as stored in the maps.
QVariant fontValue(const Font& font);
QVariant paragraphStyleValue(const ParagraphStyle& style);
Font fontOfAttributes(const QVariantMap& attributes);
QColor colorOfAttributes(const QVariantMap& attributes);
ParagraphStyle paragraphStyleOfAttributes(const QVariantMap& attributes);

}  // namespace gfx

Q_DECLARE_METATYPE(gfx::ParagraphStyle)
