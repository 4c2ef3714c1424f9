#include "tools/IMCollectionViewController.h"

#include <QHBoxLayout>

#include "foundation/Observable.h"
#include "model/Settings.h"
#include "tools/IMCollectionControlItem.h"
#include "tools/IMTool.h"
#include "tools/IMToolsController.h"

IMCollectionViewController::IMCollectionViewController() = default;

IMCollectionViewController::~IMCollectionViewController() { unbind(); }

void IMCollectionViewController::awakeFromNib() {
  if (!toolsController_ || bound_) return;
  bound_ = true;
  toolsController_->addObserver(
      QStringLiteral("selectedTool"), fnd::ObservingInitial | fnd::ObservingNew,
      [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        setTool(toolsController_->selectedTool());
      },
      this);
  bindSettingViews();
}

void IMCollectionViewController::unbind() {
  if (bound_ && toolsController_) toolsController_->removeObserver(this);
  if (std::shared_ptr<Settings> settings = boundSettings_.lock()) settings->removeObserver(this);
  bound_ = false;
}

// A missing setting view is skipped with its width, so the strip never
// holds an empty place.
void IMCollectionViewController::setTool(IMTool* tool) {
  tool_ = tool;
  QList<QWidget*> views;
  int width = 0;
  const int itemWidth = collectionControlItem_ ? collectionControlItem_->width() : 0;
  auto append = [&](bool used, QWidget* view) {
    if (!used || !view) return;
    views.append(view);
    width += itemWidth;
  };
  if (tool && toolsController_) {
    append(toolsController_->usingSize(), toolSizeSettingsBox_);
    append(toolsController_->usingRoundedRect(), roundedRectSettingsBox_);
    append(toolsController_->usingColor(), color1SettingsBox_);
    append(toolsController_->usingColor2(), color2SettingsBox_);
  }
  views_ = views;
  showViews();
  if (collectionViewToolbarItem_)
    collectionViewToolbarItem_->setMinimumSize(width, collectionViewToolbarItem_->minimumHeight());
  if (view_) view_->setFixedWidth(width);
}

// One item of the prototype's size per view, in order.
void IMCollectionViewController::showViews() {
  for (const QPointer<IMCollectionControlItem>& item : items_) {
    if (!item) continue;
    item->setControl(nullptr);
    delete item.data();
  }
  items_.clear();
  if (!view_) return;
  auto* layout = qobject_cast<QHBoxLayout*>(view_->layout());
  if (!layout) {
    layout = new QHBoxLayout(view_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
  }
  const QSize itemSize = collectionControlItem_ ? collectionControlItem_->size() : QSize();
  for (QWidget* control : views_) {
    auto* item = new IMCollectionControlItem(view_);
    item->setKeeper(collectionControlItem_);
    item->setFixedSize(itemSize);
    item->setControl(control);
    layout->addWidget(item);
    items_.append(item);
  }
}
