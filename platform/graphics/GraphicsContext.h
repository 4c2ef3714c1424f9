// The drawing context: a target (an offscreen bitmap, a widget's painter, a
// PDF page or a printer page) with a stack of graphics states. Backed by
// QPainter. Images and rectangle fills onto 8-bit premultiplied bitmaps are
// composited row by row with compositeRow(), only inside the clip, in bands
// over the shared worker pool. Otherwise source-over goes straight through
// QPainter, and every other operation is composited with compositePixels()
// where the target's pixels can be read (bitmaps, painters on a QImage), or
// falls back to QPainter's nearest composition mode elsewhere (PDF,
// printers, widgets). Coordinates are y-up
// (origin at the bottom-left); the context flips to Qt's y-down once,
// internally, so images and text come out upright.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QVector>
#include <memory>
#include <optional>
#include <vector>

#include "graphics/AffineTransform.h"
#include "graphics/CGImage.h"
#include "graphics/CompositingOperation.h"
#include "graphics/ConvexCoverage.h"

class QImage;
class QPainter;
class QPdfWriter;

namespace gfx {

class AttributedString;
class BezierPath;
class ImageDrawBatch;

// A colour stop of a gradient; `location` runs 0…1.
struct GradientStop {
  double location;
  QColor color;
};

// Whether a gradient keeps painting its end colours beyond its ends.
enum GradientDrawingOptions {
  GradientDrawsBeforeStartLocation = 1,
  GradientDrawsAfterEndLocation = 2,
};

class GraphicsContext {
 public:
  ~GraphicsContext();
  GraphicsContext(const GraphicsContext&) = delete;
  GraphicsContext& operator=(const GraphicsContext&) = delete;

  // ---- Targets ----
  // An offscreen bitmap of `pixelsWide` × `pixelsHigh`, cleared to transparent
  // (or opaque black without alpha); one point per pixel. Null for sizes that
  // are not positive or too large to allocate.
  static std::unique_ptr<GraphicsContext> bitmapContext(
      int pixelsWide, int pixelsHigh, ImageAlphaInfo alpha = ImageAlphaInfo::PremultipliedFirst);
  // The same with 8, 16 or 32 (float) bits per component; alpha kinds as above.
  static std::unique_ptr<GraphicsContext> bitmapContext(int pixelsWide, int pixelsHigh,
                                                        int bitsPerComponent, ImageAlphaInfo alpha);
  // Draws with a painter that is already active on its device (a widget, a
  // QPdfWriter page, a printer page, an image). The painter's current
  // transform maps `sizeInPoints` onto what it should cover; y is flipped
  // inside. The painter must outlive the context.
  static std::unique_ptr<GraphicsContext> forPainter(QPainter* painter, QSizeF sizeInPoints);
  // Begins a painter on `writer`; one point of the page per point of the
  // context, origin at the bottom-left of the page's printable area. Call
  // newPage() for further pages (each takes the writer's page size at that
  // moment); the painter ends with the context.
  static std::unique_ptr<GraphicsContext> forPDF(QPdfWriter* writer);
  bool newPage();

  // ---- The current context (one stack per thread) ----
  static GraphicsContext* current();
  static void setCurrent(GraphicsContext* context);  // replaces the top of the stack
  static void pushCurrent(GraphicsContext* context);
  static void popCurrent();
  static void saveGraphicsState();     // of the current context
  static void restoreGraphicsState();  // of the current context

  // ---- Bitmap targets ----
  bool isBitmap() const { return bitmap_ != nullptr; }
  int pixelsWide() const;
  int pixelsHigh() const;
  size_t bytesPerRow() const;
  ImageAlphaInfo alphaInfo() const;
  // A snapshot of the pixels; later drawing does not change it. Null for
  // targets that are not bitmaps.
  CGImagePtr makeImage() const;
  // The live pixels (top row first) of a bitmap target, else null.
  const QImage* bitmap() const;
  // Straight (unpremultiplied) colour of the pixel at (x, y) in y-up pixel
  // coordinates, for callers that sample a bitmap target.
  QColor pixelColor(int x, int y) const;

