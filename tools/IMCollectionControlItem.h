#pragma once

#include <QStringList>
#include <QWidget>

// One place of the tool settings strip: it hosts a single setting view and
// centres a narrow one (under 80 wide) in itself.
class IMCollectionControlItem : public QWidget {
 public:
  explicit IMCollectionControlItem(QWidget* parent = nullptr);

  static QStringList exposedBindings() { return {QStringLiteral("control")}; }
  // The view becomes the only child; null empties the item. The views
  // taken out are hidden and handed back to their keeper, not deleted.
  void setControl(QWidget* control);
  // The last child view.
  QWidget* control() const;
  void setKeeper(QWidget* keeper) { keeper_ = keeper; }

 private:
  void removeAllControls();

  QWidget* keeper_ = nullptr;
};
