#pragma once

#include <QVariantMap>
#include <QWidget>

#include "appkit/Responder.h"

class QCheckBox;
class QLabel;

namespace fnd {
class UserDefaults;
}

// The preferences window: the default font of new text layers, shown in
// itself, and whether image files of other formats open as layered
// documents. As a responder it passes the font panel's messages on to the
// application delegate.
class IMPreferencesWindow : public QWidget, public ui::Responder {
  Q_OBJECT

 public:
  IMPreferencesWindow(fnd::UserDefaults& defaults, ui::Responder* next, QWidget* parent = nullptr);

  QLabel* fontPreview() const { return fontPreview_; }
  QCheckBox* openImagesInZovaBox() const { return openImagesInZova_; }
  // Shows the font in the preview, named by its family and size.
  void showFont(const QFont& font);
  // The text attributes the preview shows over its whole text (the font
  // aside): colour, background and underline are drawn, the rest is kept.
  QVariantMap defaultFontAttributes() const { return previewAttributes_; }
  void setDefaultFontAttributes(const QVariantMap& attributes);

 private:
  fnd::UserDefaults& defaults_;
  QLabel* fontPreview_;
  QCheckBox* openImagesInZova_;
  QVariantMap previewAttributes_;
};
