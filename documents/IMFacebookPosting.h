// One posting of a document's image: the controller that logs in and
// uploads, and the file the image was written to for it, which goes when
// the posting ends or is replaced.
#pragma once

#include <QString>
#include <memory>

class FacebookController;

struct IMFacebookPosting {
  ~IMFacebookPosting();
  void removeImageFile();

  std::unique_ptr<FacebookController> controller;
  QString imagePath;
  // Set by the outcome, so a waiting sheet due later is never shown.
  std::shared_ptr<bool> completed = std::make_shared<bool>(false);
};
