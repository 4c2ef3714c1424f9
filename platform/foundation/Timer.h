// A timer on the main loop: fires its block after an interval, once or
// repeatedly, until invalidated. Backed by QTimer; the loop keeps a
// scheduled timer alive until it is invalidated, so callers may drop theirs.
// Create, fire and invalidate timers on the main thread.
#pragma once

#include <functional>
#include <memory>

class QTimer;

namespace fnd {

class Timer : public std::enable_shared_from_this<Timer> {
 public:
  using Block = std::function<void(Timer&)>;

  static std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, Block block);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // Stops the timer for good; the block may call it on its own timer.
  void invalidate();
  bool isValid() const { return valid_; }
  // Runs the block now; a one-shot timer is invalidated by it, a repeating
  // one keeps its schedule.
  void fire();

  double timeInterval() const { return interval_; }
  bool repeats() const { return repeats_; }

 private:
  Timer(double interval, bool repeats, Block block);
  void schedule();

  double interval_;
  bool repeats_;
  Block block_;
  bool valid_ = true;
  std::unique_ptr<QTimer> timer_;
};

}  // namespace fnd
