// The document window's commands on its layers and panels, the pictures it
// adds, its sharing, and their rows of the validation table.
#include <QFileInfo>
#include <QToolButton>

#include "appkit/PictureTaker.h"
#include "appkit/SharingServicePicker.h"
#include "appkit/ToolbarItem.h"
#include "appkit/Window.h"
#include "documents/IMDocument.h"
#include "foundation/Localized.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTemplateImages.h"
#include "window/IMWindowController.h"

namespace {

const QString kSharingToolbarItem = QStringLiteral("SharingToolbarItem");
// The posting command of the document, when the sharing library gave it one.
const QString kPostingAction = QStringLiteral("exportToFacebook:");
// The picture the taker shows first when the user picked none before.
const QString kDefaultPicture = QStringLiteral("/usr/share/backgrounds/default.png");

}  // namespace

void IMWindowController::addWindowActions() {
  IMLayersArrayController* layers = layersController_.get();
  addAction("mergeLayers:", [layers](QObject*) { layers->merge(); });
  addAction("selectedLayersUp:", [layers](QObject*) { layers->selectedLayersUp(); });
  addAction("selectedLayersDown:", [layers](QObject*) { layers->selectedLayersDown(); });
  addAction("selectedLayersLeft:", [layers](QObject*) { layers->selectedLayersLeft(); });
  addAction("selectedLayersRight:", [layers](QObject*) { layers->selectedLayersRight(); });
  addAction("hideLayers:", [this](QObject*) { hideLayersAction(); });
  addAction("hideFilters:", [this](QObject*) { hideFiltersAction(); });
  addAction("changeListsUIVisibility:", [this](QObject* s) { changeListsUIVisibility(s); });
  addAction("addImageWithImagePicker:", [this](QObject*) { addImageWithImagePicker(); });
  addAction("shareDocument:", [this](QObject* s) { shareDocument(s); });
  addAction("adjustWindowForMaximumVisibleRect:",
            [this](QObject*) { adjustWindowForMaximumVisibleRect(); });
}

// First match wins; the actions of other rows are not this table's.
bool IMWindowController::validateWindowActionItem(const QString& action, bool& enabled) {
  const bool selected = layersController_->atLeastOneLayerSelected();
  if (action == "mergeLayers:") {
    enabled = layersController_->arrangedObjects().size() > 1;
  } else if (action == "selectedLayersUp:" || action == "selectedLayersDown:" ||
             action == "selectedLayersLeft:" || action == "selectedLayersRight:") {
    enabled = selected;
  } else if (action == "revertDocumentToSaved:") {
    enabled = document() && document()->isDocumentEdited();
  } else if (action == "adjustWindowForMaximumVisibleRect:") {
    enabled = !isInFullScreenMode();
  } else {
    return false;
  }
  return true;
}

// Without a selected layer the image goes on top.
void IMWindowController::addImage(const gfx::ImagePtr& image) {
  if (!image) return;
  const fnd::IndexSet indexes = layersController_->selectionIndexes();
  const int first = indexes.isEmpty() ? 0 : indexes.firstIndex();
  const int count = int(layersController_->arrangedObjects().size());
  layersController_->addLayerAndImage(image, QString(), unsigned(std::clamp(first, 0, count)),
                                      true);
}

void IMWindowController::addImageWithImagePicker() {
  if (!isWindowLoaded()) return;
  if (!pictureTaker_) pictureTaker_ = new ui::PictureTaker(window());
  pictureTaker_->setInputImagePath(kDefaultPicture);
  pictureTaker_->setShowsEffects(true);
  QPointer<ui::PictureTaker> taker = pictureTaker_;
  std::weak_ptr<int> alive = alive_;
  pictureTaker_->beginPictureTakerSheetForWindow(window(), [this, taker, alive](long code) {
    if (!alive.expired() && taker) pictureTakerDidEnd(taker, code);
  });
}

void IMWindowController::pictureTakerDidEnd(ui::PictureTaker* taker, long returnCode) {
  if (returnCode != 1 || !taker) return;
  const QImage picture = taker->outputImage();
  if (picture.isNull()) return;
  addImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(picture)));
}

bool IMWindowController::hasSharingServices() const {
  if (!ui::SharingServicePicker::registeredServices().isEmpty()) return true;
  return document() && document()->respondsToAction(kPostingAction);
}

// The flattened image goes to the service the user picks.
void IMWindowController::shareDocument(QObject* sender) {
  if (!hasSharingServices()) return;
  ComposedImage* image = composedImage();
  gfx::ImagePtr flat = image ? image->finalImageKeepAlpha(true) : nullptr;
  if (!flat) return;
  sharingServicePicker_ = std::make_unique<ui::SharingServicePicker>(QList<gfx::ImagePtr>{flat});
  if (ui::Document* doc = document(); doc && doc->respondsToAction(kPostingAction)) {
    QPointer<QObject> from = sender;
    sharingServicePicker_->addService(
        {kPostingAction, fnd::localized("Post to Facebook"),
         [doc = QPointer<ui::Document>(doc), from](const QList<gfx::ImagePtr>&) {
           if (doc) doc->tryToPerform(kPostingAction, from);
         }});
  }
  auto* view = qobject_cast<QWidget*>(sender);
  if (!view && toolbar_)
    for (ui::ToolbarItem* item : toolbar_->items())
      if (item->itemIdentifier() == kSharingToolbarItem && item->view()) view = item->view();
  sharingServicePicker_->showRelativeToRect({}, view, 1);
}

// The sharing button opens its menu as it is pressed; a toolbar holds one.
std::unique_ptr<ui::ToolbarItem> IMWindowController::sharingToolbarItem(ui::Toolbar* toolbar) {
  for (ui::ToolbarItem* item : toolbar->items())
    if (item->itemIdentifier() == kSharingToolbarItem) return nullptr;
  auto item = std::make_unique<ui::ToolbarItem>(kSharingToolbarItem);
  item->setLabel(fnd::localized("Share"));
  item->setToolTip(fnd::localized("Share"));
  item->setVisibilityPriority(2000);
  auto* button = new QToolButton;
  button->setObjectName("sharingToolbarButton");
  button->setIcon(
      IMTemplateImages::themeIcon(QStringLiteral("emblem-shared"), QStringLiteral("add")));
  button->setToolTip(fnd::localized("Share"));
  connect(button, &QToolButton::pressed, this,
          [this, button] { tryToPerform(QStringLiteral("shareDocument:"), button); });
  item->setView(button);
  return item;
}
