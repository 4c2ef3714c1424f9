// Lays an AttributedString out with QTextLayout, one layout per paragraph,
// in a y-down frame whose origin is the top-left of the text. Internal to the
// graphics library: AttributedString measures with it, GraphicsContext draws.
#pragma once

#include <QSizeF>
#include <QTextLayout>
#include <memory>
#include <vector>

#include "graphics/AttributedString.h"

class QPainter;

namespace gfx {

class TextLayoutBuilder {
 public:
  enum Colors { OwnColors, OpaqueWhite };  // OpaqueWhite paints glyph coverage
  // `width` 0 lays each paragraph on one line.
  TextLayoutBuilder(const AttributedString& string, double width, Colors colors = OwnColors);

  QSizeF size() const { return size_; }
  // Distance from the top to the first line's baseline.
  double firstBaseline() const { return firstBaseline_; }
  // Height of the first line only.
  double firstLineHeight() const { return firstLineHeight_; }
  double firstLineWidth() const { return firstLineWidth_; }
  void draw(QPainter& painter, const QPointF& topLeft) const;

 private:
  void layoutParagraph(const AttributedString& string, int start, int end, double width,
                       Colors colors, double& y);
  std::vector<std::unique_ptr<QTextLayout>> layouts_;
  QSizeF size_;
  double firstBaseline_ = 0;
  double firstLineHeight_ = 0;
  double firstLineWidth_ = 0;
};

}  // namespace gfx
