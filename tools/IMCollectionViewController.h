#pragma once

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "tools/IMCollectionControlItem.h"

class IMTool;
class IMToolsController;
class Settings;

// The tool settings strip beside the tool chooser: it shows, one item each
// and in this order, the size, corner, colour 1 and colour 2 settings the
// current tool uses, and is exactly as wide as its items.
class IMCollectionViewController {
 public:
  IMCollectionViewController();
  ~IMCollectionViewController();
  IMCollectionViewController(const IMCollectionViewController&) = delete;
  IMCollectionViewController& operator=(const IMCollectionViewController&) = delete;

  static QStringList exposedBindings() { return {QStringLiteral("tool")}; }

  // Builds the strip's views into `container` (the place in the window that
  // holds it) for the window of `toolsController`, as the window's
  // interface would: the setting views bound to the window's settings and
  // the strip following the current tool.
  static std::unique_ptr<IMCollectionViewController> loadIntoContainer(
      QWidget* container, IMToolsController* toolsController);

  IMTool* tool() const { return tool_; }
  // Shows the settings `tool` uses; null shows none.
  void setTool(IMTool* tool);
  const QList<QWidget*>& views() const { return views_; }
  // Binds the strip to the tools controller's current tool.
  void awakeFromNib();

  // ---- Outlets ----
  QWidget* view() const { return view_; }
  void setView(QWidget* view) { view_ = view; }
  QWidget* toolSizeSettingsBox() const { return toolSizeSettingsBox_; }
  void setToolSizeSettingsBox(QWidget* box) { toolSizeSettingsBox_ = box; }
  QWidget* roundedRectSettingsBox() const { return roundedRectSettingsBox_; }
  void setRoundedRectSettingsBox(QWidget* box) { roundedRectSettingsBox_ = box; }
  QWidget* color1SettingsBox() const { return color1SettingsBox_; }
  void setColor1SettingsBox(QWidget* well) { color1SettingsBox_ = well; }
  QWidget* color2SettingsBox() const { return color2SettingsBox_; }
  void setColor2SettingsBox(QWidget* well) { color2SettingsBox_ = well; }
  IMToolsController* toolsController() const { return toolsController_; }
  void setToolsController(IMToolsController* controller) { toolsController_ = controller; }
  // The prototype item: every item has its size.
  IMCollectionControlItem* collectionControlItem() const { return collectionControlItem_; }
  void setCollectionControlItem(IMCollectionControlItem* item) { collectionControlItem_ = item; }
  // What holds the strip in the window; its minimum width follows the strip.
  QWidget* collectionViewToolbarItem() const { return collectionViewToolbarItem_; }
  void setCollectionViewToolbarItem(QWidget* item) { collectionViewToolbarItem_ = item; }

 private:
  void showViews();
  void bindSettingViews();
  void unbind();

  IMTool* tool_ = nullptr;
  QList<QWidget*> views_;
  QPointer<QWidget> view_;
  QPointer<QWidget> toolSizeSettingsBox_;
  QPointer<QWidget> roundedRectSettingsBox_;
  QPointer<QWidget> color1SettingsBox_;
  QPointer<QWidget> color2SettingsBox_;
  IMToolsController* toolsController_ = nullptr;
  QPointer<IMCollectionControlItem> collectionControlItem_;
  QPointer<QWidget> collectionViewToolbarItem_;
  QList<QPointer<IMCollectionControlItem>> items_;
  std::weak_ptr<Settings> boundSettings_;
  bool bound_ = false;
};
