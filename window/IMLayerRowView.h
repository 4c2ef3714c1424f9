#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "graphics/Image.h"

class QLabel;
class QLineEdit;

// One row of the layers panel: whether the layer shows, its thumbnail on a
// checkerboard and its name. The name is renamed in place as in desktop
// lists: a click on an unselected row selects it; a click on the name of
// the selected row begins a rename (unless it turns into a double click);
// Return or leaving the field ends the rename and hands the name back,
// Escape cancels it.
class IMLayerRowView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kThumbnailWidth = 56, kThumbnailHeight = 40, kEyeWidth = 18;

  explicit IMLayerRowView(QWidget* parent = nullptr);

  void setThumbnail(const gfx::ImagePtr& preview);
  void setName(const QString& name);
  QString name() const;
  // Hidden layers show a closed eye, a faded thumbnail and a greyed name.
  void setLayerVisible(bool visible);
  bool isLayerVisible() const { return layerVisible_; }
  // Called with the new name when the user finishes editing it.
  void setNameEdited(std::function<void(const QString&)> handler);
  QLineEdit* nameField() const { return name_; }
  QLabel* eyeView() const { return eye_; }
  // The thumbnail's pixels, as shown (at the screen's scale).
  QImage thumbnailImage() const { return thumbnail_; }

  // Renaming: begins with the name selected; cancel restores it.
  void beginEditing();
  void cancelEditing();
  bool isEditing() const { return editing_; }

  // The preview drawn into a thumbnail-sized bitmap, aspect kept, with
  // `scale` device pixels per point.
  static QImage renderThumbnail(const gfx::ImagePtr& preview, QSize size, double scale = 1);
  // The eye of a visible or a hidden layer, `scale` device pixels per point.
  static QPixmap eyePixmap(bool open, const QColor& color, double scale);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Whether the table this row is in has this row selected.
  bool isRowSelected() const;
  void endEditing(bool commit);
  void showLook();

  QLabel* eye_;
  QLabel* thumbnailLabel_;
  QLineEdit* name_;
  QImage thumbnail_;
  gfx::ImagePtr preview_;
  QString shownName_;
  bool layerVisible_ = true;
  bool editing_ = false;
  // A click on the selected row's name waits out a double click before the
  // rename begins.
  bool renameArmed_ = false;
  QPoint pressPosition_;
  QTimer renameTimer_;
  std::function<void(const QString&)> nameEdited_;
};
