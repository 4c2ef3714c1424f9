#include "graphics/ImageRep.h"

#include <cmath>

#include "graphics/GraphicsContext.h"

namespace gfx {

ImageRep::~ImageRep() = default;

bool ImageRep::drawAtPoint(GraphicsContext& context, const QPointF& point) const {
  return draw(context, QRectF(point, size()), {}, CompositingOperation::SourceOver, 1.0);
}

CGImagePtr ImageRep::CGImageForProposedRect(const QRectF* proposedRect,
                                            GraphicsContext* context) const {
  QSizeF points = proposedRect ? proposedRect->size() : size();
  QSizeF scale = context ? context->deviceScale() : QSizeF(1, 1);
  int wide = int(std::ceil(points.width() * scale.width() - 1e-6));
  int high = int(std::ceil(points.height() * scale.height() - 1e-6));
  auto bitmap = GraphicsContext::bitmapContext(wide, high);
  if (!bitmap) return nullptr;
  if (!draw(*bitmap, QRectF(0, 0, wide, high), {}, CompositingOperation::Copy, 1.0)) return nullptr;
  return bitmap->makeImage();
}

}  // namespace gfx
