#pragma once

#include "foundation/NotificationCenter.h"
#include "graphics/BitmapImageRep.h"
#include "tools/IMTool.h"

// The colour picker: takes colour 1 (colour 2 with Shift) from the
// document's flattened image under the pointer. The flattened image is
// kept between clicks and made again only after the document changed, so
// a pick is one pixel read.
class IMAPipetteTool : public IMTool {
 public:
  explicit IMAPipetteTool(IMToolsController* toolsController);
  ~IMAPipetteTool() override;

  bool isAnEditTool() const override { return false; }
  bool isUsingColor1() const override { return true; }
  bool isUsingColor2() const override { return true; }
  QString nameKey() const override { return QStringLiteral("Color Picker"); }
  QString shortcuts() const override { return QStringLiteral("h"); }
  gfx::ImagePtr logo() const override;
  QCursor defaultCursor() const override;

  void mouseDownAtLocation(const QPointF& location) override;
  void mouseDraggedAtLocation(const QPointF& location) override { useToolAtLocation(location); }
  void mouseUpAtLocation(const QPointF& location) override { useToolAtLocation(location); }
  // Outside the image the colours stay as they are.
  void useToolAtLocation(const QPointF& location);
  static void prepareStaticVariables();

  gfx::ImagePtr savedImage() const { return savedImage_; }
  void setSavedImage(gfx::ImagePtr image);

 private:
  void forgetSavedImage() { setSavedImage(nullptr); }
  void watchDocument();

  gfx::ImagePtr savedImage_;
  gfx::BitmapImageRepPtr savedPixels_;
  const void* watchedContext_ = nullptr;
};
