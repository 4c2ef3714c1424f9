// The rectangle selection's outline and knobs: which knob is under the
// pointer, resizing from it, drawing the knobs and their cursors. The
// crops and select-all are in IMCropMarkerToolCrop.cpp.
#include "tools/IMCropMarkerTool.h"

#include <QGuiApplication>
#include <QPalette>
#include <cmath>

#include "appkit/Cursor.h"
#include "appkit/ScrollView.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"
#include "tools/IMSelectionGeometry.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

// The fixed corner and the moving point of a resize from knob k, out of
// the rectangle at mouse-down and the pointer.
struct Resize {
  QPointF fixed;
  QPointF moving;
};

Resize resizeFromKnob(qint64 knob, const QRectF& m, const QPointF& p) {
  const double minX = m.x(), maxX = m.x() + m.width();
  const double minY = m.y(), maxY = m.y() + m.height();
  switch (knob) {
    case 1:
      return {{maxX, minY}, p};
    case 2:
      return {{maxX, minY}, {minX, p.y()}};
    case 3:
      return {{minX, minY}, p};
    case 4:
      return {{maxX, minY}, {p.x(), maxY}};
    case 5:
      return {{minX, minY}, {p.x(), maxY}};
    case 6:
      return {{maxX, maxY}, p};
    case 7:
      return {{maxX, maxY}, {minX, p.y()}};
    case 8:
      return {{minX, maxY}, p};
    default:
      return {{minX, minY}, {maxX, maxY}};
  }
}

}  // namespace

gfx::ImagePtr IMCropMarkerTool::logo() const {
  static const gfx::ImagePtr image = IMToolImages::imageNamed("selectionTemplate");
  return image;
}

QCursor IMCropMarkerTool::defaultCursor() const {
  if (!isInUse()) return ui::Cursor::crosshairCursor();
  return isMoving() ? ui::Cursor::closedHandCursor() : ui::Cursor::arrowCursor();
}

// ---- The rectangle ----

void IMCropMarkerTool::setSelectedRect(const QRectF& rect) {
  IMToolsController* controller = toolsController();
  if (controller) controller->willChangeValueForKey("rectSelectedRect");
  IMSelectionTool::setSelectedRect(rect);
  if (controller) controller->didChangeValueForKey("rectSelectedRect");
}

// The outline is the rectangle itself.
void IMCropMarkerTool::selectionChanged() {
  // However the rectangle was set (mouse, keys, knobs, select all or a
  // command), its mask follows it at once.
  if (hasSelection()) {
    setSelectedPath(gfx::BezierPath::bezierPathWithRect(selectedRect()));
    loadSelectionMask();
  }
  IMSelectionTool::selectionChanged();
}

QRectF IMCropMarkerTool::clippingRect() const {
  const double grow = 1 + halfHandleWidth();
  return IMSelectionTool::clippingRect().adjusted(-grow, -grow, grow, grow);
}

ci::Image IMCropMarkerTool::maskForSelection() const {
  const QRectF r = selectedRect();
  const bool whole = r.x() == std::round(r.x()) && r.y() == std::round(r.y()) &&
                     r.width() == std::round(r.width()) && r.height() == std::round(r.height());
  if (!whole) return IMSelectionTool::maskForSelection();
  return ci::Image::imageWithColor(ci::Color(1, 1, 1, 1))
      .imageByCroppingToRect(QRectF(0, 0, r.width(), r.height()));
}

// ---- Knobs ----

QPointF IMCropMarkerTool::knobPoint(qint64 knob, const QRectF& r) const {
  const double minX = r.x(), midX = r.x() + r.width() / 2, maxX = r.x() + r.width();
  const double minY = r.y(), midY = r.y() + r.height() / 2, maxY = r.y() + r.height();
  const QPointF points[] = {{minX, maxY}, {midX, maxY}, {maxX, maxY}, {minX, midY},
                            {maxX, midY}, {minX, minY}, {midX, minY}, {maxX, minY}};
  return points[knob - 1];
}

double IMCropMarkerTool::halfHandleWidth() const {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  return 5 * (view ? view->backingScaleFactor() : 1.0);
}

QRectF IMCropMarkerTool::handleRectForPoint(const QPointF& point) const {
  const double half = halfHandleWidth();
  return {point.x() - half, point.y() - half, 2 * half, 2 * half};
}

// The knob's square in document units: the drawn square, converted.
qint64 IMCropMarkerTool::knobUnderPoint(const QPointF& point) const {
  IMToolsController* controller = toolsController();
  IMView* view = controller ? controller->mainView() : nullptr;
  IMWindowController* window = controller ? controller->windowController() : nullptr;
  const double scale = view ? view->backingScaleFactor() : 1.0;
  const double zoom = window ? window->zoom() : 0;
  const double half = zoom > 0 ? halfHandleWidth() / (zoom / scale) : halfHandleWidth();
  for (qint64 knob = 1; knob <= 8; ++knob) {
    if (!(knobMask() & (quint64(1) << knob))) continue;
    const QPointF at = knobPoint(knob, selectedRect());
    if (IMSelectionGeometry::pointInRect(point, {at.x() - half, at.y() - half, 2 * half, 2 * half}))
      return knob;
  }
  return 0;
}

void IMCropMarkerTool::performBlockOnHandles(
    const std::function<void(const QPointF&)>& block) const {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  if (!view) return;
  const QRectF inView = view->transformRectFromDocumentToView(selectedRect());
  for (qint64 knob = 1; knob <= 8; ++knob)
    if (knobMask() & (quint64(1) << knob)) block(knobPoint(knob, inView));
}

void IMCropMarkerTool::drawHandleAtPoint(const QPointF& point) const {
  if (gfx::GraphicsContext* context = gfx::GraphicsContext::current())
    context->fillRect(handleRectForPoint(point),
                      QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight));
}

void IMCropMarkerTool::addCursorRectForHandleAtPoint(const QPointF& point) const {
  IMToolsController* controller = toolsController();
  IMView* view = controller ? controller->mainView() : nullptr;
  IMWindowController* window = controller ? controller->windowController() : nullptr;
  ui::ScrollView* scrollView = window ? window->graphicScrollView() : nullptr;
  if (!view || !scrollView) return;
  view->addCursorRect(handleRectForPoint(point).intersected(scrollView->documentVisibleRect()),
                      ui::Cursor::arrowCursor());
}

bool IMCropMarkerTool::shouldResizeWithPoint(const QPointF& point) const {
  return knobUnderPoint(point) != 0;
}

void IMCropMarkerTool::startResizingAtPoint(const QPointF& point, const QPointF& floatLocation) {
  IMSelectionTool::startResizingAtPoint(point, floatLocation);
  resizingKnob_ = knobUnderPoint(floatLocation);
}

// Past the opposite side the rectangle turns over rather than taking a
// negative size.
void IMCropMarkerTool::resizeWithHitAtPoint(const QPointF& point) {
  saveSelectedRect();
  if (resizingKnob_ < 1 || resizingKnob_ > 8) return setSelectedRect(selectedRect());
  const Resize resize = resizeFromKnob(resizingKnob_, mouseDownSelectedRect(), point);
  setSelectedRect(IMImagesUtilities::rectFromPoint(resize.fixed, resize.moving));
}

void IMCropMarkerTool::draw() {
  IMSelectionTool::draw();
  if (!hasSelection() || !isTheCurrentTool() || isInUse()) return;
  performBlockOnHandles([this](const QPointF& point) { drawHandleAtPoint(point); });
}
