// A pasteboard becoming new layers: image files by name, images at the place
// they were copied from when the pasteboard says where, else centred.
#include <QFileInfo>

#include "appkit/core/Pasteboard.h"
#include "foundation/GeometryStrings.h"
#include "window/IMLayersArrayController.h"

namespace {

const QString kImageOriginType = QStringLiteral("com.brenwick.layer.ImageOriginType");

// The copied rectangles the pasteboard carries, in item order.
QList<QRectF> copiedRects(const ui::Pasteboard& pasteboard) {
  QList<QRectF> rects;
  for (const ui::PasteboardItem& item : pasteboard.pasteboardItems()) {
    QRectF rect;
    if (item.hasType(kImageOriginType) &&
        fnd::rectFromString(QString::fromUtf8(item.dataForType(kImageOriginType)), &rect))
      rects.append(rect);
  }
  return rects;
}

// The origin of the last copied rectangle of the image's size; the
// sentinel (centred) when none fits.
QPointF originFor(const gfx::ImagePtr& image, const QList<QRectF>& rects) {
  QPointF origin(IMCenteredOriginSentinel, IMCenteredOriginSentinel);
  for (const QRectF& rect : rects)
    if (rect.size() == image->size()) origin = rect.topLeft();
  return origin;
}

}  // namespace

bool IMLayersArrayController::addLayerWithPasteboard(const ui::Pasteboard& pasteboard,
                                                     unsigned index) {
  const QList<QRectF> rects = copiedRects(pasteboard);
  const QList<ui::PasteboardObject> files = pasteboard.readObjectsForClasses(
      {ui::PasteboardClass::URL},
      {{ui::PasteboardURLReadingFileURLsOnlyKey, true},
       {ui::PasteboardURLReadingContentsConformToTypesKey, ui::PasteboardTypes::imageTypes()}});
  if (!files.isEmpty()) {
    for (const ui::PasteboardObject& file : files) {
      const QString path = std::get<QUrl>(file).toLocalFile();
      index = addLayerAndImage(gfx::Image::imageWithContentsOfFile(path),
                               QFileInfo(path).fileName(), index, true) +
              1;
    }
    return true;
  }
  const QList<ui::PasteboardObject> images =
      pasteboard.readObjectsForClasses({ui::PasteboardClass::Image});
  for (const ui::PasteboardObject& object : images) {
    const gfx::ImagePtr& image = std::get<gfx::ImagePtr>(object);
    index = addLayerAndImage(image, QString(), originFor(image, rects), index, true) + 1;
  }
  return !images.isEmpty();
}
