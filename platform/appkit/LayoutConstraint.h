// One number of a window's layout that can be changed at once or moved to
// a new value over an animation group: a panel's width, a bar's height, or
// the room a neighbour keeps for it. When it governs a widget, the widget's
// width or height follows the constant, and a constant of 0 hides it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace ui {

class AnimationContext;

class LayoutConstraint : public QObject {
  Q_OBJECT
  Q_PROPERTY(double constant READ constant WRITE setConstant)

 public:
  enum class Attribute { None, Width, Height };

  // A constraint on `widget`'s width or height (None: a number only).
  explicit LayoutConstraint(QWidget* widget = nullptr, Attribute attribute = Attribute::None,
                            double constant = 0, QObject* parent = nullptr);

  double constant() const { return constant_; }
  void setConstant(double constant);
  // Inside an animation group: the constant moves to `constant` with the
  // group; out of one (or with animations off) it lands at once.
  void animateConstant(AnimationContext& context, double constant);

  QWidget* widget() const { return widget_; }

 private:
  void apply();

  QPointer<QWidget> widget_;
  Attribute attribute_;
  double constant_;
};

}  // namespace ui
