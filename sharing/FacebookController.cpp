#include "sharing/FacebookController.h"

#include <QFile>

#include "sharing/FBRequest.h"
#include "sharing/Facebook.h"

FacebookController::FacebookController(const QUrl& imageUrl, const QString& imageName,
                                       BeginUploadHandler beginUploadHandler,
                                       CompletionHandler completionHandler)
    : imageURL_(imageUrl),
      imageName_(imageName),
      beginUploadHandler_(std::move(beginUploadHandler)),
      completionHandler_(std::move(completionHandler)) {
  facebook()->authorize(std::nullopt, this);
}

FacebookController::~FacebookController() {
  if (!facebook_) return;
  if (facebook_->sessionDelegate() == this) facebook_->setSessionDelegate(nullptr);
  if (FBRequest* request = facebook_->request(); request && request->delegate() == this)
    request->setDelegate(nullptr);
}

std::shared_ptr<Facebook> FacebookController::facebook() {
  if (!facebook_) facebook_ = Facebook::initWithAppId(FacebookApplicationId);
  return facebook_;
}

bool FacebookController::respondsTo(FBRequestDelegate::Callback callback) const {
  return callback == RequestDidReceiveResponse || callback == RequestDidLoad ||
         callback == RequestDidFailWithError;
}

// A file that cannot be read, or no name, fails the posting rather than
// uploading a photo without its picture.
void FacebookController::uploadPhoto() {
  QFile file(imageURL_.toLocalFile());
  if (imageName_.isNull() || !imageURL_.isLocalFile() || !file.open(QIODevice::ReadOnly)) {
    complete(false);
    return;
  }
  QVariantMap params{{QStringLiteral("message"), imageName_},
                     {QStringLiteral("picture"), file.readAll()}};
  facebook()->requestWithMethodName(QStringLiteral("photos.upload"), params, QStringLiteral("POST"),
                                    this);
  if (beginUploadHandler_) beginUploadHandler_();
}

void FacebookController::fbDidLogin() { uploadPhoto(); }

void FacebookController::fbDidNotLogin(bool) { complete(false); }

// A reply that is not JSON is no proof the photo was posted.
void FacebookController::requestDidLoad(FBRequest*, const QVariant& result) {
  complete(result.typeId() != QMetaType::QByteArray);
}

void FacebookController::requestDidFailWithError(FBRequest*, const fnd::Error&) { complete(false); }

void FacebookController::complete(bool success) {
  CompletionHandler handler = std::move(completionHandler_);
  completionHandler_ = nullptr;
  if (handler) handler(success);
}
