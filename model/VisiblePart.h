// What of a rectangle can show through the current graphics context's clip:
// layers render and draw only that part of their content (filter chains,
// text, painting), never the whole of it.
#pragma once

#include <QRectF>

// The part of `bounds` (in the current context's user space) that meets the
// clip, grown by a margin that keeps filtered edges exact and snapped to the
// whole pixels of `bounds`' own grid. `bounds` itself without a current
// context; empty when nothing of it shows.
QRectF visiblePartOfRect(const QRectF& bounds);
