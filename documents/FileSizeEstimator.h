#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "documents/ExportSnapshot.h"

namespace fnd {
class OperationQueue;
}

// Estimates the size of an export by writing it once: each estimate encodes
// its snapshot on the given queue (one operation at a time) into a file of
// its own in the process's private folder, measures it and deletes it. A
// new estimate cancels those not started yet, and only the newest result
// reaches the main queue.
class FileSizeEstimator {
 public:
  // -1 when the size is unknown (the write failed).
  using ResultHandler = std::function<void(qint64 bytes)>;

  explicit FileSizeEstimator(fnd::OperationQueue* queue);
  // Results still on their way are dropped; the queue's owner waits for
  // the running write.
  ~FileSizeEstimator();
  FileSizeEstimator(const FileSizeEstimator&) = delete;
  FileSizeEstimator& operator=(const FileSizeEstimator&) = delete;

  // Cancels the estimates that have not started and makes any running one
  // stale, so its result is dropped.
  void cancelPending();
  // `handler` runs on the main queue, only if no newer estimate was asked
  // for (or cancelPending called) meanwhile.
  void estimate(ExportSnapshot::Ptr snapshot, ResultHandler handler);

  // Writes `snapshot` to a fresh file in the private folder and returns the
  // file's size; the file is always deleted. -1 on failure.
  static qint64 measure(const ExportSnapshot& snapshot);

 private:
  fnd::OperationQueue* queue_;
  std::shared_ptr<std::atomic<quint64>> newest_;
};
