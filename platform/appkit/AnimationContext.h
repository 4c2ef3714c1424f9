// Animation groups: changes made inside a group move to their end values
// over the group's duration, all together, and a completion runs when the
// last one arrives. With animations off (tests, or a zero duration) the
// changes land at once and the completion runs before the call returns.
#pragma once

#include <QByteArray>
#include <QList>
#include <QVariant>
#include <functional>

class QObject;

namespace ui {

class AnimationContext {
 public:
  // Seconds.
  double duration() const { return duration_; }
  void setDuration(double seconds) { duration_ = seconds; }
  // Inside a group: moves `property` of `object` to `value`.
  void animate(QObject* object, const QByteArray& property, const QVariant& value);

  static void runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                const std::function<void()>& completion = {});
  // Off by default on the offscreen platform, so tests never wait.
  static bool animationsEnabled();
  static void setAnimationsEnabled(bool enabled);

 private:
  struct Change {
    QObject* object;
    QByteArray property;
    QVariant value;
  };
  double duration_ = 0.25;
  QList<Change> changes_;
};

}  // namespace ui
