#pragma once

#include <QPointF>
#include <QRectF>
#include <memory>
#include <mutex>

#include "coreimage/Image.h"
#include "coreimage/ImageAccumulator.h"
#include "graphics/AffineTransform.h"
#include "graphics/Image.h"
#include "model/IMManagedObject.h"
#include "model/ImageDelegate.h"
#include "model/LayerDrawingSnapshot.h"

class ComposedImage;
class Filter;
class Image;
namespace ui {
class Pasteboard;
}

// The type of the archived filters a filters list writes and a layer reads.
inline const QString IMFiltersPasteboardType = QStringLiteral("com.brenwick.filters.copy");

namespace cd {
class ManagedObjectContext;
}
namespace fnd {
class Operation;
class OperationQueue;
class Timer;
}  // namespace fnd

// Posted for every change of a layer but its name; the window redraws the
// layer's old and new clipping rectangles.
inline const QString IMSelectedLayerDidChange = QStringLiteral("IMSelectedLayerDidChange");
// Set (true) in its user info when the change is the layer's stored pixels
// coming into memory after an open: nothing the user did, so a view may
// gather such redraws instead of drawing each at once.
inline const QString IMLayerPixelsArrivedKey = QStringLiteral("IMLayerPixelsArrived");
// Posted when a layer's origin, rotation or zoom changes.
inline const QString IMSelectedLayerTransformationChange =
    QStringLiteral("IMSelectedLayerTransformationChange");
// Posted after undo or redo restored a layer, and when baking removed filters.
inline const QString IMLayerSnapshotEventNotification =
    QStringLiteral("IMLayerSnapshotEventNotification");

// Whether at least one of the filters is enabled; the walk stops at the first.
bool im_countainsAtLeatOneActiveFilter(const QList<Filter*>& filters);

// One layer of a document: an image placed on the canvas with an origin, a
// rotation about its centre, a zoom, an opacity, a visibility and a
// compositing operation. Geometry is in LayerGeometry.cpp, drawing and the
// painting accumulator in LayerDrawing.cpp.
class Layer : public IMManagedObject, public ImageDelegate {
 public:
  // ---- Creation and awakening ----
  // Inserts a layer of `entityName` ("Layer" or "TextLayer"), appends it to
  // the composed image and names it when `changeName` is set.
  static Layer* createLayerWithComposedImage(ComposedImage* composedImage,
                                             cd::ManagedObjectContext* context, bool changeName,
                                             const QString& entityName = QStringLiteral("Layer"));
  virtual void awakeFromInsertWithComposedImage(ComposedImage* composedImage, bool changeName);
  void awakeFromInsert() override;
  void awakeFromFetch() override;
  void awakeFromSnapshotEvents(int flags) override;
  void prepareInAwakeMethods();

  // ---- Persistent values ----
  QString name() const { return valueForKey("name").toString(); }
  void setName(const QString& name) { setValue(name, "name"); }
  double xOrigin() const { return doubleForKey("xOrigin"); }
  double yOrigin() const { return doubleForKey("yOrigin"); }
  // Origins are stored as whole numbers, halves rounded away from zero.
  void setXOrigin(double x);
  void setYOrigin(double y);
  QPointF origin() const { return {xOrigin(), yOrigin()}; }
  void setOrigin(const QPointF& origin);
  double rotationAngle() const { return doubleForKey("rotationAngle"); }
  void setRotationAngle(double degrees) { setValue(degrees, "rotationAngle"); }
  double alpha() const { return doubleForKey("alpha"); }
  void setAlpha(double alpha) { setValue(alpha, "alpha"); }
  double zoom() const { return doubleForKey("zoom"); }
  virtual void setZoom(double zoom) { setValue(zoom, "zoom"); }
  bool visible() const { return valueForKey("visible").toBool(); }
  void setVisible(bool visible) { setValue(visible, "visible"); }
  int compositingOperation() const { return valueForKey("compositingOperation").toInt(); }
  void setCompositingOperation(int op) { setValue(op, "compositingOperation"); }
  ComposedImage* composedImage() const;
  void setComposedImage(ComposedImage* composedImage);
  Image* image() const;
  void setImage(Image* image);
  Image* mask() const;
  QList<Filter*> filtersArray() const;
  void setFiltersArray(const QList<Filter*>& filters);

  // ---- Transient state ----
  std::shared_ptr<ci::ImageAccumulator> CIImageAccumulator() const { return accumulator_; }
  void setCIImageAccumulator(std::shared_ptr<ci::ImageAccumulator> accumulator) {
    accumulator_ = std::move(accumulator);
  }
  quint64 accumulatorCompositingOperation() const { return accumulatorOperation_; }
  void setAccumulatorCompositingOperation(quint64 op) { accumulatorOperation_ = op; }
  ci::Image filteredCIImage() const;
  void setFilteredCIImage(const ci::Image& image);
  gfx::ImagePtr imagePreview() const { return imagePreview_; }
  void setImagePreview(gfx::ImagePtr preview);
  std::weak_ptr<fnd::Operation> previewOperation() const { return previewOperation_; }
  void setPreviewOperation(std::weak_ptr<fnd::Operation> op) { previewOperation_ = std::move(op); }
  QPointF savedOrigin() const { return savedOrigin_; }
  void setSavedOrigin(const QPointF& origin) { savedOrigin_ = origin; }

  // ---- Derived values ----
  bool isTranslated() const { return xOrigin() != 0 || yOrigin() != 0; }
  bool isRotated() const { return rotationAngle() > 0; }
  bool isZoomed() const { return zoom() != 1; }
  virtual bool isText() const { return false; }
  virtual bool isEmpty() const;
  bool isCoreImage() const;
  bool isPDF() const;
  bool isMultiPagesPDF() const;
  bool hasNotEmptyImageAccumulator() const { return accumulator_ != nullptr; }
  virtual ci::Image ciImage() const;

