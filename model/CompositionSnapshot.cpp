#include "model/CompositionSnapshot.h"

#include "coreimage/Rect.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"

CompositionSnapshot::Ptr CompositionSnapshot::make(ComposedImage* image,
                                                   const QList<Layer*>& layers) {
  auto snapshot = std::make_shared<CompositionSnapshot>();
  if (!image) return snapshot;
  snapshot->canvas_ = image->rect();
  for (qsizetype i = layers.size() - 1; i >= 0; --i) {
    Layer* layer = layers[i];
    if (!layer->visible()) continue;
    // A layer fetched from a store knows its size only once decoded.
    if (Image* pixels = layer->image();
        pixels && !pixels->localImage() && !pixels->hasInMemoryVersion())
      pixels->nsImage();
    LayerDrawingSnapshot drawing = layer->drawingSnapshot(true, false, true, true, false);
    drawing.detach();
    snapshot->drawings_.append(std::move(drawing));
  }
  return snapshot;
}

CompositionSnapshot::Ptr CompositionSnapshot::make(ComposedImage* image) {
  return make(image, image ? image->layersArray() : QList<Layer*>());
}

void CompositionSnapshot::compositeInRect(const QRectF& rect) const {
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  if (context && !rect.isEmpty()) {
    context->saveGState();
    context->clipToRect(rect);
  }
  {
    // The layers are composited together, band by band, rather than each
    // over the whole rectangle in turn.
    gfx::ImageBatchScope batch(context);
    for (const LayerDrawingSnapshot& drawing : drawings_)
      if (drawing.mayShowIn(rect)) drawing.draw();
  }
  if (context && !rect.isEmpty()) context->restoreGState();
}

gfx::ImagePtr CompositionSnapshot::finalImageKeepAlpha(bool keepAlpha, const QRectF& rect) const {
  if (canvas_.isEmpty()) return nullptr;
  gfx::ImagePtr whole = ima_imageWithPixelSize(canvas_.size(), [&](const QRectF&) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    if (!context) return false;
    context->fillRect(canvas_, keepAlpha ? QColor(0, 0, 0, 0) : QColor(Qt::white),
                      gfx::CompositingOperation::Copy);
    compositeInRect(canvas_);
    return true;
  });
  if (!whole || rect.isEmpty()) return whole;
  return ima_imageWithPixelSize(rect.size(), [&](const QRectF&) {
    return whole->drawAtPoint(QPointF(0, 0), QRectF(rect.topLeft(), whole->size()),
                              gfx::CompositingOperation::Copy, 1.0);
  });
}

bool CompositionSnapshot::isSourceOverOnly() const {
  for (const LayerDrawingSnapshot& drawing : drawings_)
    if (!drawing.isSourceOverOnly()) return false;
  return true;
}
