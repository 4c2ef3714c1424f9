#pragma once

#include "coreimage/Filter.h"
#include "tools/IMCITool.h"

// The brush: soft round dabs of colour 1, full at the point and clear at
// the brush's radius, on the brush engine.
class IMPencilTool : public IMCITool {
 public:
  explicit IMPencilTool(IMToolsController* toolsController);

  bool isUsingColor1() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Brush Tool"); }
  QString shortcuts() const override { return QStringLiteral("b"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;
  ci::Image imageWithPoint(const QPointF& point, double pressure,
                           const ci::Image& backGroundImage) override;

  virtual QString CICompositingOperation() const {
    return QStringLiteral("CISourceOverCompositing");
  }
  ci::FilterPtr brushFilter() const { return brushFilter_; }
  ci::FilterPtr compositeFilter() const { return compositeFilter_; }
  // An equal filter leaves the current one in place.
  void setCompositeFilter(const ci::FilterPtr& filter);

 private:
  ci::FilterPtr brushFilter_;
  ci::FilterPtr compositeFilter_;
};
