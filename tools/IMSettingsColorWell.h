#pragma once

#include <QColor>
#include <QWidget>
#include <functional>

// A colour well of the tool settings strip: shows a colour and, when
// clicked, opens the colour panel; each colour the user picks there is
// shown and reported.
class IMSettingsColorWell : public QWidget {
 public:
  explicit IMSettingsColorWell(const QString& title, QWidget* parent = nullptr);

  QColor color() const { return color_; }
  // Shows `color` without reporting it.
  void setColor(const QColor& color);
  void setColorChosenHandler(std::function<void(const QColor&)> handler) {
    chosen_ = std::move(handler);
  }
  // Opens the colour panel on the well's colour.
  void activate();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString title_;
  QColor color_ = Qt::black;
  std::function<void(const QColor&)> chosen_;
};
