#include "appkit/DragOperations.h"

#include "appkit/DraggingInfo.h"

namespace ui {

Qt::DropActions qtDropActions(unsigned operations) {
  Qt::DropActions actions;
  if (operations & DragOperationCopy) actions |= Qt::CopyAction;
  if (operations & (DragOperationMove | DragOperationGeneric | DragOperationPrivate))
    actions |= Qt::MoveAction;
  if (operations & DragOperationLink) actions |= Qt::LinkAction;
  return actions;
}

unsigned dragOperationsOf(Qt::DropActions actions) {
  unsigned operations = DragOperationNone;
  if (actions & Qt::CopyAction) operations |= DragOperationCopy;
  if (actions & Qt::MoveAction) operations |= DragOperationMove | DragOperationGeneric;
  if (actions & Qt::LinkAction) operations |= DragOperationLink;
  return operations;
}

Qt::DropAction qtDropAction(unsigned operation) {
  if (operation & DragOperationCopy) return Qt::CopyAction;
  if (operation & (DragOperationMove | DragOperationGeneric | DragOperationPrivate))
    return Qt::MoveAction;
  if (operation & DragOperationLink) return Qt::LinkAction;
  return Qt::IgnoreAction;
}

}  // namespace ui
