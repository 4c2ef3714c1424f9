#include "appkit/FilterBrowserPanel.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTransform>
#include <QVBoxLayout>

#include "coreimage/Context.h"
#include "coreimage/Filter.h"
#include "coreimage/FilterConstants.h"
#include "coreimage/FilterRegistry.h"
#include "coreimage/Rect.h"
#include "graphics/CGImage.h"

namespace ui {

namespace {

constexpr int kPreviewSide = 256;
const QStringList kBrowsedCategories = {
    ci::kCICategoryBlur,        ci::kCICategorySharpen,          ci::kCICategoryColorAdjustment,
    ci::kCICategoryColorEffect, ci::kCICategoryDistortionEffect, ci::kCICategoryGeometryAdjustment,
    ci::kCICategoryStylize,     ci::kCICategoryHalftoneEffect,   ci::kCICategoryTileEffect,
    ci::kCICategoryGenerator,   ci::kCICategoryGradient,         ci::kCICategoryCompositeOperation,
    ci::kCICategoryTransition,  ci::kCICategoryReduction};
const QString kAll = QStringLiteral("All");

}  // namespace

FilterBrowserPanel* FilterBrowserPanel::filterBrowserPanelWithStyleMask(unsigned) {
  return new FilterBrowserPanel;
}

FilterBrowserPanel::FilterBrowserPanel(QWidget* parent) : QDialog(parent) {
  setObjectName("FilterBrowserPanel");
  setWindowTitle(tr("Filters"));
  auto* column = new QVBoxLayout(this);
  searchField_ = new QLineEdit;
  searchField_->setPlaceholderText(tr("Search"));
  searchField_->setClearButtonEnabled(true);
  column->addWidget(searchField_);
  auto* row = new QHBoxLayout;
  categoryList_ = new QListWidget;
  categoryList_->setFixedWidth(170);
  filterList_ = new QListWidget;
  filterList_->setMinimumWidth(200);
  auto* previewColumn = new QVBoxLayout;
  previewLabel_ = new QLabel;
  previewLabel_->setFixedSize(kPreviewSide, kPreviewSide);
  previewLabel_->setAlignment(Qt::AlignCenter);
  previewLabel_->setStyleSheet("background: #404040");
  descriptionLabel_ = new QLabel;
  descriptionLabel_->setWordWrap(true);
  descriptionLabel_->setFixedWidth(kPreviewSide);
  previewColumn->addWidget(previewLabel_);
  previewColumn->addWidget(descriptionLabel_, 1);
  row->addWidget(categoryList_);
  row->addWidget(filterList_, 1);
  row->addLayout(previewColumn);
  column->addLayout(row, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("Apply"));
  column->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { finish(OK); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { finish(Cancel); });
  connect(searchField_, &QLineEdit::textChanged, this, [this] { fillFilters(); });
  connect(categoryList_, &QListWidget::currentRowChanged, this, [this] { fillFilters(); });
  connect(filterList_, &QListWidget::currentRowChanged, this, [this] { updatePreview(); });
  connect(filterList_, &QListWidget::itemDoubleClicked, this, [this] { finish(OK); });
  resize(720, 420);
}

void FilterBrowserPanel::beginSheetWithOptions(const QVariantMap& options, QWidget* window,
                                               DidEnd didEnd) {
  excludedCategories_ = options.value(FilterBrowserExcludeCategories).toStringList();
  excludedFilters_ = options.value(FilterBrowserExcludeFilters).toStringList();
  didEnd_ = std::move(didEnd);
  ended_ = false;
  if (window) setParent(window, Qt::Sheet);
  setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
  fillCategories();
  show();
}

void FilterBrowserPanel::orderOut() {
  hide();
  deleteLater();
}

bool FilterBrowserPanel::isAllowed(const QString& name) const {
  if (excludedFilters_.contains(name)) return false;
  const QStringList categories = ci::FilterRegistry::shared()
                                     .classAttributes(name)
                                     .value(ci::kCIAttributeFilterCategories)
                                     .toStringList();
  return std::none_of(categories.begin(), categories.end(),
                      [&](const QString& c) { return excludedCategories_.contains(c); });
}

void FilterBrowserPanel::fillCategories() {
  categoryList_->clear();
  auto* all = new QListWidgetItem(tr("All"), categoryList_);
  all->setData(Qt::UserRole, kAll);
  for (const QString& category : kBrowsedCategories) {
    if (excludedCategories_.contains(category)) continue;
    const QStringList names = ci::Filter::filterNamesInCategory(category);
    if (std::none_of(names.begin(), names.end(), [&](const QString& n) { return isAllowed(n); }))
      continue;
    auto* item = new QListWidgetItem(ci::Filter::localizedNameForCategory(category), categoryList_);
    item->setData(Qt::UserRole, category);
  }
  categoryList_->setCurrentRow(0);
}

QStringList FilterBrowserPanel::categories() const {
  QStringList names;
  for (int i = 0; i < categoryList_->count(); ++i)
    names.append(categoryList_->item(i)->data(Qt::UserRole).toString());
  return names;
}

void FilterBrowserPanel::selectCategory(const QString& category) {
  const int row = categories().indexOf(category);
  if (row >= 0) categoryList_->setCurrentRow(row);
}

void FilterBrowserPanel::setSearchText(const QString& text) { searchField_->setText(text); }

// Names of the chosen category (every browsed one for "All") whose display
// name or name holds the search text.
void FilterBrowserPanel::fillFilters() {
  const QString previous = filterName();
  const QString category = categoryList_->currentItem()
                               ? categoryList_->currentItem()->data(Qt::UserRole).toString()
                               : kAll;
  QStringList names;
  for (const QString& c : category == kAll ? kBrowsedCategories : QStringList{category})
    if (!excludedCategories_.contains(c))
      for (const QString& name : ci::Filter::filterNamesInCategory(c))
        if (!names.contains(name)) names.append(name);
  const QString search = searchField_->text().trimmed();
  QList<QPair<QString, QString>> shown;
  for (const QString& name : names) {
    const QString display = ci::Filter::localizedNameForFilterName(name);
    if (!isAllowed(name)) continue;
    if (!search.isEmpty() && !display.contains(search, Qt::CaseInsensitive) &&
        !name.contains(search, Qt::CaseInsensitive))
      continue;
    shown.append({display, name});
  }
  std::sort(shown.begin(), shown.end(),
            [](const auto& a, const auto& b) { return a.first.localeAwareCompare(b.first) < 0; });
  const QSignalBlocker blocker(filterList_);
  filterList_->clear();
  for (const auto& [display, name] : shown) {
    auto* item = new QListWidgetItem(display, filterList_);
    item->setData(Qt::UserRole, name);
  }
  if (!selectFilterName(previous) && filterList_->count() > 0) filterList_->setCurrentRow(0);
  updatePreview();
}

QStringList FilterBrowserPanel::shownFilterNames() const {
  QStringList names;
  for (int i = 0; i < filterList_->count(); ++i)
    names.append(filterList_->item(i)->data(Qt::UserRole).toString());
  return names;
}

QString FilterBrowserPanel::filterName() const {
  QListWidgetItem* item = filterList_->currentItem();
  return item ? item->data(Qt::UserRole).toString() : QString();
}

bool FilterBrowserPanel::selectFilterName(const QString& name) {
  const int row = shownFilterNames().indexOf(name);
  if (row < 0 || name.isEmpty()) return false;
  filterList_->setCurrentRow(row);
  return true;
}

void FilterBrowserPanel::setPreviewSource(const ci::Image& image) {
  source_ = image;
  updatePreview();
}

// The source scaled into the preview square, through the selected filter
// with its default inputs, rendered over the source's extent only.
void FilterBrowserPanel::updatePreview() {
  preview_ = QImage();
  const QString name = filterName();
  descriptionLabel_->setText(name.isEmpty() ? QString()
                                            : ci::Filter::localizedDescriptionForFilterName(name));
  ci::FilterPtr filter = name.isEmpty() ? nullptr : ci::Filter::filterWithName(name);
  const QRectF extent = source_.isNull() ? QRectF() : source_.extent();
  if (filter && extent.width() > 0 && extent.height() > 0 && !ci::isInfinite(extent)) {
    const double scale = std::min(1.0, kPreviewSide / std::max(extent.width(), extent.height()));
    const ci::Image small = source_.imageByApplyingTransform(
        QTransform::fromTranslate(-extent.x(), -extent.y()) * QTransform::fromScale(scale, scale));
    if (filter->inputKeys().contains(ci::kCIInputImageKey))
      filter->setValue(QVariant::fromValue(small), ci::kCIInputImageKey);
    const ci::Image output = filter->outputImage();
    const QRectF box(0, 0, std::ceil(extent.width() * scale), std::ceil(extent.height() * scale));
    if (!output.isNull())
      if (gfx::CGImagePtr pixels = ci::Context().createCGImage(output, box))
        preview_ = pixels->qImage();
  }
  previewLabel_->setPixmap(preview_.isNull() ? QPixmap() : QPixmap::fromImage(preview_));
}

void FilterBrowserPanel::finish(int returnCode) {
  if (ended_) return;
  ended_ = true;
  if (didEnd_) didEnd_(this, returnCode);
}

}  // namespace ui
