#include "documents/FileSizeEstimator.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "foundation/OperationQueue.h"
#include "model/ImagesCacheFolder.h"

FileSizeEstimator::FileSizeEstimator(fnd::OperationQueue* queue)
    : queue_(queue), newest_(std::make_shared<std::atomic<quint64>>(0)) {}

FileSizeEstimator::~FileSizeEstimator() { cancelPending(); }

void FileSizeEstimator::cancelPending() {
  ++*newest_;
  for (const auto& operation : queue_->operations())
    if (!operation->isExecuting()) operation->cancel();
}

void FileSizeEstimator::estimate(ExportSnapshot::Ptr snapshot, ResultHandler handler) {
  cancelPending();
  const quint64 generation = *newest_;
  std::weak_ptr<std::atomic<quint64>> newest = newest_;
  queue_->addOperationWithBlock([snapshot, handler, generation, newest] {
    // Written only while still the newest: a superseded estimate that has
    // not begun its write has nothing to show.
    if (auto current = newest.lock(); !current || *current != generation) return;
    const qint64 bytes = measure(*snapshot);
    fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [handler, generation, newest, bytes] {
      if (auto current = newest.lock(); current && *current == generation) handler(bytes);
    });
  });
}

qint64 FileSizeEstimator::measure(const ExportSnapshot& snapshot) {
  const QString folder = ImagesCacheFolder::shared().path();
  if (folder.isEmpty()) return -1;
  QTemporaryFile file(QDir(folder).filePath(QStringLiteral("saveFileSize-XXXXXX")));
  QByteArray bytes;
  if (!file.open() || !snapshot.encode(&bytes)) return -1;
  if (file.write(bytes) != bytes.size() || !file.flush()) return -1;
  return QFileInfo(file.fileName()).size();
}
