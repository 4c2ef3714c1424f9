#include "appkit/Cursor.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>

namespace ui::Cursor {

namespace {
int pushed = 0;
}  // namespace

QCursor arrowCursor() { return QCursor(Qt::ArrowCursor); }
QCursor crosshairCursor() { return QCursor(Qt::CrossCursor); }
QCursor IBeamCursor() { return QCursor(Qt::IBeamCursor); }
QCursor openHandCursor() { return QCursor(Qt::OpenHandCursor); }
QCursor closedHandCursor() { return QCursor(Qt::ClosedHandCursor); }
QCursor operationNotAllowedCursor() { return QCursor(Qt::ForbiddenCursor); }
QCursor dragCopyCursor() { return QCursor(Qt::DragCopyCursor); }

QCursor cursorWithImage(const QImage& image, const QPointF& hotSpot) {
  const QPixmap pixmap = QPixmap::fromImage(image);
  const double scale = pixmap.devicePixelRatio();
  return QCursor(pixmap, int(hotSpot.x() * scale), int(hotSpot.y() * scale));
}

// Standard shapes have no pixmap of their own here: a plain arrow stands
// for them, as the window system draws the real one.
QImage imageOfCursor(const QCursor& cursor) {
  if (cursor.shape() == Qt::BitmapCursor && !cursor.pixmap().isNull())
    return cursor.pixmap().toImage();
  QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(Qt::black);
  painter.drawPolygon(
      QPolygonF({{2, 1}, {2, 14}, {5.5, 10.5}, {8, 15}, {10, 14}, {7.5, 9.5}, {12, 9.5}}));
  return image;
}

void push(const QCursor& cursor) {
  QGuiApplication::setOverrideCursor(cursor);
  ++pushed;
}

void pop() {
  if (pushed == 0) return;
  QGuiApplication::restoreOverrideCursor();
  --pushed;
}

int pushedCount() { return pushed; }

QCursor currentCursor() {
  const QCursor* top = pushed ? QGuiApplication::overrideCursor() : nullptr;
  return top ? *top : arrowCursor();
}

}  // namespace ui::Cursor
