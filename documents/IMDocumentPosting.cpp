// Posting the document's image to the social network, and the command's
// validation: it needs an image and a network.
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryFile>

#include "appkit/MenuItem.h"
#include "appkit/ModalServices.h"
#include "appkit/WindowController.h"
#include "documents/IMDocument.h"
#include "documents/IMFacebookPosting.h"
#include "documents/IMWaitingSheetPresenter.h"
#include "foundation/Localized.h"
#include "foundation/UserDefaults.h"
#include "model/IMFoundationExtra.h"
#include "model/Image.h"
#include "sharing/FacebookController.h"
#include "sharing/Reachability.h"

namespace {

IMDocument::ReachabilityProvider& reachabilityProvider() {
  static IMDocument::ReachabilityProvider provider;
  return provider;
}

void showAlert(ui::AlertStyle style, const char* message, const char* informative,
               QWidget* window) {
  ui::AlertRequest alert;
  alert.style = style;
  alert.messageText = fnd::localized(message);
  alert.informativeText = fnd::localized(informative);
  alert.buttons = {fnd::localized("OK")};
  ui::ModalServices::shared().runAlert(alert, window);
}

// A file of its own for each posting, in the program's private folder, so
// two postings never write over each other's image.
QString newPostingFilePath() {
  const QString folder = Image::imagesCacheDirectoryPath();
  if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
  QTemporaryFile file(folder + QStringLiteral("/exportToFacebook-XXXXXX.png"));
  file.setAutoRemove(false);
  return file.open() ? file.fileName() : QString();
}

}  // namespace

IMFacebookPosting::~IMFacebookPosting() {
  controller.reset();
  removeImageFile();
}

void IMFacebookPosting::removeImageFile() {
  if (!imagePath.isEmpty()) QFile::remove(imagePath);
  imagePath.clear();
}

void IMDocument::setInternetReachabilityProvider(ReachabilityProvider provider) {
  reachabilityProvider() = std::move(provider);
}

int IMDocument::internetReachabilityStatus() {
  Reachability* reachability = reachabilityProvider() ? reachabilityProvider()() : nullptr;
  return reachability ? reachability->currentReachabilityStatus() : NotReachable;
}

FacebookController* IMDocument::facebookController() const {
  return facebookPosting_ ? facebookPosting_->controller.get() : nullptr;
}

bool IMDocument::validateUserInterfaceItem(const ui::UserInterfaceItem& item) {
  if (item.action() == QLatin1String("exportToFacebook:"))
    return !isEmpty() && internetReachabilityStatus() != NotReachable;
  return ui::PersistentDocument::validateUserInterfaceItem(item);
}

void IMDocument::exportToFacebook(QObject*) {
  QWidget* window = appropriateWindowForDocModalOperations();
  const QString path = newPostingFilePath();
  const bool keepsAlpha = savedFileKeepsAlpha();
  if (path.isEmpty() ||
      !savetoBitmapFileType(QStringLiteral("public.png"), QUrl::fromLocalFile(path), keepsAlpha)) {
    if (!path.isEmpty()) QFile::remove(path);
    showAlert(ui::AlertStyle::Critical, "Facebook image exportation failed",
              "Impossible to convert the image into a suitable image for exportation.", window);
    return;
  }
  auto posting = std::make_unique<IMFacebookPosting>();
  posting->imagePath = path;
  const std::shared_ptr<bool> completed = posting->completed;
  QPointer<IMDocument> self(this);
  facebookPosting_ = std::move(posting);
  auto begin = [self, completed] {
    performBlock(
        [self, completed] {
          if (*completed || !self) return;
          if (auto* sheet = dynamic_cast<IMWaitingSheetPresenter*>(self->windowController()))
            sheet->launchProgressBarIndicatorWindowWithMessage(
                fnd::localized("Uploading to Facebook. Please Wait…"));
        },
        2.0);
  };
  auto completion = [self, completed](bool success) {
    *completed = true;
    if (!self) return;
    self->facebookPosting_->removeImageFile();
    if (auto* sheet = dynamic_cast<IMWaitingSheetPresenter*>(self->windowController()))
      sheet->hideProgressBarIndicatorWindow();
    QWidget* window = self->appropriateWindowForDocModalOperations();
    if (success)
      showAlert(ui::AlertStyle::Informational, "Facebook export",
                "Image succesfully posted to facebook.", window);
    else
      showAlert(ui::AlertStyle::Critical, "Facebook export",
                "Facebook image exportation failed. Please try again later.", window);
  };
  facebookPosting_->controller = std::make_unique<FacebookController>(
      QUrl::fromLocalFile(path), displayName(), begin, completion);
}
