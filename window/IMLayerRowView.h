#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "graphics/Image.h"

class QLabel;
class QLineEdit;

// One row of the layers panel: the layer's thumbnail on a checkerboard and
// its name, edited in place; an edit is handed back when it ends.
class IMLayerRowView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kThumbnailWidth = 56, kThumbnailHeight = 40;

  explicit IMLayerRowView(QWidget* parent = nullptr);

  void setThumbnail(const gfx::ImagePtr& preview);
  void setName(const QString& name);
  QString name() const;
  // Called with the new name when the user finishes editing it.
  void setNameEdited(std::function<void(const QString&)> handler);
  QLineEdit* nameField() const { return name_; }
  // The thumbnail's pixels, as shown.
  QImage thumbnailImage() const { return thumbnail_; }

  // The preview drawn into a thumbnail-sized bitmap, aspect kept.
  static QImage renderThumbnail(const gfx::ImagePtr& preview, QSize size);

 private:
  QLabel* thumbnailLabel_;
  QLineEdit* name_;
  QImage thumbnail_;
  std::function<void(const QString&)> nameEdited_;
};
