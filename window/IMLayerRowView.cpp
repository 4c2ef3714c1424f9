#include "window/IMLayerRowView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleHints>
#include <cmath>

#include "foundation/Localized.h"
#include "graphics/GraphicsContext.h"

namespace {

constexpr int kEyeHeight = 14;
// How much of a hidden layer's thumbnail shows.
constexpr double kHiddenOpacity = 0.35;

}  // namespace

IMLayerRowView::IMLayerRowView(QWidget* parent)
    : QWidget(parent),
      eye_(new QLabel(this)),
      thumbnailLabel_(new QLabel(this)),
      name_(new QLineEdit(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(6);
  eye_->setFixedSize(kEyeWidth, kEyeHeight);
  layout->addWidget(eye_);
  thumbnailLabel_->setFixedSize(kThumbnailWidth, kThumbnailHeight);
  layout->addWidget(thumbnailLabel_);
  name_->setFrame(false);
  name_->setAttribute(Qt::WA_MacShowFocusRect, false);
  name_->installEventFilter(this);
  layout->addWidget(name_, 1);
  connect(name_, &QLineEdit::editingFinished, this, [this] {
    // Return, or the field losing its focus: the rename ends.
    editing_ = false;
    showLook();
    if (nameEdited_ && name_->text() != shownName_) nameEdited_(name_->text());
  });
  renameTimer_.setSingleShot(true);
  connect(&renameTimer_, &QTimer::timeout, this, [this] {
    const bool armed = renameArmed_;
    renameArmed_ = false;
    if (armed && isRowSelected()) beginEditing();
  });
  showLook();
  setThumbnail(nullptr);
}

// ---- Thumbnail ----

QImage IMLayerRowView::renderThumbnail(const gfx::ImagePtr& preview, QSize size, double scale) {
  scale = scale > 0 ? scale : 1;
  const QSize pixels(int(std::lround(size.width() * scale)),
                     int(std::lround(size.height() * scale)));
  QImage result(pixels, QImage::Format_ARGB32_Premultiplied);
  result.setDevicePixelRatio(scale);
  QPainter painter(&result);
  const int cell = 5;
  for (int y = 0; y < size.height(); y += cell)
    for (int x = 0; x < size.width(); x += cell)
      painter.fillRect(x, y, cell, cell, ((x + y) / cell) % 2 ? QColor(204, 204, 204) : Qt::white);
  const QSizeF source = preview ? preview->size() : QSizeF();
  if (!source.isEmpty()) {
    auto context = gfx::GraphicsContext::bitmapContext(int(std::ceil(source.width())),
                                                       int(std::ceil(source.height())));
    if (context) {
      {
        gfx::CurrentContextScope scope(context.get());
        preview->drawAtPoint(QPointF(0, 0), {}, gfx::CompositingOperation::Copy, 1.0);
      }
      // Scaled to device pixels, so the thumbnail is sharp on dense screens.
      QImage scaled =
          context->bitmap()->scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
      scaled.setDevicePixelRatio(scale);
      const QSizeF shown = QSizeF(scaled.size()) / scale;
      painter.drawImage(
          QPointF((size.width() - shown.width()) / 2, (size.height() - shown.height()) / 2),
          scaled);
    }
  }
  painter.setPen(QPen(QColor(0, 0, 0, 80), 1 / scale));
  const double inset = 0.5 / scale;
  painter.drawRect(QRectF(inset, inset, size.width() - 2 * inset, size.height() - 2 * inset));
  return result;
}

void IMLayerRowView::setThumbnail(const gfx::ImagePtr& preview) {
  preview_ = preview;
  thumbnail_ = renderThumbnail(preview, {kThumbnailWidth, kThumbnailHeight}, devicePixelRatioF());
  showLook();
}

// ---- Visibility ----

QPixmap IMLayerRowView::eyePixmap(bool open, const QColor& color, double scale) {
  QPixmap pixmap(QSize(int(std::lround(kEyeWidth * scale)), int(std::lround(kEyeHeight * scale))));
  pixmap.setDevicePixelRatio(scale);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const double w = kEyeWidth, h = kEyeHeight, mid = h / 2;
  QPainterPath lids;
  lids.moveTo(1.5, mid);
  lids.quadTo(w / 2, mid - 7, w - 1.5, mid);
  lids.quadTo(w / 2, mid + 7, 1.5, mid);
  QColor ink = color;
  if (!open) ink.setAlphaF(0.45);
  painter.setPen(QPen(ink, 1.3));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(lids);
  if (open) {
    painter.setBrush(ink);
    painter.drawEllipse(QPointF(w / 2, mid), 2.3, 2.3);
  } else {
    painter.setPen(QPen(ink, 1.5));
    painter.drawLine(QPointF(3, h - 1.5), QPointF(w - 3, 1.5));
  }
  return pixmap;
}

void IMLayerRowView::setLayerVisible(bool visible) {
  if (visible == layerVisible_) return;
  layerVisible_ = visible;
  showLook();
}

// The thumbnail, the eye and the name as the layer's visibility and the
// rename state have them.
void IMLayerRowView::showLook() {
  const double scale = devicePixelRatioF();
  eye_->setPixmap(eyePixmap(layerVisible_, palette().color(QPalette::WindowText), scale));
  eye_->setToolTip(layerVisible_ ? fnd::localized("Visible") : fnd::localized("Hidden"));
  QImage shown = thumbnail_;
  if (!layerVisible_ && !shown.isNull()) {
    QImage faded(shown.size(), QImage::Format_ARGB32_Premultiplied);
    faded.setDevicePixelRatio(shown.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(kHiddenOpacity);
    painter.drawImage(QPointF(0, 0), shown);
    painter.end();
    shown = faded;
  }
  thumbnailLabel_->setPixmap(QPixmap::fromImage(shown));
  QFont font = name_->font();
  font.setItalic(!layerVisible_ && !editing_);
  name_->setFont(font);
  QPalette colours = name_->palette();
  const QColor text = palette().color(
      layerVisible_ || editing_ ? QPalette::Active : QPalette::Disabled, QPalette::Text);
  colours.setColor(QPalette::Text, text);
  name_->setPalette(colours);
  // Outside a rename the name reads as a label: clicks go to the row.
  name_->setReadOnly(!editing_);
  name_->setAttribute(Qt::WA_TransparentForMouseEvents, !editing_);
  name_->setFocusPolicy(editing_ ? Qt::StrongFocus : Qt::NoFocus);
  name_->setStyleSheet(editing_ ? QString() : QStringLiteral("background: transparent"));
  if (!editing_) {
    name_->deselect();
    if (name_->hasFocus()) name_->clearFocus();
  }
}

// ---- Name ----

void IMLayerRowView::setName(const QString& name) {
  shownName_ = name;
  if (!editing_ && name_->text() != name) name_->setText(name);
}

QString IMLayerRowView::name() const { return name_->text(); }

void IMLayerRowView::setNameEdited(std::function<void(const QString&)> handler) {
  nameEdited_ = std::move(handler);
}

void IMLayerRowView::beginEditing() {
  renameArmed_ = false;
  renameTimer_.stop();
  if (editing_) return;
  editing_ = true;
  showLook();
  name_->setFocus(Qt::MouseFocusReason);
  name_->selectAll();
}

void IMLayerRowView::cancelEditing() {
  if (!editing_) return;
  editing_ = false;
  name_->setText(shownName_);
  showLook();
}

bool IMLayerRowView::isRowSelected() const {
  for (QWidget* above = parentWidget(); above; above = above->parentWidget()) {
    auto* list = qobject_cast<QAbstractItemView*>(above);
    if (!list) continue;
    const QPoint inViewport = mapTo(list->viewport(), QPoint(width() / 2, height() / 2));
    const QModelIndex index = list->indexAt(inViewport);
    return index.isValid() && list->selectionModel() &&
           list->selectionModel()->isRowSelected(index.row(), index.parent());
  }
  return false;
}

// A click on the selected row's name arms the rename; the list handles the
// click itself as ever (selection, drags). The rename begins once no
// double click has followed, and only if the button came up in place.
void IMLayerRowView::mousePressEvent(QMouseEvent* event) {
  renameArmed_ = false;
  renameTimer_.stop();
  if (!editing_ && event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier &&
      name_->geometry().contains(event->position().toPoint()) && isRowSelected()) {
    renameArmed_ = true;
    pressPosition_ = event->globalPosition().toPoint();
    if (parentWidget()) parentWidget()->installEventFilter(this);
  }
  event->ignore();
}

void IMLayerRowView::mouseDoubleClickEvent(QMouseEvent* event) {
  renameArmed_ = false;
  renameTimer_.stop();
  event->ignore();
}

bool IMLayerRowView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == name_ && editing_) {
    const bool escape =
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (escape && event->type() == QEvent::ShortcutOverride) {
      event->accept();
      return true;
    }
    if (escape) {
      cancelEditing();
      return true;
    }
  }
  if (watched == parentWidget()) {
    if (event->type() == QEvent::MouseButtonRelease) {
      parentWidget()->removeEventFilter(this);
      if (renameArmed_) renameTimer_.start(QApplication::styleHints()->mouseDoubleClickInterval());
    } else if (event->type() == QEvent::MouseButtonDblClick) {
      renameArmed_ = false;
      renameTimer_.stop();
    } else if (event->type() == QEvent::MouseMove && renameArmed_) {
      // The click became a drag of the row.
      const QPoint moved =
          static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - pressPosition_;
      if (moved.manhattanLength() >= QApplication::startDragDistance()) renameArmed_ = false;
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool IMLayerRowView::event(QEvent* event) {
  // Moved to a screen of another density: thumbnails and eye follow it.
  if (event->type() == QEvent::ScreenChangeInternal &&
      thumbnail_.devicePixelRatio() != devicePixelRatioF())
    setThumbnail(preview_);
  return QWidget::event(event);
}
