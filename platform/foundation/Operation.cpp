#include <QtDebug>
#include <exception>

#include "foundation/OperationQueue.h"

namespace fnd {

Operation::Operation(std::function<void()> block) : block_(std::move(block)) {}

Operation::~Operation() = default;

std::shared_ptr<Operation> Operation::blockOperation(std::function<void()> block) {
  return std::make_shared<Operation>(std::move(block));
}

bool Operation::isExecuting() const {
  std::lock_guard lock(mutex_);
  return phase_ == Phase::Executing;
}

bool Operation::isFinished() const {
  std::lock_guard lock(mutex_);
  return phase_ == Phase::Finished;
}

void Operation::setCompletionBlock(std::function<void()> block) {
  std::lock_guard lock(mutex_);
  completion_ = std::move(block);
}

void Operation::start() {
  {
    std::lock_guard lock(mutex_);
    if (enqueued_) {
      qWarning("fnd::Operation::start: the operation belongs to a queue, which starts it");
      return;
    }
  }
  runAndFinish();
}

void Operation::waitUntilFinished() {
  std::unique_lock lock(mutex_);
  finishedCondition_.wait(lock, [this] { return phase_ == Phase::Finished; });
}

void Operation::main() {
  if (block_) block_();
}

bool Operation::beginExecuting() {
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::Ready || cancelled_) return false;
  phase_ = Phase::Executing;
  return true;
}

void Operation::runAndFinish() {
  {
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::Ready) return;
  }
  if (beginExecuting()) {
    // An escaping exception would take down a worker thread and leave the
    // queue's bookkeeping behind; report it and carry on.
    try {
      main();
    } catch (const std::exception& error) {
      qWarning("fnd::Operation: the block threw: %s", error.what());
    } catch (...) {
      qWarning("fnd::Operation: the block threw");
    }
  }
  finish();
}

void Operation::finish() {
  std::function<void()> completion;
  {
    std::lock_guard lock(mutex_);
    if (phase_ == Phase::Finished) return;
    phase_ = Phase::Finished;
    completion = std::move(completion_);
    completion_ = nullptr;
  }
  finishedCondition_.notify_all();
  if (completion) completion();
}

}  // namespace fnd
