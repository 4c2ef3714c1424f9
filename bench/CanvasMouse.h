// A mouse event at a document point, sent to the canvas as the windowing
// system would: the benchmarks' way of driving a tool.
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>

#include "window/IMView.h"

inline void sendCanvasMouse(IMView* canvas, QEvent::Type type, const QPointF& document) {
  const QPointF at = canvas->pointToWidget(canvas->transformation().transformPoint(document));
  const Qt::MouseButtons buttons =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, canvas->mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(canvas, &event);
}
