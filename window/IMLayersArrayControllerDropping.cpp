// Drops on the layers list and on the canvas: images and files become new
// layers, copied filters go onto the layer they are dropped on.
#include "appkit/TableView.h"
#include "foundation/NotificationCenter.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMLayersArrayController.h"
#include "window/IMLayersPanelWindow.h"

namespace {

const QString kImageOriginType = QStringLiteral("com.brenwick.layer.ImageOriginType");

}  // namespace

const QStringList& IMLayersArrayController::registeredDragAndDropTypes() {
  static const QStringList types = [] {
    QStringList list{ui::FilenamesPboardType};
    list += ui::PasteboardTypes::imageTypes();
    list += {kObjectCopyType, kObjectMoveType, kImageOriginType};
    return list;
  }();
  return types;
}

const QStringList& IMLayersArrayController::registeredTableViewDropTypes() {
  static const QStringList types =
      registeredDragAndDropTypes() + QStringList{IMFiltersPasteboardType};
  return types;
}

unsigned IMLayersArrayController::validateDropContentWithInfo(ui::DraggingInfo& info) {
  const QStringList types = info.draggingPasteboard().types();
  for (const QString& type : {IMFiltersPasteboardType, ui::FilenamesPboardType,
                              ui::PasteboardTypePDF, ui::PasteboardTypePNG, ui::PasteboardTypeTIFF})
    if (types.contains(type)) return ui::DragOperationCopy;
  return ui::DragOperationNone;
}

// Filters land on a layer; the list's own rows move between rows; images
// and files become new layers between rows.
unsigned IMLayersArrayController::tableViewValidateDrop(ui::TableView* table,
                                                        ui::DraggingInfo& info, int row,
                                                        ui::TableViewDropOperation operation) {
  if (info.draggingPasteboard().types().contains(IMFiltersPasteboardType)) {
    // No layer to take them: refused rather than left without a layer.
    if (objectsCount() == 0) return ui::DragOperationNone;
    if (operation == ui::TableViewDropAbove) {
      const int under = table->rowAtPoint(info.draggingLocation());
      if (under < 0) return ui::DragOperationNone;
      table->setDropRow(under, ui::TableViewDropOn);
    }
    return validateDropContentWithInfo(info);
  }
  if (tableView() && info.draggingSource() == tableView()) {
    if (operation == ui::TableViewDropOn) table->setDropRow(row, ui::TableViewDropAbove);
    return ui::DragOperationMove;
  }
  const unsigned answer = validateDropContentWithInfo(info);
  if (answer != ui::DragOperationNone && operation == ui::TableViewDropOn)
    table->setDropRow(row, ui::TableViewDropAbove);
  return answer;
}

bool IMLayersArrayController::receiveDropWithInfo(ui::DraggingInfo& info, int arrangedIndex) {
  ui::Pasteboard& pasteboard = info.draggingPasteboard();
  if (!pasteboard.types().contains(IMFiltersPasteboardType))
    return addLayerWithPasteboard(pasteboard, unsigned(std::max(arrangedIndex, 0)));
  Layer* layer = arrangedLayers().value(arrangedIndex);
  if (!layer || !layer->addFiltersFromPasteboard(&pasteboard)) return false;
  const QList<Layer*> selected = selectedLayers();
  if (selected.size() == 1 && selected.first() == layer) {
    fnd::NotificationCenter::defaultCenter().postNotificationName(IMLayerSnapshotEventNotification,
                                                                  layer);
    if (auto* window = dynamic_cast<IMLayersPanelWindow*>(windowController()))
      window->selectFirstFilter();
  }
  return true;
}

unsigned IMLayersArrayController::draggingEntered(ui::DraggingInfo& info) {
  return validateDropContentWithInfo(info);
}

// The new layer is centred on the document point under the mouse, whatever
// the zoom and scrolling; the first layer of an empty document takes the
// canvas as the layers panel places it.
bool IMLayersArrayController::performDragOperation(ui::DraggingInfo& info) {
  const bool added = receiveDropWithInfo(info, 0);
  if (!added || objectsCount() <= 1) return added;
  Layer* layer = firstSelectedLayer();
  auto* window = dynamic_cast<IMLayersPanelWindow*>(windowController());
  if (!layer || !layer->image() || !layer->image()->nsImage() || !window) return added;
  const QPointF centre = window->documentPointForWindowPoint(info.draggingLocation());
  const QPointF origin =
      IMImagesUtilities::findOriginWithCenter(centre, layer->image()->nsImage()->size());
  layer->setXOrigin(origin.x());
  layer->setYOrigin(origin.y());
  window->setNeedsDisplay();
  return added;
}
