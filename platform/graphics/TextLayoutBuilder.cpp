#include "graphics/TextLayoutBuilder.h"

#include <QPainter>
#include <QTextOption>

namespace gfx {
namespace {

Qt::Alignment qtAlignment(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::Right:
      return Qt::AlignRight;
    case TextAlignment::Center:
      return Qt::AlignHCenter;
    case TextAlignment::Justified:
      return Qt::AlignJustify;
    default:
      return Qt::AlignLeft;
  }
}

constexpr double UnlimitedWidth = 1e6;

bool isParagraphSeparator(QChar c) { return c == u'\n' || c == QChar(0x2029) || c == u'\r'; }

}  // namespace

TextLayoutBuilder::TextLayoutBuilder(const AttributedString& string, double width, Colors colors) {
  const QString& text = string.string();
  double y = 0;
  int start = 0;
  for (int i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !isParagraphSeparator(text[i])) continue;
    layoutParagraph(string, start, i, width, colors, y);
    start = i + 1;
  }
  size_.setHeight(y);
}

void TextLayoutBuilder::layoutParagraph(const AttributedString& string, int start, int end,
                                        double width, Colors colors, double& y) {
  // An empty paragraph still takes a line in the font at its position.
  int styleIndex = std::clamp(start, 0, std::max(0, string.length() - 1));
  QVariantMap first = string.attributesAtIndex(styleIndex);
  ParagraphStyle style = paragraphStyleOfAttributes(first);
  auto layout =
      std::make_unique<QTextLayout>(string.string().mid(start, end - start),
                                    fontOfAttributes(first).toQFont(), Font::referenceDevice());
  // Without a width there is nothing to align against.
  QTextOption option(width > 0 ? qtAlignment(style.alignment) : Qt::AlignLeft);
  option.setWrapMode(
      width <= 0                                           ? QTextOption::NoWrap
      : style.lineBreakMode == LineBreakMode::CharWrapping ? QTextOption::WrapAnywhere
      : style.lineBreakMode == LineBreakMode::Clipping     ? QTextOption::NoWrap
                                                       : QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout->setTextOption(option);

  QList<QTextLayout::FormatRange> formats;
  for (const AttributedString::Run& run : string.runs()) {
    int from = std::max(run.location, start);
    int to = std::min(run.location + run.length, end);
    if (from >= to) continue;
    QTextCharFormat format;
    format.setFont(fontOfAttributes(run.attributes).toQFont());
    QColor color = colors == OpaqueWhite ? QColor(Qt::white) : colorOfAttributes(run.attributes);
    format.setForeground(color);
    if (run.attributes.value(UnderlineStyleAttributeName).toInt() != 0)
      format.setFontUnderline(true);
    if (colors == OwnColors && run.attributes.contains(BackgroundColorAttributeName))
      format.setBackground(run.attributes.value(BackgroundColorAttributeName).value<QColor>());
    formats.append({from - start, to - from, format});
  }
  layout->setFormats(formats);

  layout->beginLayout();
  bool firstLine = true;
  double widest = size_.width();
  for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
    double indent = firstLine ? style.firstLineHeadIndent : style.headIndent;
    if (width > 0)
      line.setLineWidth(std::max(1.0, width - indent));
    else
      line.setLineWidth(UnlimitedWidth);
    line.setPosition(QPointF(indent, y));
    if (layouts_.empty() && firstLine) {
      firstBaseline_ = y + line.ascent();
      firstLineHeight_ = line.height();
      firstLineWidth_ = indent + line.naturalTextWidth();
    }
    widest = std::max(widest, indent + line.naturalTextWidth());
    y += line.height() + style.lineSpacing;
    firstLine = false;
  }
  layout->endLayout();
  y += style.paragraphSpacing;
  size_.setWidth(widest);
  layouts_.push_back(std::move(layout));
}

void TextLayoutBuilder::draw(QPainter& painter, const QPointF& topLeft) const {
  for (const auto& layout : layouts_) layout->draw(&painter, topLeft);
}

}  // namespace gfx
