// A sheet to pick a picture: a file chosen with the open panel or one of
// the pictures picked before, cut to a square the user places and sizes
// over it, with an optional effect. The picture comes out as the square.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QSlider;

namespace fnd {
class UserDefaults;
}

namespace ui {

class PictureTakerCropView;

class PictureTaker : public QDialog {
  Q_OBJECT

 public:
  // The effects offered when showsEffects is on, in the menu's order.
  enum class Effect { None, Mono, Sepia, Invert, Posterize };

  explicit PictureTaker(QWidget* parent = nullptr);
  ~PictureTaker() override;

  // The picture shown first, read only when the sheet opens; a missing
  // file leaves the most recent picture instead.
  void setInputImagePath(const QString& path);
  QString inputImagePath() const { return inputPath_; }
  bool showsEffects() const { return showsEffects_; }
  void setShowsEffects(bool shows);

  // Window-modal on `window`: returns at once; `didEnd` gets 1 (OK) or 0.
  void beginPictureTakerSheetForWindow(QWidget* window, std::function<void(long)> didEnd);

  // Reads `path` into the taker; false, with the reason shown in the sheet,
  // when it is no readable picture (the current picture stays).
  bool choosePictureAtPath(const QString& path);
  // The open panel, then choosePictureAtPath.
  void chooseFile();
  QString currentPath() const { return currentPath_; }
  QString errorText() const;

  // The square over the picture, in its pixels; the whole side by default.
  QRect cropRect() const;
  // 1 is the largest square; larger values make it smaller about its centre.
  void setCropZoom(double zoom);
  // Moves the square by `delta` picture pixels, kept inside the picture.
  void moveCrop(const QPointF& delta);
  void setEffect(Effect effect);
  Effect effect() const { return effect_; }

  // The square with its effect; null before a picture was chosen.
  QImage outputImage() const;

  // The pictures picked before, newest first (at most kMaxRecent).
  static QStringList recentPictures(const fnd::UserDefaults& defaults);
  static constexpr int kMaxRecent = 8;
  static void setUserDefaults(fnd::UserDefaults* defaults);

  // The largest square at `zoom` centred on `centre`, inside `size`.
  static QRect squareIn(const QSize& size, double zoom, const QPointF& centre);
  static QImage applyEffect(const QImage& image, Effect effect);

 private:
  void build();
  void fillRecents();
  void remember(const QString& path);
  void showError(const QString& text);
  void refresh();
  fnd::UserDefaults& defaults() const;

  QString inputPath_;
  QString currentPath_;
  bool showsEffects_ = false;
  QImage picture_;
  double cropZoom_ = 1;
  QPointF cropCentre_;
  Effect effect_ = Effect::None;
  std::function<void(long)> didEnd_;
  PictureTakerCropView* cropView_ = nullptr;
  QListWidget* recents_ = nullptr;
  QComboBox* effects_ = nullptr;
  QLabel* effectsLabel_ = nullptr;
  QSlider* zoomSlider_ = nullptr;
  QLabel* error_ = nullptr;
};

}  // namespace ui
