#pragma once

#include <QSizeF>

#include "tools/IMCITool.h"

// The clone stamp: Option-click sets the source, which is no edit; strokes
// then paint the working layer's own content from the source, at an offset
// fixed by the first stroke after the source was set.
class IMTamponTool : public IMCITool {
 public:
  using IMCITool::IMCITool;

  bool isUsable() override;
  bool isAnEditTool() const override { return !altPressed(); }
  bool isUsableAtLocation(const QPointF& location) override;
  QString nameKey() const override { return QStringLiteral("Tampon"); }
  QString shortcuts() const override { return QStringLiteral("s"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  QCursor altCursor() const override;
  void mouseDownAtLocation(const QPointF& location) override;
  void mouseDraggedAtLocation(const QPointF& location) override;
  void mouseUpAtLocation(const QPointF& location) override;
  ci::Image imageWithPoint(const QPointF& point, double pressure,
                           const ci::Image& backGroundImage) override;

  QPointF toCopyCenter() const { return toCopyCenter_; }
  QSizeF toCopyDistance() const { return toCopyDistance_; }
  bool weAreChangingCenter() const { return weAreChangingCenter_; }

 protected:
  void willBeginStroke() override;

 private:
  QPointF toCopyCenter_;
  QSizeF toCopyDistance_{0, 0};
  bool weAreChangingCenter_ = false;
  // The layer's content as the stroke found it, moved by the offset.
  ci::Image source_;
};
