#include "appkit/ObjectController.h"

namespace ui {

void ObjectController::setContent(fnd::Observable* content) {
  willChangeValueForKey("content");
  content_ = content;
  selectionDidChange();
  didChangeValueForKey("content");
}

QList<fnd::Observable*> ObjectController::selectedObservables() const {
  if (!content_) return {};
  return {content_};
}

QVariant ObjectController::valueForKey(const QString& key) const {
  if (key == "content") return QVariant::fromValue<fnd::Observable*>(content_);
  if (key == "selectedObjects") {
    QVariantList objects;
    for (fnd::Observable* object : selectedObservables())
      objects.append(QVariant::fromValue(object));
    return objects;
  }
  return Controller::valueForKey(key);
}

QSet<QString> ObjectController::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "selection" || key == "selectedObjects") return {QStringLiteral("content")};
  return {};
}

}  // namespace ui
