#include "window/IMLayerRowView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <cmath>

#include "graphics/GraphicsContext.h"

IMLayerRowView::IMLayerRowView(QWidget* parent)
    : QWidget(parent), thumbnailLabel_(new QLabel(this)), name_(new QLineEdit(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(6);
  thumbnailLabel_->setFixedSize(kThumbnailWidth, kThumbnailHeight);
  layout->addWidget(thumbnailLabel_);
  name_->setFrame(false);
  name_->setAttribute(Qt::WA_MacShowFocusRect, false);
  name_->setStyleSheet(QStringLiteral("background: transparent"));
  layout->addWidget(name_, 1);
  connect(name_, &QLineEdit::editingFinished, this, [this] {
    if (nameEdited_) nameEdited_(name_->text());
  });
  setThumbnail(nullptr);
}

QImage IMLayerRowView::renderThumbnail(const gfx::ImagePtr& preview, QSize size) {
  QImage result(size, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&result);
  const int cell = 5;
  for (int y = 0; y < size.height(); y += cell)
    for (int x = 0; x < size.width(); x += cell)
      painter.fillRect(x, y, cell, cell, ((x + y) / cell) % 2 ? QColor(204, 204, 204) : Qt::white);
  const QSizeF source = preview ? preview->size() : QSizeF();
  if (source.isEmpty()) return result;
  auto context = gfx::GraphicsContext::bitmapContext(int(std::ceil(source.width())),
                                                     int(std::ceil(source.height())));
  if (!context) return result;
  {
    gfx::CurrentContextScope scope(context.get());
    preview->drawAtPoint(QPointF(0, 0), {}, gfx::CompositingOperation::Copy, 1.0);
  }
  const QImage pixels =
      context->bitmap()->scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  painter.drawImage((size.width() - pixels.width()) / 2, (size.height() - pixels.height()) / 2,
                    pixels);
  painter.setPen(QColor(0, 0, 0, 80));
  painter.drawRect(result.rect().adjusted(0, 0, -1, -1));
  return result;
}

void IMLayerRowView::setThumbnail(const gfx::ImagePtr& preview) {
  thumbnail_ = renderThumbnail(preview, {kThumbnailWidth, kThumbnailHeight});
  thumbnailLabel_->setPixmap(QPixmap::fromImage(thumbnail_));
}

void IMLayerRowView::setName(const QString& name) {
  if (name_->text() != name) name_->setText(name);
}

QString IMLayerRowView::name() const { return name_->text(); }

void IMLayerRowView::setNameEdited(std::function<void(const QString&)> handler) {
  nameEdited_ = std::move(handler);
}
