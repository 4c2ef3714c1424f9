// A representation drawn by a callback at draw time, at the resolution the
// destination needs; each pixel size is rendered once and kept until recache().
#pragma once

#include <QHash>
#include <QSize>
#include <functional>
#include <mutex>

#include "graphics/ImageRep.h"

namespace gfx {

class DrawingHandlerImageRep : public ImageRep {
 public:
  using Handler = std::function<bool(const QRectF& destination)>;
  DrawingHandlerImageRep(QSizeF size, bool flipped, Handler handler);

  bool isFlipped() const { return flipped_; }
  bool draw(GraphicsContext& context, const QRectF& destination, const QRectF& source,
            CompositingOperation op, double fraction) const override;
  CGImagePtr CGImageForProposedRect(const QRectF* proposedRect,
                                    GraphicsContext* context) const override;
  ImageRepPtr copy() const override;

  // The handler's drawing at `pixels`; null when the handler fails.
  CGImagePtr renderedAt(QSize pixels) const;
  void recache();
  int cachedRenderingCount() const;

 private:
  bool flipped_;
  Handler handler_;
  mutable std::mutex mutex_;
  mutable QHash<quint64, CGImagePtr> cache_;
};

}  // namespace gfx
