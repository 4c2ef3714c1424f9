#include "appkit/AnimationContext.h"

#include <QGuiApplication>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <optional>

namespace ui {

namespace {

std::optional<bool> enabledOverride;

}  // namespace

bool AnimationContext::animationsEnabled() {
  if (enabledOverride) return *enabledOverride;
  return QGuiApplication::platformName() != QLatin1String("offscreen");
}

void AnimationContext::setAnimationsEnabled(bool enabled) { enabledOverride = enabled; }

void AnimationContext::animate(QObject* object, const QByteArray& property, const QVariant& value) {
  changes_.append({object, property, value});
}

void AnimationContext::runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                         const std::function<void()>& completion) {
  AnimationContext context;
  changes(context);
  if (!animationsEnabled() || context.duration_ <= 0) {
    for (const Change& change : context.changes_)
      change.object->setProperty(change.property.constData(), change.value);
    if (completion) completion();
    return;
  }
  auto* group = new QParallelAnimationGroup;
  for (const Change& change : context.changes_) {
    auto* animation = new QPropertyAnimation(change.object, change.property, group);
    animation->setDuration(int(context.duration_ * 1000));
    animation->setEndValue(change.value);
    group->addAnimation(animation);
  }
  QObject::connect(group, &QAbstractAnimation::finished, group, [completion] {
    if (completion) completion();
  });
  group->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace ui
