// Targets, the per-thread current-context stack and the graphics state.
// Drawing lives in GraphicsContextDrawing.cpp, read-back compositing in
// GraphicsContextCompositing.cpp.
#include "graphics/GraphicsContext.h"

#include <QPainter>
#include <QPdfWriter>

#include "graphics/BezierPath.h"
#include "graphics/GraphicsState.h"
#include "graphics/ImageDrawBatch.h"
#include "graphics/PixelBufferPool.h"

namespace gfx {
namespace {

thread_local std::vector<GraphicsContext*> currentStack;

QImage::Format formatFor(int bitsPerComponent, ImageAlphaInfo alpha) {
  bool premultiplied =
      alpha == ImageAlphaInfo::PremultipliedFirst || alpha == ImageAlphaInfo::PremultipliedLast;
  bool straight = alpha == ImageAlphaInfo::First || alpha == ImageAlphaInfo::Last;
  switch (bitsPerComponent) {
    case 8:
      if (alpha == ImageAlphaInfo::PremultipliedFirst) return QImage::Format_ARGB32_Premultiplied;
      if (alpha == ImageAlphaInfo::PremultipliedLast) return QImage::Format_RGBA8888_Premultiplied;
      if (alpha == ImageAlphaInfo::First) return QImage::Format_ARGB32;
      if (alpha == ImageAlphaInfo::Last) return QImage::Format_RGBA8888;
      if (alpha == ImageAlphaInfo::NoneSkipFirst) return QImage::Format_RGB32;
      if (alpha == ImageAlphaInfo::NoneSkipLast) return QImage::Format_RGBX8888;
      return QImage::Format_RGB888;
    case 16:
      return premultiplied ? QImage::Format_RGBA64_Premultiplied
             : straight    ? QImage::Format_RGBA64
                           : QImage::Format_RGBX64;
    case 32:
      return premultiplied ? QImage::Format_RGBA32FPx4_Premultiplied
             : straight    ? QImage::Format_RGBA32FPx4
                           : QImage::Format_RGBX32FPx4;
    default:
      return QImage::Format_Invalid;
  }
}

// Document points are y-up; Qt devices are y-down.
QTransform flipFor(QSizeF sizeInPoints) {
  return QTransform(1, 0, 0, -1, 0, sizeInPoints.height());
}

}  // namespace

GraphicsContext::GraphicsContext() : imageDraws_(std::make_unique<ImageDrawBatch>()) {
  states_.emplace_back();
}

GraphicsContext::~GraphicsContext() {
  runDeferredImageDraws();
  for (GraphicsContext*& entry : currentStack)
    if (entry == this) entry = nullptr;
  if (painter_ && !ownedPainter_) painter_->restore();
  if (ownedPainter_ && ownedPainter_->isActive()) ownedPainter_->end();
}

std::unique_ptr<GraphicsContext> GraphicsContext::bitmapContext(int pixelsWide, int pixelsHigh,
                                                                ImageAlphaInfo alpha) {
  return bitmapContext(pixelsWide, pixelsHigh, 8, alpha);
}

std::unique_ptr<GraphicsContext> GraphicsContext::bitmapContext(int pixelsWide, int pixelsHigh,
                                                                int bitsPerComponent,
                                                                ImageAlphaInfo alpha) {
  QImage::Format format = formatFor(bitsPerComponent, alpha);
  if (pixelsWide <= 0 || pixelsHigh <= 0 || format == QImage::Format_Invalid) return nullptr;
  // QImage refuses sizes whose byte count overflows; beyond that, cap what
  // one offscreen bitmap may take so a bad size fails here, not in malloc.
  if (qint64(pixelsWide) * pixelsHigh > qint64(1) << 28) return nullptr;
  auto image = std::make_unique<QImage>(PixelBufferPool::image(pixelsWide, pixelsHigh, format));
  if (image->isNull()) return nullptr;
  image->fill(Qt::transparent);
  std::unique_ptr<GraphicsContext> context(new GraphicsContext);
  context->bitmap_ = std::move(image);
  context->ownedPainter_ = std::make_unique<QPainter>(context->bitmap_.get());
  context->painter_ = context->ownedPainter_.get();
  context->sizeInPoints_ = QSizeF(pixelsWide, pixelsHigh);
  context->base_ = flipFor(context->sizeInPoints_);
  return context;
}

std::unique_ptr<GraphicsContext> GraphicsContext::forPainter(QPainter* painter,
                                                             QSizeF sizeInPoints) {
  if (!painter || !painter->isActive()) return nullptr;
  std::unique_ptr<GraphicsContext> context(new GraphicsContext);
  painter->save();
  context->painter_ = painter;
  context->sizeInPoints_ = sizeInPoints;
  context->base_ = flipFor(sizeInPoints) * painter->worldTransform();
  if (painter->hasClipping()) {
    context->hasTargetClip_ = true;
    context->targetClip_ = painter->worldTransform().map(painter->clipPath());
    context->state().hasClip = true;
    context->state().deviceClip = context->targetClip_;
  }
  return context;
}

std::unique_ptr<GraphicsContext> GraphicsContext::forPDF(QPdfWriter* writer) {
  if (!writer) return nullptr;
  std::unique_ptr<GraphicsContext> context(new GraphicsContext);
  context->ownedPainter_ = std::make_unique<QPainter>();
  if (!context->ownedPainter_->begin(writer)) return nullptr;
  context->painter_ = context->ownedPainter_.get();
  context->pdfWriter_ = writer;
  context->adoptPDFPageLayout();
  return context;
}

bool GraphicsContext::newPage() {
  if (!pdfWriter_ || !pdfWriter_->newPage()) return false;
  adoptPDFPageLayout();
  return true;
}

// Pages may differ in size (the writer's page size applies from the next
// page on), so the flip is recomputed per page. The graphics state carries over.
void GraphicsContext::adoptPDFPageLayout() {
  sizeInPoints_ = pdfWriter_->pageLayout().paintRect(QPageLayout::Point).size();
  double scale = pdfWriter_->resolution() / 72.0;
  base_ = flipFor(sizeInPoints_) * QTransform::fromScale(scale, scale);
}

// ---- Current context ----

GraphicsContext* GraphicsContext::current() {
  return currentStack.empty() ? nullptr : currentStack.back();
}

void GraphicsContext::setCurrent(GraphicsContext* context) {
  if (currentStack.empty())
    currentStack.push_back(context);
  else
    currentStack.back() = context;
}

void GraphicsContext::pushCurrent(GraphicsContext* context) { currentStack.push_back(context); }

void GraphicsContext::popCurrent() {
  if (!currentStack.empty()) currentStack.pop_back();
}

void GraphicsContext::saveGraphicsState() {
  if (GraphicsContext* context = current()) context->saveGState();
}

void GraphicsContext::restoreGraphicsState() {
  if (GraphicsContext* context = current()) context->restoreGState();
}

// ---- Bitmap targets ----

int GraphicsContext::pixelsWide() const { return bitmap_ ? bitmap_->width() : 0; }
int GraphicsContext::pixelsHigh() const { return bitmap_ ? bitmap_->height() : 0; }
size_t GraphicsContext::bytesPerRow() const { return bitmap_ ? bitmap_->bytesPerLine() : 0; }

ImageAlphaInfo GraphicsContext::alphaInfo() const {
  return bitmap_ ? CGImage(*bitmap_).alphaInfo() : ImageAlphaInfo::None;
}

const QImage* GraphicsContext::bitmap() const {
  runDeferredImageDraws();
  return bitmap_.get();
}

QPainter* GraphicsContext::painter() const {
  runDeferredImageDraws();
  return painter_;
}

CGImagePtr GraphicsContext::makeImage() const {
  runDeferredImageDraws();
  // A deep copy: the painter keeps writing into the live buffer.
  return bitmap_ ? CGImage::make(bitmap_->copy()) : nullptr;
}

QColor GraphicsContext::pixelColor(int x, int y) const {
  runDeferredImageDraws();
  if (!bitmap_ || x < 0 || y < 0 || x >= bitmap_->width() || y >= bitmap_->height()) return {};
  return bitmap_->pixelColor(x, bitmap_->height() - 1 - y);
}

// ---- Image batches ----

void GraphicsContext::beginImageBatch() { ++imageDrawDeferral_; }

void GraphicsContext::endImageBatch() {
  if (imageDrawDeferral_ > 0 && --imageDrawDeferral_ == 0) runDeferredImageDraws();
}

void GraphicsContext::runDeferredImageDraws() const {
  if (imageDraws_->isEmpty()) return;
  // Only draws onto a readable 8-bit target are ever deferred.
  if (QImage* target = readableTarget()) imageDraws_->run(*target);
}

// ---- State ----

GraphicsContext::State& GraphicsContext::state() { return states_.back(); }
const GraphicsContext::State& GraphicsContext::state() const { return states_.back(); }

void GraphicsContext::saveGState() { states_.push_back(states_.back()); }

void GraphicsContext::restoreGState() {
  // The bottom state belongs to the target; unbalanced restores leave it.
  if (states_.size() > 1) states_.pop_back();
}

AffineTransform GraphicsContext::CTM() const { return AffineTransform(state().ctm); }

void GraphicsContext::concatCTM(const AffineTransform& transform) {
  // The new transform applies to user-space coordinates first.
  state().ctm = transform.toQTransform() * state().ctm;
}

void GraphicsContext::setCTM(const AffineTransform& transform) {
  state().ctm = transform.toQTransform();
}

void GraphicsContext::translateCTM(double dx, double dy) {
  state().ctm = QTransform::fromTranslate(dx, dy) * state().ctm;
}

void GraphicsContext::scaleCTM(double sx, double sy) {
  state().ctm = QTransform::fromScale(sx, sy) * state().ctm;
}

void GraphicsContext::rotateCTM(double radians) {
  AffineTransform rotation;
  rotation.rotateByRadians(radians);
  concatCTM(rotation);
}

QTransform GraphicsContext::userToDevice() const { return state().ctm * base_; }
QTransform GraphicsContext::deviceTransform() const { return userToDevice(); }

QSizeF GraphicsContext::deviceScale() const {
  QTransform t = userToDevice();
  return {std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22())};
}

