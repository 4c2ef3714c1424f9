#pragma once

#include <QSizeF>

#include "coreimage/Filter.h"
#include "tools/IMTool.h"

// The background eraser: a click removes the colours close to the clicked
// pixel from the working layer, and dragging away from the click widens
// the closeness in proportion, recomputed each time from the pixels the
// layer had at the click. It works in the layer's own coordinates.
class IMMagicEraser : public IMTool {
 public:
  using IMTool::IMTool;

  bool isUsable() override;
  unsigned transformationLevel() const override { return 3; }
  bool autoScroll() const override { return true; }
  QString nameKey() const override { return QStringLiteral("BackGround Eraser"); }
  QString shortcuts() const override { return QStringLiteral("o"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  void mouseDownAtLocation(const QPointF& location) override;
  void mouseDraggedAtLocation(const QPointF& location) override;
  void mouseUpAtLocation(const QPointF& location) override;
  QPointF mouseDownLocation() const override;

  QSizeF imageSize() const { return imageSize_; }
  double closeness() const { return closeness_; }
  ci::FilterPtr magicEraserFilter();
  void setMagicEraserFilter(ci::FilterPtr filter) { magicEraserFilter_ = std::move(filter); }
  void resetFilter();
  void applyFilterAndMask();

 private:
  // Bakes filters, transformation and selection into plain pixels at the
  // canvas's origin, so the colour is picked from what the user sees.
  void flattenWorkingLayer();
  // Opaque white where the layer stays, black where its colour is close
  // to the clicked one, soft over two pixels.
  ci::Image colourMask();
  ci::Image selectionCoverage();

  QSizeF imageSize_;
  double closeness_ = 0.01;
  ci::FilterPtr magicEraserFilter_;
  QPointF downLocation_;
  bool hasClick_ = false;
};
