#include "graphics/AttributedString.h"

#include "graphics/GraphicsContext.h"
#include "graphics/TextLayoutBuilder.h"

namespace gfx {

QVariant fontValue(const Font& font) { return QVariant::fromValue(font); }
QVariant paragraphStyleValue(const ParagraphStyle& style) { return QVariant::fromValue(style); }

Font fontOfAttributes(const QVariantMap& attributes) {
  QVariant value = attributes.value(FontAttributeName);
  return value.canConvert<Font>() ? value.value<Font>() : Font();
}

QColor colorOfAttributes(const QVariantMap& attributes) {
  QVariant value = attributes.value(ForegroundColorAttributeName);
  QColor color = value.value<QColor>();
  return color.isValid() ? color : QColor(Qt::black);
}

ParagraphStyle paragraphStyleOfAttributes(const QVariantMap& attributes) {
  QVariant value = attributes.value(ParagraphStyleAttributeName);
  return value.canConvert<ParagraphStyle>() ? value.value<ParagraphStyle>() : ParagraphStyle();
}

AttributedString::AttributedString(const QString& text, const QVariantMap& attributes)
    : text_(text) {
  if (!text_.isEmpty()) runs_.append({0, int(text_.size()), attributes});
}

AttributedString::AttributedString(const QString& text, const Font& font, const QColor& color)
    : AttributedString(
          text, {{FontAttributeName, fontValue(font)}, {ForegroundColorAttributeName, color}}) {}

QVariantMap AttributedString::attributesAtIndex(int index, int* effectiveLocation,
                                                int* effectiveLength) const {
  for (const Run& run : runs_) {
    if (index < run.location || index >= run.location + run.length) continue;
    if (effectiveLocation) *effectiveLocation = run.location;
    if (effectiveLength) *effectiveLength = run.length;
    return run.attributes;
  }
  if (effectiveLocation) *effectiveLocation = 0;
  if (effectiveLength) *effectiveLength = 0;
  // Past the end (an empty string's only paragraph) the last attributes hold.
  return runs_.isEmpty() ? QVariantMap() : runs_.last().attributes;
}

QVariant AttributedString::attribute(const QString& name, int index) const {
  return attributesAtIndex(index).value(name);
}

namespace {

// Splits the run holding `index` so that a run starts there.
void splitAt(QList<AttributedString::Run>& runs, int index) {
  for (int i = 0; i < runs.size(); ++i) {
    AttributedString::Run& run = runs[i];
    if (index <= run.location || index >= run.location + run.length) continue;
    AttributedString::Run tail{index, run.location + run.length - index, run.attributes};
    run.length = index - run.location;
    runs.insert(i + 1, tail);
    return;
  }
}

template <class Change>
void changeRange(QList<AttributedString::Run>& runs, int location, int length, Change change) {
  splitAt(runs, location);
  splitAt(runs, location + length);
  for (AttributedString::Run& run : runs)
    if (run.location >= location && run.location + run.length <= location + length)
      change(run.attributes);
}

}  // namespace

void AttributedString::setAttributes(const QVariantMap& attributes, int location, int length) {
  changeRange(runs_, location, length, [&](QVariantMap& map) { map = attributes; });
  normalizeRuns();
}

void AttributedString::addAttribute(const QString& name, const QVariant& value, int location,
                                    int length) {
  changeRange(runs_, location, length, [&](QVariantMap& map) { map.insert(name, value); });
  normalizeRuns();
}

void AttributedString::addAttributes(const QVariantMap& attributes, int location, int length) {
  changeRange(runs_, location, length, [&](QVariantMap& map) { map.insert(attributes); });
  normalizeRuns();
}

void AttributedString::removeAttribute(const QString& name, int location, int length) {
  changeRange(runs_, location, length, [&](QVariantMap& map) { map.remove(name); });
  normalizeRuns();
}

void AttributedString::appendAttributedString(const AttributedString& other) {
  int offset = length();
  text_ += other.text_;
  for (Run run : other.runs_) {
    run.location += offset;
    runs_.append(run);
  }
  normalizeRuns();
}

void AttributedString::replaceCharactersInRange(int location, int length, const QString& text) {
  location = std::clamp(location, 0, this->length());
  length = std::clamp(length, 0, this->length() - location);
  // New characters take the attributes of the first one replaced, or of
  // the one before when inserting.
  QVariantMap attributes = attributesAtIndex(length > 0 || location == 0 ? location : location - 1);
  splitAt(runs_, location);
  splitAt(runs_, location + length);
  QList<Run> result;
  for (Run run : runs_) {
    if (run.location >= location && run.location + run.length <= location + length) continue;
    if (run.location >= location + length) run.location += int(text.size()) - length;
    result.append(run);
  }
  if (!text.isEmpty()) {
    auto at = std::find_if(result.begin(), result.end(),
                           [&](const Run& r) { return r.location > location; });
    result.insert(at, Run{location, int(text.size()), attributes});
  }
  runs_ = result;
  text_.replace(location, length, text);
  normalizeRuns();
}

void AttributedString::normalizeRuns() {
  QList<Run> merged;
  for (const Run& run : runs_) {
    if (run.length <= 0) continue;
    if (!merged.isEmpty() && merged.last().attributes == run.attributes &&
        merged.last().location + merged.last().length == run.location)
      merged.last().length += run.length;
    else
      merged.append(run);
  }
  runs_ = merged;
}

QSizeF AttributedString::size() const { return TextLayoutBuilder(*this, 0).size(); }

QRectF AttributedString::boundingRectWithSize(QSizeF size, int options) const {
  TextLayoutBuilder layout(*this, size.width());
  if (options & StringDrawingUsesLineFragmentOrigin) return QRectF(QPointF(0, 0), layout.size());
  double descent = layout.firstLineHeight() - layout.firstBaseline();
  return QRectF(0, -descent, layout.firstLineWidth(), layout.firstLineHeight());
}

void AttributedString::drawInRect(const QRectF& rect) const {
  if (GraphicsContext* context = GraphicsContext::current())
    context->drawAttributedString(*this, rect);
}

void AttributedString::drawAtPoint(const QPointF& point) const {
  if (GraphicsContext* context = GraphicsContext::current())
    context->drawAttributedStringAtPoint(*this, point);
}

bool AttributedString::operator==(const AttributedString& other) const {
  if (text_ != other.text_ || runs_.size() != other.runs_.size()) return false;
  for (int i = 0; i < runs_.size(); ++i)
    if (runs_[i].location != other.runs_[i].location || runs_[i].length != other.runs_[i].length ||
        runs_[i].attributes != other.runs_[i].attributes)
      return false;
  return true;
}

}  // namespace gfx