  // ---- Content and resets ----
  void setImageWithCIImageAndOriginUpdate(const ci::Image& image);
  void resetPersistentGraphicalPropertiesKeepingNonVisibleFilters(bool keepNonVisible);

  // ---- The filter chain, thumbnails and pasted filters (LayerFilters.cpp) ----
  // Runs the enabled, ready filters from the last to the first into
  // filteredCIImage, then posts IMSelectedLayerDidChange.
  void filtersChanged();
  // YES deletes the enabled filters and keeps the disabled ones; NO removes
  // and deletes them all, so no filter is left without a layer.
  void resetFiltersKeepingNonVisible(bool keepNonVisible);
  void insertFilter(Filter* filter, unsigned index);
  void addFiltersArray(const QList<Filter*>& filters, unsigned index);
  // Adds the filters archived under "com.brenwick.filters.copy"; NO, with
  // nothing added or left behind, for a pasteboard without them or with
  // data that is not an archive of filters.
  bool addFiltersFromPasteboard(ui::Pasteboard* pasteboard, unsigned index);
  bool addFiltersFromPasteboard(ui::Pasteboard* pasteboard);
  // Asks for a new thumbnail half a second from now; a newer request
  // replaces a pending one.
  void updatePreviewImage();
  void delayedUpdatePreviewImage();
  fnd::OperationQueue* cancellableOperationQueue() const;

  // ---- Change reporting ----
  void didChangeValueForKey(const QString& key) override;
  void layerChanged();
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;

  // ---- ImageDelegate ----
  void imageDidLoadNSImage(Image* image) override;
  void imageDidUpdateNSImage(Image* image) override;
  void imageDidUpdateCIImage(Image* image) override;

  // ---- Geometry (LayerGeometry.cpp) ----
  virtual QSizeF imageSizeForceNoFilters(bool force) const;
  QSizeF imageSize() const { return imageSizeForceNoFilters(false); }
  QRectF boundsForceNoFilters(bool force, bool noTranslation) const;
  QRectF bounds() const { return boundsForceNoFilters(false, false); }
  QRectF boundsForceNoFilters(bool force) const { return boundsForceNoFilters(force, false); }
  QRectF boundsNoTranslation(bool noTranslation) const {
    return boundsForceNoFilters(false, noTranslation);
  }
  QRectF CIRect() const;
  QRectF filteredCIRect() const;
  QRectF notInfiniteRectWithCIImage(const ci::Image& image) const;
  QRectF rectForInfineSizedLayer() const;
  gfx::AffineTransform transformation() const;
  QRectF transformRectFromLayerToDocument(const QRectF& rect) const;
  QRectF transformRectFromDocumentToLayer(const QRectF& rect) const;
  QRectF clippingRectForceNoFilters(bool force) const;
  QRectF clippingRect() const { return clippingRectForceNoFilters(false); }
  QRectF clippingRectWithAccumulatorForceNoFilters(bool force) const;
  QRectF previousClippingRect() const { return previousClippingRect_; }
  void updatePreviousClippingRect() { previousClippingRect_ = clippingRect(); }
  virtual void resizeCenterdedOnOriginWithZoom(double factor);

  // ---- Drawing and the painting accumulator (LayerDrawing.cpp) ----
  void drawIsForceQuartz(bool forceQuartz, bool isVisibleIgnored, bool isForceNoFilters,
                         bool hasAlpha, bool hasCompositing, bool disableInterpolation,
                         const QRectF& rect);
  void drawIsForceQuartz(bool forceQuartz, bool isVisibleIgnored, bool isForceNoFilters,
                         bool hasAlpha, bool hasCompositing, bool disableInterpolation);
  void drawIsForceQuartz(bool forceQuartz, bool isVisibleIgnored, bool disableInterpolation,
                         const QRectF& rect);
  // What drawing the layer shows, fixed now: drawn at once by the canvas,
  // or kept (detached) to flatten the document elsewhere.
  LayerDrawingSnapshot drawingSnapshot(bool forceQuartz, bool isForceNoFilters, bool hasAlpha,
                                       bool hasCompositing, bool disableInterpolation) const;
  void prepareAccumulatorWithWorkingRect(const QRectF& workingRect);
  ci::Image accumulatorImage() const;
  bool emptyAccumulator() const;
  gfx::ImagePtr imageOfTransformedLayer();
  // The same drawing over `area` only (document space, whole pixels).
  gfx::ImagePtr imageOfTransformedLayerInRect(const QRectF& area);
  void composeAccumulatorWithLayer();
  void deleteWithMask(const ci::Image& mask, const QRectF& dirtyRect, bool fillMode);
  void fill();

 protected:
  // The text a text layer draws in place of pixels; none for plain layers.
  virtual gfx::AttributedString drawnText() const { return {}; }

 private:
  // The bake when it can keep the layer's pixels outside the painting.
  gfx::ImagePtr accumulatorBakedInPlace();
  std::shared_ptr<ci::ImageAccumulator> accumulator_;
  quint64 accumulatorOperation_ = 0;
  mutable std::mutex filteredMutex_;
  ci::Image filteredCIImage_;
  gfx::ImagePtr imagePreview_;
  std::weak_ptr<fnd::Operation> previewOperation_;
  std::shared_ptr<fnd::Timer> previewTimer_;
  // Held only by the layer: work that outlives it sees its weak copy expire.
  std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
  QPointF savedOrigin_;
  QRectF previousClippingRect_;
  // Set while setOrigin changes x: the layer reports one change, after y.
  bool settingOrigin_ = false;
};
