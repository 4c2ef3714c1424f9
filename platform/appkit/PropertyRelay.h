#pragma once

#include <QMetaProperty>
#include <QObject>
#include <QVariant>
#include <QWidget>
#include <functional>

namespace ui {

// Carries a control's property both ways: writes the shown value (marking
// the write as its own so it is not sent back) and reports the user's edits
// through the property's change signal. Child of the control, so it goes
// away with it.
class PropertyRelay : public QObject {
  Q_OBJECT
 public:
  PropertyRelay(QObject* control, const QMetaProperty& property)
      : QObject(control), property_(property) {
    if (property.hasNotifySignal())
      connect(control, property.notifySignal(), this,
              metaObject()->method(metaObject()->indexOfSlot("propertyChanged()")));
  }

  void show(const QVariant& value, bool enabled) {
    if (auto* widget = qobject_cast<QWidget*>(parent())) widget->setEnabled(enabled);
    if (!value.isValid()) return;
    writing_ = true;
    property_.write(parent(), value);
    writing_ = false;
  }

  std::function<void(const QVariant&)> edited;

 public slots:
  void propertyChanged() {
    if (!writing_ && edited) edited(property_.read(parent()));
  }

 private:
  QMetaProperty property_;
  bool writing_ = false;
};

}  // namespace ui
