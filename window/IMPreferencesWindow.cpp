#include "window/IMPreferencesWindow.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "foundation/Localized.h"
#include "foundation/UserDefaults.h"
#include "graphics/AttributedString.h"
#include "window/IMCloseKeys.h"

namespace {
const QString kOpenImagesInZova = QStringLiteral("IMOpenImagesInZova");
}

IMPreferencesWindow::IMPreferencesWindow(fnd::UserDefaults& defaults, ui::Responder* next,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window),
      defaults_(defaults),
      fontPreview_(new QLabel(this)),
      openImagesInZova_(new QCheckBox(
          fnd::localized("Open image files of other formats as Tessaly documents (ZOVA)"), this)) {
  setNextResponder(next);
  setObjectName(QStringLiteral("preferenceWindow"));
  setWindowTitle(fnd::localized("Preferences"));
  fontPreview_->setObjectName(QStringLiteral("fontPreview"));
  auto* choose = new QPushButton(fnd::localized("Select…"), this);
  connect(choose, &QPushButton::clicked, this,
          [this] { tryToPerform(QStringLiteral("showDefaultFontPanel:"), this); });
  auto* fontRow = new QHBoxLayout;
  fontRow->addWidget(fontPreview_, 1);
  fontRow->addWidget(choose);

  openImagesInZova_->setChecked(defaults_.boolForKey(kOpenImagesInZova));
  connect(openImagesInZova_, &QCheckBox::toggled, this,
          [this](bool on) { defaults_.setBool(on, kOpenImagesInZova); });

  auto* form = new QFormLayout(this);
  form->addRow(fnd::localized("Default text font:"), fontRow);
  form->addRow(openImagesInZova_);
  IMCloseKeys::installIn(this);
}

void IMPreferencesWindow::showFont(const QFont& font) {
  QFont shown = font;
  // The preview is a line of the window: large sizes are shown at most at 36.
  shown.setPointSizeF(qMin(font.pointSizeF(), 36.0));
  shown.setUnderline(previewAttributes_.value(gfx::UnderlineStyleAttributeName).toInt() != 0);
  fontPreview_->setFont(shown);
  fontPreview_->setText(QStringLiteral("%1 %2").arg(font.family()).arg(font.pointSizeF()));
  fontPreview_->adjustSize();
  adjustSize();
}

void IMPreferencesWindow::setDefaultFontAttributes(const QVariantMap& attributes) {
  previewAttributes_ = attributes;
  QPalette palette = fontPreview_->palette();
  const QVariant color = attributes.value(gfx::ForegroundColorAttributeName);
  palette.setColor(QPalette::WindowText, color.canConvert<QColor>()
                                             ? color.value<QColor>()
                                             : this->palette().color(QPalette::WindowText));
  const QVariant background = attributes.value(gfx::BackgroundColorAttributeName);
  fontPreview_->setAutoFillBackground(background.canConvert<QColor>());
  if (background.canConvert<QColor>())
    palette.setColor(QPalette::Window, background.value<QColor>());
  fontPreview_->setPalette(palette);
  QFont font = fontPreview_->font();
  font.setUnderline(attributes.value(gfx::UnderlineStyleAttributeName).toInt() != 0);
  fontPreview_->setFont(font);
  fontPreview_->adjustSize();
  adjustSize();
}
