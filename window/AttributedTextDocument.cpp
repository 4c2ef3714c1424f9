#include "window/AttributedTextDocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <memory>

namespace {

// Where a run's full attribute map is kept on the editor's characters.
constexpr int kAttributesProperty = QTextFormat::UserProperty + 1;

QTextCharFormat formatOfAttributes(const QVariantMap& attributes) {
  QTextCharFormat format;
  const gfx::Font font = gfx::fontOfAttributes(attributes);
  format.setFontFamilies(QStringList{font.familyName()});
  format.setFontPointSize(font.pointSize());
  format.setFontWeight(font.isBold() ? QFont::Bold : QFont::Normal);
  format.setFontItalic(font.isItalic());
  format.setForeground(gfx::colorOfAttributes(attributes));
  format.setFontUnderline(attributes.value(gfx::UnderlineStyleAttributeName).toInt() != 0);
  format.setProperty(kAttributesProperty, attributes);
  return format;
}

QVariantMap attributesOfFormat(const QTextCharFormat& format) {
  QVariantMap attributes = format.property(kAttributesProperty).toMap();
  const QFont shown = format.font();
  attributes.insert(
      gfx::FontAttributeName,
      gfx::fontValue(gfx::Font(shown.family(), shown.pointSizeF(), shown.bold(), shown.italic())));
  if (format.foreground().style() != Qt::NoBrush)
    attributes.insert(gfx::ForegroundColorAttributeName, format.foreground().color());
  if (format.fontUnderline())
    attributes.insert(gfx::UnderlineStyleAttributeName, 1);
  else
    attributes.remove(gfx::UnderlineStyleAttributeName);
  return attributes;
}

}  // namespace

void AttributedTextDocument::fill(QTextDocument* document, const gfx::AttributedString& string) {
  document->clear();
  QTextCursor cursor(document);
  for (const gfx::AttributedString::Run& run : string.runs())
    cursor.insertText(string.string().mid(run.location, run.length),
                      formatOfAttributes(run.attributes));
}

gfx::AttributedString AttributedTextDocument::attributedString(const QTextDocument& document) {
  gfx::AttributedString string;
  QVariantMap last;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin())
      string.appendAttributedString(gfx::AttributedString(QStringLiteral("\n"), last));
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      last = attributesOfFormat(fragment.charFormat());
      string.appendAttributedString(gfx::AttributedString(fragment.text(), last));
    }
    if (block.begin().atEnd()) last = attributesOfFormat(block.charFormat());
  }
  return string;
}

QSizeF AttributedTextDocument::unwrappedSize(const QTextDocument& document) {
  std::unique_ptr<QTextDocument> copy(document.clone());
  copy->setDocumentMargin(0);
  copy->setTextWidth(-1);
  return copy->size();
}
