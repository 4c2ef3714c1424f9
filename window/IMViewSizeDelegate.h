#pragma once

#include <QRectF>

// Gives a canvas view the document rectangle and the zoom it shows it at.
class IMViewSizeDelegate {
 public:
  virtual ~IMViewSizeDelegate() = default;
  // The document rectangle, in document coordinates.
  virtual QRectF contentOriginalRectForView() = 0;
  // 1 shows one document pixel per device pixel.
  virtual double zoom() = 0;
};
