#include "window/IMCenterClipView.h"

#include "graphics/GraphicsContext.h"
#include "window/CanvasGeometry.h"

namespace {
// The shadow: offset right and down, blurred over this many points, 30 % black at its core.
constexpr double kShadowBlur = 10;
const QPointF kShadowOffset(2, -2);
constexpr double kShadowAlpha = 0.3;
}  // namespace

IMCenterClipView::IMCenterClipView(const QRectF& frame, QWidget* parent)
    : ui::ClipView(frame, parent) {}

void IMCenterClipView::setIsReadyForShadow(bool ready) {
  isReadyForShadow_ = ready;
  update();
}

void IMCenterClipView::centerDocument() {
  if (!documentView()) return;
  scrollToPoint(CanvasGeometry::centerDocument(documentView()->frame().size(), bounds()));
  // The shadow around the document; the document view draws its own part.
  setNeedsDisplayAroundOpaqueSubviews();
}

QPointF IMCenterClipView::constrainScrollPoint(const QPointF& proposed) const {
  if (!documentView()) return ui::ClipView::constrainScrollPoint(proposed);
  return CanvasGeometry::constrainScrollPoint(proposed, documentView()->frame().size(),
                                              bounds().size());
}

void IMCenterClipView::viewBoundsChanged() {
  ui::ClipView::viewBoundsChanged();
  centerDocument();
}

void IMCenterClipView::viewFrameChanged() {
  ui::ClipView::viewFrameChanged();
  centerDocument();
}

void IMCenterClipView::setFrame(const QRectF& frame) {
  ui::ClipView::setFrame(frame);
  centerDocument();
}

void IMCenterClipView::setFrameOrigin(const QPointF& origin) {
  ui::ClipView::setFrameOrigin(origin);
  centerDocument();
}

void IMCenterClipView::setFrameSize(const QSizeF& size) {
  ui::ClipView::setFrameSize(size);
  centerDocument();
}

// The blur is drawn as nested rectangles whose alphas add up to the
// shadow's at its core and fade outwards over the blur radius.
void IMCenterClipView::drawRect(const QRectF& dirtyRect) {
  ui::ClipView::drawRect(dirtyRect);
  if (!isReadyForShadow_ || !documentView()) return;
  // An opaque document view paints over every pixel of its frame; where the
  // dirty part lies wholly within it (a pixel in from its edges, which may
  // fall between pixels), no shadow can show.
  if (documentView()->isOpaque() &&
      documentView()->frame().adjusted(1, 1, -1, -1).contains(dirtyRect))
    return;
  gfx::GraphicsContext* context = gfx::GraphicsContext::current();
  const QRectF document = documentView()->frame().translated(kShadowOffset);
  const int steps = int(kShadowBlur);
  const double alpha = 1 - std::pow(1 - kShadowAlpha, 1.0 / steps);
  for (int i = steps; i >= 1; --i) {
    const double grow = i * kShadowBlur / steps;
    context->fillRect(document.adjusted(-grow, -grow, grow, grow),
                      QColor::fromRgbF(0, 0, 0, alpha));
  }
}
