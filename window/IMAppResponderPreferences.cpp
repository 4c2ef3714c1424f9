// The preferences window and the default font of text layers.
#include "appkit/ModalServices.h"
#include "graphics/AttributedString.h"
#include "graphics/Font.h"
#include "model/Settings.h"
#include "window/IMAppResponder.h"

IMPreferencesWindow* IMAppResponder::preferenceWindow() {
  if (!preferenceWindow_) {
    openImagesInZova();
    preferenceWindow_ = new IMPreferencesWindow(defaults_, this);
    preferenceWindow_->setDefaultFontAttributes(Settings::defaultFontAttributes());
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

// The panel starts on the default font with the default attributes it
// shows (the underline); each choice changes the font, then the attributes.
void IMAppResponder::showDefaultFontPanel(QObject*) {
  QFont font = Settings::defaultFont().toQFont();
  font.setUnderline(
      Settings::defaultFontAttributes().value(gfx::UnderlineStyleAttributeName).toInt() != 0);
  ui::ModalServices::shared().orderFrontFontPanel(font, [this](const QFont& chosen) {
    changeFont(chosen);
    changeAttributes([underline = chosen.underline()](QVariantMap attributes) {
      if (underline)
        attributes.insert(gfx::UnderlineStyleAttributeName, 1);
      else
        attributes.remove(gfx::UnderlineStyleAttributeName);
      return attributes;
    });
  });
}

void IMAppResponder::changeFont(const QFont& font) {
  const double size = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize();
  Settings::setDefaultFont(gfx::Font(font.family(), size, font.bold(), font.italic()));
  preferenceWindow()->showFont(Settings::defaultFont().toQFont());
}

void IMAppResponder::changeAttributes(
    const std::function<QVariantMap(const QVariantMap&)>& convertAttributes) {
  IMPreferencesWindow* window = preferenceWindow();
  const QVariantMap converted = convertAttributes(window->defaultFontAttributes());
  window->setDefaultFontAttributes(converted);
  Settings::setDefaultFontAttributes(converted);
}
