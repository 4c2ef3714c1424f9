#include "window/IMBoxExtensions.h"

#include <QPalette>
#include <QWidget>

const QColor& IMBoxKeyFillColor() {
  static const QColor color = QColor::fromRgbF(0.85f, 0.87f, 0.90f, 1.0f);
  return color;
}

const QColor& IMBoxNotKeyFillColor() {
  static const QColor color = QColor::fromRgbF(0.93f, 0.93f, 0.93f, 1.0f);
  return color;
}

namespace {

void setFillColor(QWidget* box, const QColor& color) {
  if (!box) return;
  QPalette palette = box->palette();
  palette.setColor(QPalette::Window, color);
  box->setPalette(palette);
  box->setAutoFillBackground(true);
}

}  // namespace

void becomeKey(QWidget* box) { setFillColor(box, IMBoxKeyFillColor()); }
void resignKey(QWidget* box) { setFillColor(box, IMBoxNotKeyFillColor()); }
