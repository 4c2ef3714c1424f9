// What a drag destination learns about a drag in progress: its pasteboard
// (the dragged items under their type names), where it is, what the source
// allows and who the source is when it lives in this program.
#pragma once

#include <QObject>
#include <QPointF>

#include "appkit/core/Pasteboard.h"

namespace ui {

class View;

// Drag operations as masks.
enum DragOperation : unsigned {
  DragOperationNone = 0,
  DragOperationCopy = 1,
  DragOperationLink = 2,
  DragOperationGeneric = 4,
  DragOperationPrivate = 8,
  DragOperationMove = 16,
  DragOperationDelete = 32,
  DragOperationEvery = 0xffffffffu,
};

class DraggingInfo {
 public:
  DraggingInfo(Pasteboard& pasteboard, const QPointF& locationInWindow, unsigned sourceMask,
               QObject* source)
      : pasteboard_(pasteboard),
        location_(locationInWindow),
        sourceMask_(sourceMask),
        source_(source) {}

  Pasteboard& draggingPasteboard() const { return pasteboard_; }
  // In the destination window's coordinates, y up.
  QPointF draggingLocation() const { return location_; }
  unsigned draggingSourceOperationMask() const { return sourceMask_; }
  // The widget that began the drag (a view, a table), when it is one of
  // this program's.
  QObject* draggingSource() const { return source_; }

 private:
  Pasteboard& pasteboard_;
  QPointF location_;
  unsigned sourceMask_;
  QObject* source_;
};

// An object that takes drops on behalf of a view.
class DraggingDestination {
 public:
  virtual ~DraggingDestination() = default;
  virtual unsigned draggingEntered(DraggingInfo& info) = 0;
  virtual bool performDragOperation(DraggingInfo& info) = 0;
};

}  // namespace ui
