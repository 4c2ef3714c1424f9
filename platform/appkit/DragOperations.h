// Drag operations as masks (copy 1, link 2, move 16, ...) beside Qt's drop
// actions, both ways, for the views and tables that start and take drags.
#pragma once

#include <Qt>

namespace ui {

Qt::DropActions qtDropActions(unsigned operations);
unsigned dragOperationsOf(Qt::DropActions actions);
// The single action Qt shows for the operation a destination chose.
Qt::DropAction qtDropAction(unsigned operation);

}  // namespace ui
