#include "tools/IMBezierPathTool.h"

#include <QTransform>
#include <cmath>

#include "appkit/Cursor.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolSelectionMask.h"
#include "tools/IMToolsController.h"

namespace {

using U = IMImagesUtilities;

// Start and end of one axis of a line, from the outer edge of the start
// pixel to the outer edge of the end pixel, relative to the box.
void lineAxis(double m, double e, double& start, double& end, bool endWinsTies) {
  if (U::centeredFloor(m) == U::centeredFloor(e)) {
    start = end = 0;
  } else if (e > m || (endWinsTies && e == m)) {
    start = 0;
    end = double(U::centeredCeil(e) - U::centeredFloor(m));
  } else {
    start = double(U::centeredCeil(m) - U::centeredFloor(e));
    end = 0;
  }
}

}  // namespace

IMBezierPathTool::IMBezierPathTool(IMToolsController* toolsController)
    : IMModeTool(toolsController,
                 {"lineToolTemplate", "strokeRectToolTemplate", "fillRectToolTemplate",
                  "strokeOvalToolTemplate", "fillOvalToolTemplate"}) {}

QCursor IMBezierPathTool::defaultCursor() const { return ui::Cursor::crosshairCursor(); }

qint64 IMBezierPathTool::lineWidth() const {
  std::shared_ptr<Settings> s = settings();
  return s ? qint64(std::ceil(s->pencilSize())) : 1;
}

qint64 IMBezierPathTool::insetValue() const { return fill() ? 0 : lineWidth() / 2 + 1; }

double IMBezierPathTool::roundedRectRadius() const {
  std::shared_ptr<Settings> s = settings();
  return s ? s->roundedCornerRadius() : 0;
}

QPointF IMBezierPathTool::flooredMouseDownLocation() const {
  return U::floorPoint(mouseDownLocation());
}

gfx::BezierPath IMBezierPathTool::linePath(const QPointF& m, const QPointF& e, const QRectF& r,
                                           qint64 i) const {
  gfx::BezierPath path;
  if (std::floor(m.x()) == std::floor(e.x()) && std::floor(m.y()) == std::floor(e.y())) {
    // One pixel: a tiny rectangle whose stroke makes a dot of the line width.
    path.appendBezierPathWithRect(QRectF(i, i, r.width() - 0.5, r.height() - 0.5));
    return path;
  }
  double sx, ex, sy, ey;
  lineAxis(m.x(), e.x(), sx, ex, false);
  lineAxis(m.y(), e.y(), sy, ey, true);
  const QPointF end = modifiedPointFromPoint({sx, sy}, {ex, ey}, false, modifierFlags());
  path.moveToPoint({sx + i, sy + i});
  path.lineToPoint({end.x() + i, end.y() + i});
  return path;
}

gfx::BezierPath IMBezierPathTool::bezierPathWithCurrentMode() {
  const QPointF m = mouseDownLocation();
  const QPointF l = locationWithEvent(lastEvent());
  const QPointF e = modifiedPointFromPoint(m, l, mode() != 0, modifierFlags());
  QRectF r = U::pixelsRectFromPixelsOrigin(m, e);
  if (mode() != 0 && shiftPressed()) {
    // A square of the box's width; a downward drag keeps the top edge.
    if (U::centeredFloor(m.y()) > U::centeredFloor(e.y()))
      r.moveTo(r.x(), r.y() + r.height() - r.width());
    r.setHeight(r.width());
  }
  const qint64 i = insetValue();
  const QRectF local(i, i, r.width(), r.height());
  const double radius = roundedRectRadius();
  gfx::BezierPath path;
  switch (mode()) {
    case 0:
      path = linePath(m, e, r, i);
      break;
    case 1:
      path = gfx::BezierPath::bezierPathWithRoundedRect(QRectF(i, i, r.width() - 1, r.height() - 1),
                                                        radius, radius);
      break;
    case 2:
      path = gfx::BezierPath::bezierPathWithRoundedRect(local, radius, radius);
      break;
    case 3:
    case 4:
      path = gfx::BezierPath::bezierPathWithOvalInRect(local);
      break;
    default:
      break;
  }
  selectedRect_ = r.adjusted(-i, -i, i, i);
  drawToPoint_ = e;
  path.setLineWidth(double(lineWidth()));
  return path;
}

bool IMBezierPathTool::shouldAntialias() const {
  const QPointF m = mouseDownLocation();
  if (mode() == 0)
    return std::floor(m.x()) != std::floor(drawToPoint_.x()) &&
           std::floor(m.y()) != std::floor(drawToPoint_.y());
  if (mode() == 1 || mode() == 2) return roundedRectRadius() != 0;
  return true;
}

void IMBezierPathTool::updateLayer() {
  IMToolsController* controller = toolsController();
  Layer* layer = controller ? controller->workingLayer() : nullptr;
  std::shared_ptr<Settings> s = settings();
  if (!layer || !s) return;
  const gfx::BezierPath path = bezierPathWithCurrentMode();
  QRectF r = selectedRect_;
  const bool antialias = shouldAntialias();
  const QColor color = s->color1();
  const bool filled = fill();
  gfx::ImagePtr image = ima_imageWithPixelSize(r.size(), [&](const QRectF&) {
    gfx::GraphicsContext* context = gfx::GraphicsContext::current();
    const bool saved = context->shouldAntialias();
    context->setShouldAntialias(antialias);
    filled ? path.fill(color) : path.stroke(color);
    context->setShouldAntialias(saved);
    return true;
  });
  if (controller->hasSelection()) {
    const ci::Image placed =
        ima_ciImage(image).imageByApplyingTransform(QTransform::fromTranslate(r.x(), r.y()));
    const ci::Image masked = IMToolMaskedBySelection(controller, placed);
    const QRectF extent = masked.extent();
    if (extent.isEmpty()) {
      // Nothing of the shape lies in the selection.
      image = ima_imageWithPixelSize(r.size(), [](const QRectF&) { return true; });
    } else {
      image = ima_nsImageWithSize(
          masked.imageByApplyingTransform(QTransform::fromTranslate(-r.x(), -r.y())), r.size());
      r.moveTo(extent.x(), extent.y());
    }
  }
  if (Image* stored = layer->image()) stored->setNsImage(image);
  layer->setOrigin(r.topLeft());
}

gfx::ImagePtr IMBezierPathTool::lineLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("lineToolTemplate");
  return image;
}
gfx::ImagePtr IMBezierPathTool::strokeRectLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("strokeRectToolTemplate");
  return image;
}
gfx::ImagePtr IMBezierPathTool::fillRectLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("fillRectToolTemplate");
  return image;
}
gfx::ImagePtr IMBezierPathTool::strokeOvalLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("strokeOvalToolTemplate");
  return image;
}
gfx::ImagePtr IMBezierPathTool::fillOvalLogo() {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("fillOvalToolTemplate");
  return image;
}
