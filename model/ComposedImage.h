#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <memory>

#include "coreimage/Image.h"
#include "graphics/Image.h"
#include "model/IMManagedObject.h"

class Layer;
class Settings;

namespace cd {
class ManagedObjectContext;
}

// Posted when the layers of a composed image change, before the generic
// change notification; the window redraws its canvas.
inline const QString IMSomeLayersChanged = QStringLiteral("IMSomeLayersChanged");
// Posted after undo or redo restored a composed image.
inline const QString IMComposedImageSnapshotEventNotification =
    QStringLiteral("IMComposedImageSnapshotEventNotification");

// The root of a document: the canvas size and its ordered layers (index 0 on
// top). Composites them for the canvas and flattens them for export.
class ComposedImage : public IMManagedObject {
 public:
  static ComposedImage* createComposedImageWithALayerForManagedObjectContext(
      cd::ManagedObjectContext* context);
  // The one composed image of the context; null for none or several. The
  // error is filled when the fetch itself fails, or when the stored canvas
  // size is not finite and positive (FileReadCorruptFileError) or exceeds
  // the image limits (FileReadTooLargeError).
  static ComposedImage* composedImageForManagedObjectContext(cd::ManagedObjectContext* context,
                                                             fnd::Error* error = nullptr);

  double width() const { return doubleForKey("width"); }
  void setWidth(double width) { setValue(width, "width"); }
  double height() const { return doubleForKey("height"); }
  void setHeight(double height) { setValue(height, "height"); }
  QSizeF size() const { return {width(), height()}; }
  void setSize(QSizeF size);
  QRectF rect() const { return {0, 0, width(), height()}; }

  QList<Layer*> layersArray() const;
  void setLayersArray(const QList<Layer*>& layers);
  bool hasMoreThanOneLayer() const { return layersArray().size() > 1; }
  bool isEmpty() const;

  std::shared_ptr<Settings> settings() const { return settings_; }
  void setSettings(std::shared_ptr<Settings> settings) { settings_ = std::move(settings); }
  QSizeF layerPreviewImagesSize() const { return layerPreviewImagesSize_; }
  void setLayerPreviewImagesSize(QSizeF size) { layerPreviewImagesSize_ = size; }

  qint64 aNewLayerIncrementalCount() { return ++layerCounter_; }
  void addLayer(Layer* layer);

  // Draws into the current graphics context, the last layer first.
  void compositeImageInRect(const QRectF& rect, bool forceQuartz, const QList<Layer*>& layers,
                            bool disableInterpolation);
  void compositeImageInRect(const QRectF& rect, bool forceQuartz, bool disableInterpolation);

  // The layers flattened into one image of the canvas size (or of `rect`,
  // when not empty); null when no bitmap can be made.
  gfx::ImagePtr finalImageKeepAlpha(bool keepAlpha, const QList<Layer*>& layers,
                                    const QRectF& rect);
  gfx::ImagePtr finalImageKeepAlpha(bool keepAlpha, const QList<Layer*>& layers);
  gfx::ImagePtr finalImageKeepAlpha(bool keepAlpha);

  void deleteWithMask(const ci::Image& mask, const QList<Layer*>& layers, const QRectF& dirtyRect,
                      bool fillMode);
  void fillLayers(const QList<Layer*>& layers);
  void resizeWithZoom(double factor);

  void awakeFromInsert() override;
  void awakeFromFetch() override;
  void awakeFromSnapshotEvents(int flags) override;
  void didChangeValueForKey(const QString& key) override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;

 private:
  qint64 highestDefaultLayerNumber() const;

  std::shared_ptr<Settings> settings_;
  QSizeF layerPreviewImagesSize_;
  qint64 layerCounter_ = 0;
};
