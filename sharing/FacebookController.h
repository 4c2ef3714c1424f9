// Posts one image file as a photo: opens the login sheet through a fresh
// session and, once the user has logged in, uploads the file with the REST
// method "photos.upload". Its creator hears when the upload has been sent
// off and, once, how the posting ended.
#pragma once

#include <QUrl>
#include <functional>
#include <memory>

#include "sharing/FBRequestDelegate.h"
#include "sharing/FBSessionDelegate.h"

class Facebook;
class FBRequest;

inline const QString FacebookApplicationId = QStringLiteral("507218364920153");

class FacebookController : public FBSessionDelegate, public FBRequestDelegate {
 public:
  using BeginUploadHandler = std::function<void()>;
  using CompletionHandler = std::function<void(bool success)>;

  // Keeps the values and starts the login at once.
  FacebookController(const QUrl& imageUrl, const QString& imageName,
                     BeginUploadHandler beginUploadHandler, CompletionHandler completionHandler);
  // The session may outlive the controller (its login sheet holds it): it
  // and its request are told to forget the controller.
  ~FacebookController() override;

  std::shared_ptr<Facebook> facebook();
  QUrl imageURL() const { return imageURL_; }
  QString imageName() const { return imageName_; }
  FBRequest* request() const { return request_; }
  void setRequest(FBRequest* request) { request_ = request; }
  QString profileId() const { return profileId_; }
  void setProfileId(const QString& profileId) { profileId_ = profileId; }

  void uploadPhoto();

  // FBSessionDelegate
  bool respondsTo(FBSessionDelegate::Callback) const override { return true; }
  void fbDidLogin() override;
  void fbDidNotLogin(bool cancelled) override;
  void fbDidLogout() override {}

  // FBRequestDelegate
  bool respondsTo(FBRequestDelegate::Callback callback) const override;
  void requestDidReceiveResponse(FBRequest*, const net::HTTPURLResponse&) override {}
  void requestDidLoad(FBRequest*, const QVariant& result) override;
  void requestDidFailWithError(FBRequest*, const fnd::Error& error) override;

 private:
  void complete(bool success);

  std::shared_ptr<Facebook> facebook_;
  QUrl imageURL_;
  QString imageName_;
  BeginUploadHandler beginUploadHandler_;
  CompletionHandler completionHandler_;
  FBRequest* request_ = nullptr;
  QString profileId_;
};