  // ---- State ----
  void saveGState();
  void restoreGState();
  QSizeF size() const { return sizeInPoints_; }
  // User space → document space of the target (y-up points); identity at first.
  AffineTransform CTM() const;
  void concatCTM(const AffineTransform& transform);
  // Replaces the user-space transform (identity = document points).
  void setCTM(const AffineTransform& transform);
  void translateCTM(double dx, double dy);
  void scaleCTM(double sx, double sy);
  void rotateCTM(double radians);
  // User space → device pixels, flip included, for callers choosing a
  // resolution to render at.
  QTransform deviceTransform() const;
  // Device pixels per user-space unit along each axis.
  QSizeF deviceScale() const;

  void setCompositingOperation(CompositingOperation op);
  CompositingOperation compositingOperation() const;
  // Blend modes and compositing operations set the same state.
  void setBlendMode(BlendMode mode);
  void setAlpha(double alpha);
  double alpha() const;
  void setImageInterpolation(bool smooth);
  bool imageInterpolation() const;
  void setShouldAntialias(bool antialias);
  bool shouldAntialias() const;

  void clipToRect(const QRectF& rect);
  void clipToPath(const BezierPath& path);
  // Replaces the clip by `path`, still within the target's own clip.
  void setClipPath(const BezierPath& path);
  // The clip in user space; an empty path with hasClip() false means unclipped.
  bool hasClip() const;
  QRectF clipBoundingBox() const;

  // ---- Drawing (all honour the current operation, alpha and clip) ----
  // `op` replaces the state's operation for this call only, as filling a
  // rectangle with an operation does: Copy replaces the pixels.
  void fillRect(const QRectF& rect, const QColor& color,
                CompositingOperation op = CompositingOperation::SourceOver);
  void clearRect(const QRectF& rect);
  // Copies `tile` (premultiplied ARGB32), repeated from device pixel
  // `tileOrigin`, into `deviceRect` (device pixels) inside the clip,
  // replacing what is there, in the image batch if one is open. False,
  // drawing nothing, when the target is not such a bitmap, the clip is not a
  // rectangle of whole pixels, or `deviceRect` neither is one nor holds the
  // clip; callers then fill through the painter.
  bool copyTileIntoDeviceRect(const QImage& tile, const QPoint& tileOrigin,
                              const QRectF& deviceRect);
  void fillPath(const BezierPath& path, const QColor& color);
  void strokePath(const BezierPath& path, const QColor& color);
  // Fills the clip area along the axis start → end.
  void drawLinearGradient(const QVector<GradientStop>& stops, const QPointF& start,
                          const QPointF& end,
                          int options = GradientDrawsBeforeStartLocation |
                                        GradientDrawsAfterEndLocation);
  void drawRadialGradient(const QVector<GradientStop>& stops, const QPointF& startCenter,
                          double startRadius, const QPointF& endCenter, double endRadius,
                          int options = GradientDrawsBeforeStartLocation |
                                        GradientDrawsAfterEndLocation);
  // Draws `image` upright into `destination`. `sourcePixels` is a part of
  // the image in its own pixel grid (origin top-left, as images are stored);
  // empty means the whole image. `fraction` scales the image's alpha.
  void drawImage(const CGImagePtr& image, const QRectF& destination,
                 const QRectF& sourcePixels = {},
                 CompositingOperation op = CompositingOperation::SourceOver, double fraction = 1.0);
  // Lays the string out from the top of `rect` downwards (line-fragment
  // origin), wrapping at its width and clipping to it.
  void drawAttributedString(const AttributedString& string, const QRectF& rect);
  // Draws one line with its baseline starting at `point`.
  void drawAttributedStringAtPoint(const AttributedString& string, const QPointF& point);

