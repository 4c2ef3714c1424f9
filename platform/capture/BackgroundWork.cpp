#include "capture/BackgroundWork.h"

namespace capture {

QThreadPool& devicePool() {
  static QThreadPool* pool = [] {
    auto* created = new QThreadPool;
    created->setMaxThreadCount(4);
    return created;
  }();
  return *pool;
}

}  // namespace capture
