#include "tools/IMCIPointTool.h"

#include <cmath>

#include "appkit/Cursor.h"
#include "appkit/KeyValuePath.h"
#include "appkit/SelectionMarker.h"
#include "foundation/NotificationCenter.h"
#include "graphics/BezierPath.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/Layer.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"
#include "window/IMFilterParametersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

constexpr double kHandleReach = 20;
constexpr double kRingRadius = 10;

QRectF handleSquare(const QPointF& centre) {
  return {centre.x() - kHandleReach, centre.y() - kHandleReach, 2 * kHandleReach, 2 * kHandleReach};
}

}  // namespace

// The handle follows its layer wherever the layer goes.
IMCIPointTool::IMCIPointTool(IMToolsController* toolsController) : IMTool(toolsController) {
  fnd::NotificationCenter::defaultCenter().addObserver(
      this, IMSelectedLayerTransformationChange, nullptr, [this](const fnd::Notification& note) {
        if (!note.object) return;
        updateSavedPoints();
        redrawHandle();
      });
}

IMCIPointTool::~IMCIPointTool() {
  unbindPoint();
  fnd::NotificationCenter::defaultCenter().removeObserver(this);
}

gfx::ImagePtr IMCIPointTool::logo() const { return IMToolImages::imageNamed("CIPointTool"); }

// The hot spot at the image's centre.
QCursor IMCIPointTool::defaultCursor() const {
  const QImage image = IMToolImages::pixelsOf(logo());
  const double scale = image.devicePixelRatio();
  return ui::Cursor::cursorWithImage(
      image, QPointF(image.width() / scale / 2, image.height() / scale / 2));
}

// ---- What the tool works on ----

FilterParameter* IMCIPointTool::selectedParameter() const {
  IMToolsController* controller = toolsController();
  IMWindowController* window = controller ? controller->windowController() : nullptr;
  IMFilterParametersArrayController* parameters =
      window ? window->filterParametersController() : nullptr;
  return parameters ? parameters->currentSelectedFilterParameter() : nullptr;
}

Layer* IMCIPointTool::parameterLayer() const {
  FilterParameter* parameter = selectedParameter();
  Filter* filter = parameter ? parameter->filter() : nullptr;
  return filter ? filter->layer() : nullptr;
}

// A point placed through any other layer's coordinates would land
// somewhere the user did not point.
bool IMCIPointTool::isUsable() { return parameterLayer() != nullptr; }

gfx::AffineTransform IMCIPointTool::documentToLayerTransformation() const {
  Layer* layer = parameterLayer();
  return layer ? layer->transformation().inverted() : gfx::AffineTransform();
}

gfx::AffineTransform IMCIPointTool::transform() const {
  Layer* layer = parameterLayer();
  gfx::AffineTransform transform = layer ? layer->transformation() : gfx::AffineTransform();
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  if (view) transform.appendTransform(view->transformation());
  return transform;
}

// ---- The binding ----

void IMCIPointTool::bindPoint(fnd::Observable* object, const QString& keyPath) {
  unbindPoint();
  if (!object) return;
  observedObjectForPoint_ = object;
  observedKeyPathForPoint_ = keyPath;
  pointObserver_ =
      std::make_unique<ui::KeyPathObserver>(object, keyPath, [this] { pointOfParameterChanged(); });
}

void IMCIPointTool::unbindPoint() {
  pointObserver_.reset();
  observedObjectForPoint_ = nullptr;
  observedKeyPathForPoint_.clear();
}

// Placeholders (nothing selected, several values) leave the point where it
// is; the value comes from the selected point parameter itself, as other
// selected rows have no point of their own.
void IMCIPointTool::pointOfParameterChanged() {
  if (!pointObserver_ || ui::isSelectionMarker(pointObserver_->value())) return;
  if (FilterParameter* parameter = selectedParameter()) setPoint(parameter->point());
}

// ---- The point ----

void IMCIPointTool::setPoint(const QPointF& point) {
  if (point == point_) return;
  willChangeValueForKey("point");
  point_ = point;
  updateSavedPoints();
  didChangeValueForKey("point");
}