  // For code that must paint with Qt directly: the painter with the state
  // applied (y-down device space set to this context's user space, flipped
  // back so drawing is y-up). Only source-over drawing is exact through it.
  QPainter* painter() const;
  void applyStateToPainter() const;

  // ---- Image batches ----
  // Between begin and end (nested pairs count as one), images drawn onto an
  // 8-bit premultiplied bitmap wait, and are then composited together band
  // by band while each band is in cache. Any other drawing, and any look at
  // the pixels, first draws what waits, so the pixels come out as if each
  // image had been drawn at once.
  void beginImageBatch();
  void endImageBatch();

 private:
  struct State;
  struct DrawRequest;
  GraphicsContext();
  State& state();
  const State& state() const;
  QTransform userToDevice() const;
  QRect deviceBounds() const;
  QImage* readableTarget() const;
  void adoptPDFPageLayout();
  void draw(const DrawRequest& request, CompositingOperation op, double fraction);
  void drawDirect(const DrawRequest& request, CompositingOperation op, double fraction);
  void drawThroughLayer(const DrawRequest& request, QImage* target, CompositingOperation op,
                        double fraction);
  void compositeBand(const DrawRequest& request, QImage* target, const QRect& band,
                     CompositingOperation op, double fraction);
  // A clip that is an axis-aligned rectangle (or absent), in device pixels:
  // the pixels it touches, and its exact rectangle when an edge falls
  // between pixels (the 8-bit path then folds it into the coverage).
  struct RectangularClip {
    QRect pixels;
    std::optional<QRectF> exact;
  };
  bool rectangularDeviceClip(RectangularClip* clip) const;
  // The fast path of drawImage() onto 8-bit bitmaps; false when it does not apply.
  bool drawImageIntoBitmap(const CGImagePtr& image, const QRectF& destination, const QRectF& source,
                           CompositingOperation op, double fraction);
  bool fillRectIntoBitmap(const QRectF& rect, const QColor& color, CompositingOperation op);
  // Repeats `tile` over `bounds` (device pixels) from `origin`, in the batch.
  // A coverage, when given, limits it to a shape within the bounds.
  void drawTileIntoBitmap(QImage& target, const QImage& tile, const QPoint& origin,
                          const QRect& bounds, std::optional<ConvexCoverage> coverage,
                          CompositingOperation op, double fraction);
  // Draws the images of the batch that wait.
  void runDeferredImageDraws() const;

  std::unique_ptr<QImage> bitmap_;
  std::unique_ptr<QPainter> ownedPainter_;
  QPainter* painter_ = nullptr;
  QPdfWriter* pdfWriter_ = nullptr;
  QSizeF sizeInPoints_;
  QTransform base_;          // document points (y-up) → painter's device
  QPainterPath targetClip_;  // the painter's clip when the context was made
  bool hasTargetClip_ = false;
  std::vector<State> states_;
  std::unique_ptr<ImageDrawBatch> imageDraws_;
  int imageDrawDeferral_ = 0;
};

// An image batch of `context` (which may be null) for the lifetime of the scope.
class ImageBatchScope {
 public:
  explicit ImageBatchScope(GraphicsContext* context) : context_(context) {
    if (context_) context_->beginImageBatch();
  }
  ~ImageBatchScope() {
    if (context_) context_->endImageBatch();
  }
  ImageBatchScope(const ImageBatchScope&) = delete;
  ImageBatchScope& operator=(const ImageBatchScope&) = delete;

 private:
  GraphicsContext* context_;
};

// Makes a context current for the lifetime of the scope, restoring the
// previous one afterwards.
class CurrentContextScope {
 public:
  explicit CurrentContextScope(GraphicsContext* context) { GraphicsContext::pushCurrent(context); }
  ~CurrentContextScope() { GraphicsContext::popCurrent(); }
  CurrentContextScope(const CurrentContextScope&) = delete;
  CurrentContextScope& operator=(const CurrentContextScope&) = delete;
};

}  // namespace gfx