void GraphicsContext::setCompositingOperation(CompositingOperation op) { state().op = op; }
CompositingOperation GraphicsContext::compositingOperation() const { return state().op; }
void GraphicsContext::setBlendMode(BlendMode mode) {
  state().op = compositingOperationForBlendMode(mode);
}
void GraphicsContext::setAlpha(double alpha) { state().alpha = std::clamp(alpha, 0.0, 1.0); }
double GraphicsContext::alpha() const { return state().alpha; }
void GraphicsContext::setImageInterpolation(bool smooth) { state().interpolate = smooth; }
bool GraphicsContext::imageInterpolation() const { return state().interpolate; }
void GraphicsContext::setShouldAntialias(bool antialias) { state().antialias = antialias; }
bool GraphicsContext::shouldAntialias() const { return state().antialias; }

void GraphicsContext::clipToRect(const QRectF& rect) {
  QPainterPath path;
  path.addRect(rect.normalized());
  QPainterPath device = userToDevice().map(path);
  State& s = state();
  s.deviceClip = s.hasClip ? s.deviceClip.intersected(device) : device;
  s.hasClip = true;
}

void GraphicsContext::clipToPath(const BezierPath& path) {
  QPainterPath device = userToDevice().map(path.toQPainterPath());
  State& s = state();
  s.deviceClip = s.hasClip ? s.deviceClip.intersected(device) : device;
  s.hasClip = true;
}

void GraphicsContext::setClipPath(const BezierPath& path) {
  QPainterPath device = userToDevice().map(path.toQPainterPath());
  State& s = state();
  s.deviceClip = hasTargetClip_ ? targetClip_.intersected(device) : device;
  s.hasClip = true;
}

bool GraphicsContext::hasClip() const { return state().hasClip; }

QRectF GraphicsContext::clipBoundingBox() const {
  QTransform toUser = userToDevice().inverted();
  QRectF device = state().hasClip ? state().deviceClip.boundingRect() : deviceBounds();
  return toUser.mapRect(device);
}

void GraphicsContext::applyStateToPainter() const {
  const State& s = state();
  painter_->resetTransform();
  if (s.hasClip)
    painter_->setClipPath(s.deviceClip);
  else
    painter_->setClipping(false);
  painter_->setTransform(userToDevice());
  painter_->setRenderHint(QPainter::Antialiasing, s.antialias);
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, s.interpolate);
  painter_->setOpacity(s.alpha);
  painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace gfx
