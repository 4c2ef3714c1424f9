// A controller of one object (the composed image of a window, say): its
// content is the selection, so bindings to "selection.width" read and write
// the content's width, and answer the no-selection marker without content.
#pragma once

#include "appkit/Controller.h"

namespace ui {

class ObjectController : public Controller {
 public:
  fnd::Observable* content() const { return content_; }
  virtual void setContent(fnd::Observable* content);

  QList<fnd::Observable*> selectedObservables() const override;
  // Keys "content", "selection" and "selectedObjects".
  QVariant valueForKey(const QString& key) const override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;

 private:
  fnd::Observable* content_ = nullptr;
};

}  // namespace ui
