// A device operation's progress, reported from its worker thread and shown
// in a bar on the main thread (the bar may be gone by then).
#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <memory>

#include "capture/Device.h"

inline std::shared_ptr<capture::Progress> captureProgressShownIn(QProgressBar* shownIn) {
  auto progress = std::make_shared<capture::Progress>();
  QPointer<QProgressBar> bar(shownIn);
  progress->report = [bar](double fraction) {
    QMetaObject::invokeMethod(
        bar,
        [bar, fraction] {
          if (bar) bar->setValue(int(fraction * 100));
        },
        Qt::QueuedConnection);
  };
  bar->setValue(0);
  return progress;
}
