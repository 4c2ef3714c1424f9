#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

// Work whose result several threads may need at about the same time: the
// first to ask runs it, the others wait for that run instead of repeating
// it. An image version's bytes are wanted by its cache write and by a save,
// stored pixels by a background load and by a draw that cannot wait.
template <class T>
class ClaimableTask {
 public:
  explicit ClaimableTask(std::function<T()> work) : work_(std::move(work)) {}
  ClaimableTask(const ClaimableTask&) = delete;
  ClaimableTask& operator=(const ClaimableTask&) = delete;

  // A task already done, holding `value`.
  static std::shared_ptr<ClaimableTask> done(T value) {
    auto task = std::make_shared<ClaimableTask>(nullptr);
    task->result_ = std::move(value);
    task->state_ = State::Done;
    return task;
  }

  // Runs the work on this thread unless another thread has started it, in
  // which case waits for that run. The work must never wait for the thread
  // that asks.
  T result() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (state_ == State::Waiting) {
      state_ = State::Running;
      std::function<T()> work = std::move(work_);
      lock.unlock();
      T value = work();
      lock.lock();
      result_ = std::move(value);
      state_ = State::Done;
      finished_.notify_all();
    }
    finished_.wait(lock, [this] { return state_ == State::Done; });
    return result_;
  }

  bool isDone() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ == State::Done;
  }

 private:
  enum class State { Waiting, Running, Done };
  mutable std::mutex mutex_;
  std::condition_variable finished_;
  std::function<T()> work_;
  T result_{};
  State state_ = State::Waiting;
};
