// Cursors: the platform's standard shapes, cursors made of an image with a
// hot spot measured from the image's top-left corner, and a stack of pushed
// cursors that stand over every widget's own until popped. Backed by Qt's
// cursor shapes and its application override cursor.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPointF>

namespace ui::Cursor {

QCursor arrowCursor();
QCursor crosshairCursor();
QCursor IBeamCursor();
QCursor openHandCursor();
QCursor closedHandCursor();
QCursor operationNotAllowedCursor();
QCursor dragCopyCursor();
// `hotSpot` in image points from the top-left corner.
QCursor cursorWithImage(const QImage& image, const QPointF& hotSpot);
// The image a cursor shows: its pixmap, or the standard shape drawn small.
QImage imageOfCursor(const QCursor& cursor);

// The pushed cursor shows wherever the pointer is until it is popped; pushes
// nest. Popping with nothing pushed does nothing.
void push(const QCursor& cursor);
void pop();
int pushedCount();
// The innermost pushed cursor, or the arrow when none is pushed.
QCursor currentCursor();

}  // namespace ui::Cursor
