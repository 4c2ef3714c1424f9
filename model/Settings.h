// The editing settings of one document window: the two colours, brush size,
// font and text attributes, corner radius of rounded shapes, view zoom and
// whether the layers and filters panels show. Not stored in the document:
// the window archives it with its restorable state. Every value gets its
// default on first read (some from user defaults, written back when
// missing), and every change, default fills included, is reported to the
// delegate.
#pragma once

#include <QColor>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

#include "foundation/Coding.h"
#include "foundation/Observable.h"
#include "graphics/Font.h"
#include "model/SettingsDelegate.h"

namespace fnd {
class KeyedUnarchiver;
}

class Settings : public fnd::Observable, public fnd::Coding {
 public:
  Settings() = default;
  // Decodes the archive keys in order through the setters; missing object
  // keys stay unset until first read.
  explicit Settings(fnd::KeyedUnarchiver& coder);
  static std::shared_ptr<Settings> initWithCoder(fnd::KeyedUnarchiver& coder);
  // Makes unarchivers read "Settings" entries (and the colours and fonts in
  // them); idempotent.
  static void registerClass();

  // ---- User defaults ----
  static QColor defaultColor();
  // "Lucida Grande" at 40 points where installed; a stored or default
  // family missing here falls back to the default sans-serif at its size.
  static gfx::Font defaultFont();
  static QVariantMap defaultFontAttributes();
  static void setDefaultFont(const gfx::Font& font);
  static void setDefaultFontAttributes(const QVariantMap& attributes);
  static bool mustHideLayersAtWindowOpening();
  static bool mustHideFiltersAtWindowOpening();
  static QColor drawingGridColor();
  static double drawingGridSize();

  // ---- Properties ----
  QVariant layersUIVisibleNumber();
  void setLayersUIVisibleNumber(const QVariant& number);
  bool layersUIVisible();
  void setLayersUIVisible(bool visible);
  QVariant filtersUIVisibleNumber();
  void setFiltersUIVisibleNumber(const QVariant& number);
  bool filtersUIVisible();
  void setFiltersUIVisible(bool visible);
  QColor color1();
  void setColor1(const QColor& color);
  QColor color2();
  void setColor2(const QColor& color);
  gfx::Font font();
  void setFont(const gfx::Font& font);
  QVariantMap textAttributes();
  void setTextAttributes(const QVariantMap& attributes);
  double roundedCornerRadius() const { return roundedCornerRadius_; }
  void setRoundedCornerRadius(double radius);
  QVariant zoomNumber();
  void setZoomNumber(const QVariant& number);
  double zoom();
  void setZoom(double zoom);
  QVariant pencilSizeNumber();
  void setPencilSizeNumber(const QVariant& number);
  double pencilSize();
  void setPencilSize(double size);

  // Not owned; the window controller clears it before it goes away.
  SettingsDelegate* delegate() const { return delegate_; }
  void setDelegate(SettingsDelegate* delegate) { delegate_ = delegate; }

  // ---- Coding and observation ----
  QString archiveClassName() const override { return QStringLiteral("Settings"); }
  // Reads every value through its getter, filling defaults first.
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
  // The stored value, without filling a default.
  QVariant valueForKey(const QString& key) const override;
  void didChangeValueForKey(const QString& key) override;

 private:
  // Announces `keys` around `store`, will in order, then did in order.
  void changeValues(const QStringList& keys, const std::function<void()>& store);

  QVariant layersUIVisibleNumber_;
  QVariant filtersUIVisibleNumber_;
  std::optional<QColor> color1_;
  std::optional<QColor> color2_;
  std::optional<gfx::Font> font_;
  std::optional<QVariantMap> textAttributes_;
  double roundedCornerRadius_ = 0;
  QVariant zoomNumber_;
  QVariant pencilSizeNumber_;
  SettingsDelegate* delegate_ = nullptr;
  // The archiver tells objects apart by address without keeping them, so
  // the parts written for one archive live as long as this object does:
  // a freed part's address reused by the next would be taken for it.
  mutable QVariantList archivedParts_;
};
