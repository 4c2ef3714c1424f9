#include "coreimage/CGImageNode.h"

#include <cstring>

#include "coreimage/PixelFormat.h"
#include "coreimage/WorkerPool.h"

namespace ci {

CGImageNode::CGImageNode(gfx::CGImagePtr image)
    : ImageNode(QRectF(0, 0, image ? image->width() : 0, image ? image->height() : 0)),
      image_(std::move(image)),
      fastRows_(image_ && loadsQImageFormat(image_->qImage().format())) {}

void CGImageNode::render(PixelBuffer& out) const {
  const QImage& pixels = image_->qImage();
  const IRect& r = out.rect();
  const int height = pixels.height();
  if (fastRows_) {
    const int bpp = pixels.depth() / 8;
    WorkerPool::parallelBands(r.h, bandRows(r.w), [&](int begin, int end) {
      for (int y = r.y + begin; y < r.y + end; ++y) {
        const uchar* source = pixels.constScanLine(height - 1 - y) + size_t(r.x) * bpp;
        loadQImageRow(source, pixels.format(), out.row(y), r.w);
      }
    });
    return;
  }
  // Uncommon layouts (16-bit, grey, indexed): convert just this region.
  const QImage part = pixels.copy(QRect(r.x, height - r.top(), r.w, r.h))
                          .convertToFormat(QImage::Format_RGBA32FPx4_Premultiplied);
  for (int y = r.y; y < r.top(); ++y)
    std::memcpy(out.row(y), part.constScanLine(r.top() - 1 - y), size_t(r.w) * 16);
}

}  // namespace ci
