// A view as a drag destination for the pasteboard types it registered, and
// as a drag source of a pasteboard's items.
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>

#include "appkit/DragOperations.h"
#include "appkit/View.h"

namespace ui {

void View::registerForDraggedTypes(const QStringList& types) {
  draggedTypes_ = types;
  setAcceptDrops(!types.isEmpty());
}

void View::unregisterDraggedTypes() { registerForDraggedTypes({}); }

unsigned View::draggingEntered(DraggingInfo&) { return DragOperationNone; }

unsigned View::draggingUpdated(DraggingInfo&) { return lastDragOperation_; }

void View::draggingExited() {}

bool View::prepareForDragOperation(DraggingInfo&) { return true; }

bool View::performDragOperation(DraggingInfo&) { return false; }

void View::concludeDragOperation(DraggingInfo&) {}

// Only drags carrying one of the registered types reach the view.
std::unique_ptr<Pasteboard> View::dropPasteboard(const QDropEvent& event) const {
  std::unique_ptr<Pasteboard> pasteboard = Pasteboard::pasteboardWithMimeData(event.mimeData());
  if (!pasteboard) return nullptr;
  const QStringList types = pasteboard->types();
  if (std::none_of(types.begin(), types.end(),
                   [&](const QString& type) { return draggedTypes_.contains(type); }))
    return nullptr;
  return pasteboard;
}

DraggingInfo View::draggingInfo(const QDropEvent& event, Pasteboard& pasteboard) const {
  const QWidget* top = window();
  const QPointF inWindow = mapTo(top, event.position());
  return DraggingInfo(pasteboard, QPointF(inWindow.x(), top->height() - inWindow.y()),
                      dragOperationsOf(event.possibleActions()), event.source());
}

void View::dragEnterEvent(QDragEnterEvent* event) {
  std::unique_ptr<Pasteboard> pasteboard = dropPasteboard(*event);
  lastDragOperation_ = DragOperationNone;
  if (pasteboard) {
    DraggingInfo info = draggingInfo(*event, *pasteboard);
    lastDragOperation_ = draggingEntered(info);
  }
  if (lastDragOperation_ == DragOperationNone) return event->ignore();
  event->setDropAction(qtDropAction(lastDragOperation_));
  event->accept();
}

void View::dragMoveEvent(QDragMoveEvent* event) {
  std::unique_ptr<Pasteboard> pasteboard = dropPasteboard(*event);
  if (pasteboard) {
    DraggingInfo info = draggingInfo(*event, *pasteboard);
    lastDragOperation_ = draggingUpdated(info);
  } else {
    lastDragOperation_ = DragOperationNone;
  }
  if (lastDragOperation_ == DragOperationNone) return event->ignore();
  event->setDropAction(qtDropAction(lastDragOperation_));
  event->accept();
}

void View::dragLeaveEvent(QDragLeaveEvent*) { draggingExited(); }

void View::dropEvent(QDropEvent* event) {
  std::unique_ptr<Pasteboard> pasteboard = dropPasteboard(*event);
  if (!pasteboard) return event->ignore();
  DraggingInfo info = draggingInfo(*event, *pasteboard);
  if (!prepareForDragOperation(info) || !performDragOperation(info)) return event->ignore();
  event->setDropAction(qtDropAction(lastDragOperation_));
  event->accept();
  concludeDragOperation(info);
}

unsigned View::dragImage(const QImage& image, const Pasteboard& pasteboard,
                         unsigned allowedOperations) {
  QDrag drag(this);
  drag.setMimeData(pasteboard.dragMimeData());
  if (!image.isNull()) drag.setPixmap(QPixmap::fromImage(image));
  const Qt::DropAction done = drag.exec(qtDropActions(allowedOperations));
  return done == Qt::IgnoreAction ? DragOperationNone : dragOperationsOf(done) & allowedOperations;
}

}  // namespace ui
