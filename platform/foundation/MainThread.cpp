#include "foundation/MainThread.h"

#include <QCoreApplication>
#include <QThread>

namespace fnd {

bool isMainThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace fnd
