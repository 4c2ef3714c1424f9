#include "foundation/Timer.h"

#include <QTimer>
#include <algorithm>
#include <cmath>
#include <set>

namespace fnd {

namespace {

// The loop's references to scheduled timers; main thread only. Never
// destroyed, so timers still scheduled at exit are not torn down after the
// event loop they belong to.
std::set<std::shared_ptr<Timer>>& scheduledTimers() {
  static auto* timers = new std::set<std::shared_ptr<Timer>>;
  return *timers;
}

}  // namespace

Timer::Timer(double interval, bool repeats, Block block)
    : interval_(std::max(interval, 0.0)), repeats_(repeats), block_(std::move(block)) {}

Timer::~Timer() {
  if (!timer_) return;
  timer_->stop();
  timer_->disconnect();
  // The timer may be dying inside its own timeout signal; let Qt delete it.
  timer_.release()->deleteLater();
}

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Block block) {
  std::shared_ptr<Timer> timer(new Timer(interval, repeats, std::move(block)));
  timer->schedule();
  scheduledTimers().insert(timer);
  return timer;
}

void Timer::schedule() {
  timer_ = std::make_unique<QTimer>();
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setSingleShot(!repeats_);
  // A repeating timer with a zero interval would spin the loop flat out.
  const int floor = repeats_ ? 1 : 0;
  timer_->setInterval(std::max(floor, int(std::ceil(interval_ * 1000.0))));
  std::weak_ptr<Timer> weak = weak_from_this();
  QObject::connect(timer_.get(), &QTimer::timeout, [weak] {
    if (auto self = weak.lock()) self->fire();
  });
  timer_->start();
}

void Timer::invalidate() {
  if (!valid_) return;
  valid_ = false;
  if (timer_) timer_->stop();
  // Keep this alive until the caller's frame is done with it.
  auto self = shared_from_this();
  scheduledTimers().erase(self);
}

void Timer::fire() {
  if (!valid_) return;
  auto self = shared_from_this();
  if (block_) block_(*this);
  if (!repeats_) invalidate();
}

}  // namespace fnd
