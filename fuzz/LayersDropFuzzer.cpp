// Fuzzes what the layers list and the canvas do with a drop or a paste from
// another program: the bytes arrive as the program's private items format,
// as PNG, as a file list and as a copied rectangle, and go through the
// drop validation and the reading of files, images and origins. The list
// has no document here, so whatever the bytes, it must end with no layer
// and the validation must answer Copy or nothing.
#include <QGuiApplication>
#include <QMimeData>
#include <cstdlib>

#include "FuzzSupport.h"
#include "appkit/DraggingInfo.h"
#include "appkit/core/Pasteboard.h"
#include "window/IMLayersArrayController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = fuzz::bytes(data, size);
  QMimeData mime;
  mime.setData(ui::PasteboardItemsMimeType, bytes);
  mime.setData(QStringLiteral("image/png"), bytes);
  mime.setData(QStringLiteral("text/uri-list"), bytes.left(256));
  mime.setData(QStringLiteral("com.brenwick.layer.ImageOriginType"), bytes.left(128));
  std::unique_ptr<ui::Pasteboard> pasteboard = ui::Pasteboard::pasteboardWithMimeData(&mime);
  if (!pasteboard) return 0;
  ui::DraggingInfo info(*pasteboard, QPointF(10, 10), ui::DragOperationCopy, nullptr);
  const unsigned answer = IMLayersArrayController::validateDropContentWithInfo(info);
  if (answer != ui::DragOperationNone && answer != ui::DragOperationCopy) std::abort();
  IMLayersArrayController controller;
  controller.receiveDropWithInfo(info, int(size % 5) - 1);
  controller.addLayerWithPasteboard(*pasteboard, unsigned(size % 3));
  if (controller.objectsCount() != 0) std::abort();
  return 0;
}
