// What the window's interface holds for the tool settings strip: the
// setting views, each bound both ways to the window's settings, the
// prototype item, and the strip inside its place in the window.
#include <QHBoxLayout>

#include "foundation/Localized.h"
#include "model/ComposedImage.h"
#include "model/Settings.h"
#include "tools/IMCollectionControlItem.h"
#include "tools/IMCollectionViewController.h"
#include "tools/IMSettingsColorWell.h"
#include "tools/IMSettingsNumberBox.h"
#include "tools/IMToolsController.h"

namespace {

const QSize kItemSize(120, 30);

}  // namespace

std::unique_ptr<IMCollectionViewController> IMCollectionViewController::loadIntoContainer(
    QWidget* container, IMToolsController* toolsController) {
  auto controller = std::make_unique<IMCollectionViewController>();
  if (!container) return controller;
  auto* row = qobject_cast<QHBoxLayout*>(container->layout());
  if (!row) {
    row = new QHBoxLayout(container);
    row->setContentsMargins(0, 0, 0, 0);
  }
  auto* strip = new QWidget(container);
  strip->setObjectName(QStringLiteral("toolSettingsStrip"));
  row->addWidget(strip);
  auto* prototype = new IMCollectionControlItem(container);
  prototype->resize(kItemSize);
  prototype->hide();

  auto* size = new IMSettingsNumberBox(fnd::localized("Size"), 0.1, 500, prototype);
  size->setObjectName(QStringLiteral("toolSizeSettingsBox"));
  auto* radius = new IMSettingsNumberBox(fnd::localized("Corner"), 0, 500, prototype);
  radius->setObjectName(QStringLiteral("roundedRectSettingsBox"));
  auto* color1 = new IMSettingsColorWell(fnd::localized("Color 1"), prototype);
  color1->setObjectName(QStringLiteral("color1SettingsBox"));
  auto* color2 = new IMSettingsColorWell(fnd::localized("Color 2"), prototype);
  color2->setObjectName(QStringLiteral("color2SettingsBox"));
  for (QWidget* view : {static_cast<QWidget*>(size), static_cast<QWidget*>(radius),
                        static_cast<QWidget*>(color1), static_cast<QWidget*>(color2)})
    view->hide();

  controller->setView(strip);
  controller->setCollectionControlItem(prototype);
  controller->setCollectionViewToolbarItem(container);
  controller->setToolSizeSettingsBox(size);
  controller->setRoundedRectSettingsBox(radius);
  controller->setColor1SettingsBox(color1);
  controller->setColor2SettingsBox(color2);
  controller->setToolsController(toolsController);
  controller->awakeFromNib();
  return controller;
}

// The views show the settings' values as they change and write back what
// the user sets.
void IMCollectionViewController::bindSettingViews() {
  ComposedImage* image = toolsController_ ? toolsController_->composedImage() : nullptr;
  std::shared_ptr<Settings> settings = image ? image->settings() : nullptr;
  if (!settings) return;
  boundSettings_ = settings;
  std::weak_ptr<Settings> weak = settings;
  auto* size = dynamic_cast<IMSettingsNumberBox*>(toolSizeSettingsBox_.data());
  auto* radius = dynamic_cast<IMSettingsNumberBox*>(roundedRectSettingsBox_.data());
  auto* color1 = dynamic_cast<IMSettingsColorWell*>(color1SettingsBox_.data());
  auto* color2 = dynamic_cast<IMSettingsColorWell*>(color2SettingsBox_.data());
  auto show = [=, views = QList<QPointer<QWidget>>{size, radius, color1, color2}] {
    std::shared_ptr<Settings> s = weak.lock();
    if (!s) return;
    if (views[0]) size->setValue(s->pencilSize());
    if (views[1]) radius->setValue(s->roundedCornerRadius());
    if (views[2]) color1->setColor(s->color1());
    if (views[3]) color2->setColor(s->color2());
  };
  for (const char* key : {"pencilSize", "roundedCornerRadius", "color1", "color2"})
    settings->addObserver(
        QString::fromLatin1(key), fnd::ObservingNew,
        [show](fnd::Observable*, const QString&, const fnd::KeyValueChange&) { show(); }, this);
  show();
  if (size)
    size->setValueChangedHandler([weak](double value) {
      if (auto s = weak.lock()) s->setPencilSize(value);
    });
  if (radius)
    radius->setValueChangedHandler([weak](double value) {
      if (auto s = weak.lock()) s->setRoundedCornerRadius(value);
    });
  if (color1)
    color1->setColorChosenHandler([weak](const QColor& color) {
      if (auto s = weak.lock()) s->setColor1(color);
    });
  if (color2)
    color2->setColorChosenHandler([weak](const QColor& color) {
      if (auto s = weak.lock()) s->setColor2(color);
    });
}