// A point chosen in the panel brings the tool up; the layer redraws with
// the filter's new point.
void IMCIPointTool::didChangeValueForKey(const QString& key) {
  if (key == "point" && isUsable()) {
    IMToolsController* controller = toolsController();
    if (!isInUse() && controller && !isTheCurrentTool()) {
      controller->selectToolOfClass<IMCIPointTool>();
      if (IMView* view = controller->mainView()) ui::View::resetCursorRectsOfWindow(view);
    }
    redrawHandle();
    if (Layer* layer = parameterLayer()) layer->layerChanged();
  }
  fnd::Observable::didChangeValueForKey(key);
}

QVariant IMCIPointTool::valueForKey(const QString& key) const {
  if (key == "point") return point_;
  return fnd::Observable::valueForKey(key);
}

void IMCIPointTool::setValueForKey(const QString& key, const QVariant& value) {
  if (key == "point") return setPoint(value.toPointF());
  fnd::Observable::setValueForKey(key, value);
}

void IMCIPointTool::updateSavedPoints() {
  oldLocalPoint_ = localPoint_;
  localPoint_ = transform().transformPoint(point_);
}

// The parameter takes the point under the pointer, in its layer's space.
void IMCIPointTool::mouseMovedAtLocation(const QPointF& location) {
  setPoint(location);
  if (FilterParameter* parameter = selectedParameter()) parameter->setPoint(location);
}

// ---- The handle ----

// Where the handle shows now, at the canvas's present zoom.
QRectF IMCIPointTool::clippingRect() const {
  return handleSquare(transform().transformPoint(point_));
}

QRectF IMCIPointTool::oldClippingRect() const { return handleSquare(oldLocalPoint_); }

void IMCIPointTool::redrawHandle() const {
  if (!isTheCurrentTool()) return;
  if (IMView* view = toolsController()->mainView())
    view->setNeedsDisplayInRect(totalClippingRect());
}

double IMCIPointTool::crossGreyAtTime(qint64 t) {
  const double a = double(t % 25);
  return a < 12.5 ? 1 - 0.08 * a : 0.08 * a - 1;
}

double IMCIPointTool::ringHueAtTime(qint64 t) {
  const double b = double(t % 50);
  return b < 25 ? 0.04 * b : 2 - 0.04 * b;
}

// A cross pulsing between white and black in a ring running through the
// hues, so the handle shows on any image.
void IMCIPointTool::draw() {
  if (!isTheCurrentTool() || !isUsable()) return;
  const qint64 t = toolsController()->animationTime();
  const QPointF p = transform().transformPoint(point_);
  gfx::BezierPath cross;
  cross.moveToPoint({p.x() - kHandleReach, p.y()});
  cross.lineToPoint({p.x() + kHandleReach, p.y()});
  cross.moveToPoint({p.x(), p.y() - kHandleReach});
  cross.lineToPoint({p.x(), p.y() + kHandleReach});
  cross.setLineWidth(1);
  const double grey = crossGreyAtTime(t);
  cross.stroke(QColor::fromRgbF(float(grey), float(grey), float(grey), 1));
  gfx::BezierPath ring = gfx::BezierPath::bezierPathWithOvalInRect(
      {p.x() - kRingRadius, p.y() - kRingRadius, 2 * kRingRadius, 2 * kRingRadius});
  ring.setLineWidth(5);
  ring.stroke(QColor::fromHsvF(float(std::fmod(ringHueAtTime(t), 1.0)), 1, 1, 1));
}

// The handle starts where the selected parameter's point is.
void IMCIPointTool::didBecameInUse() {
  if (FilterParameter* parameter = selectedParameter()) setPoint(parameter->point());
  updateSavedPoints();
  redrawHandle();
}

void IMCIPointTool::didBecameNotInUse() {
  IMView* view = toolsController() ? toolsController()->mainView() : nullptr;
  if (view) view->setNeedsDisplayInRect(totalClippingRect());
}
