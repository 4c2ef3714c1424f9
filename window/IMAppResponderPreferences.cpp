// The preferences window and the default font of text layers.
#include "appkit/ModalServices.h"
#include "graphics/Font.h"
#include "model/Settings.h"
#include "window/IMAppResponder.h"

IMPreferencesWindow* IMAppResponder::preferenceWindow() {
  if (!preferenceWindow_) {
    openImagesInZova();
    preferenceWindow_ = new IMPreferencesWindow(defaults_, this);
    preferenceWindow_->showFont(Settings::defaultFont().toQFont());
  }
  return preferenceWindow_;
}

void IMAppResponder::showPreferences(QObject*) {
  IMPreferencesWindow* window = preferenceWindow();
  window->show();
  window->raise();
  window->activateWindow();
}

void IMAppResponder::showDefaultFontPanel(QObject*) {
  ui::ModalServices::shared().orderFrontFontPanel(Settings::defaultFont().toQFont(),
                                                  [this](const QFont& font) { changeFont(font); });
}

void IMAppResponder::changeFont(const QFont& font) {
  const double size = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize();
  Settings::setDefaultFont(gfx::Font(font.family(), size, font.bold(), font.italic()));
  preferenceWindow()->showFont(Settings::defaultFont().toQFont());
}
