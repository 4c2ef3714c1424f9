#include "tools/IMSettingsColorWell.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include "appkit/ModalServices.h"

IMSettingsColorWell::IMSettingsColorWell(const QString& title, QWidget* parent)
    : QWidget(parent), title_(title) {
  setFixedSize(44, 24);
  setToolTip(title);
  setCursor(Qt::PointingHandCursor);
}

void IMSettingsColorWell::setColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void IMSettingsColorWell::activate() {
  ui::ColorPanelRequest request;
  request.color = color_;
  request.title = title_;
  QPointer<IMSettingsColorWell> well(this);
  request.colorChanged = [well](const QColor& color) {
    if (!well) return;
    well->setColor(color);
    if (well->chosen_) well->chosen_(color);
  };
  ui::ModalServices::shared().orderFrontColorPanel(request);
}

void IMSettingsColorWell::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) activate();
}

// A translucent colour shows over a checkerboard, as colour wells do.
void IMSettingsColorWell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(frame, palette().button());
  const QRect swatch = frame.adjusted(4, 4, -3, -3);
  const int square = 5;
  for (int y = swatch.top(); y <= swatch.bottom(); y += square)
    for (int x = swatch.left(); x <= swatch.right(); x += square)
      painter.fillRect(QRect(x, y, square, square).intersected(swatch),
                       ((x - swatch.left()) / square + (y - swatch.top()) / square) % 2
                           ? QColor(200, 200, 200)
                           : Qt::white);
  painter.fillRect(swatch, color_);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(frame);
  painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}
