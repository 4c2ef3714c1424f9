#pragma once

#include "appkit/DocumentController.h"

class IMDocument;

// The program's document controller: native stores are checked before they
// open, other image files become new layered documents (or documents of
// their own type), a lone untouched window gives way to the opened file,
// and a new document can be made from the pasteboard's image.
class IMDocumentController : public ui::DocumentController {
  Q_OBJECT

 public:
  IMDocumentController();

  std::unique_ptr<ui::Document> makeDocumentWithContentsOfURL(const QUrl& url,
                                                              const QString& typeName,
                                                              fnd::Error* error) override;
  void newDocumentFromPasteboard(QObject* sender);
  bool validateUserInterfaceItem(const ui::UserInterfaceItem& item) override;

  // The user default "IMOpenImagesInZova", on unless turned off.
  static bool openImagesInZova();
  // Whether the general pasteboard holds an image.
  static bool pasteboardHasImage();

 private:
  IMDocument* loneEmptyDocument() const;
};
