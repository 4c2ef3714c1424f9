// The filter browser: a window-modal sheet over the filter registry that
// lists filters by category, finds them by name, and previews the selected
// one on a picture the caller gives (the current layer). Own dialog over Qt
// widgets; it never blocks, so tests drive it like a user.
#pragma once

#include <QDialog>
#include <QImage>
#include <QVariantMap>
#include <functional>

#include "coreimage/Image.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace ui {

// Options of beginSheetWithOptions: lists of categories and of filter names
// the browser leaves out.
inline const QString FilterBrowserExcludeCategories =
    QStringLiteral("IKFilterBrowserExcludeCategories");
inline const QString FilterBrowserExcludeFilters = QStringLiteral("IKFilterBrowserExcludeFilters");

class FilterBrowserPanel : public QDialog {
  Q_OBJECT
 public:
  // The return codes the sheet ends with.
  enum ReturnCode { Cancel = 0, OK = 1 };
  using DidEnd = std::function<void(FilterBrowserPanel* panel, int returnCode)>;

  // The style mask is kept for callers that pass one; there is one style.
  static FilterBrowserPanel* filterBrowserPanelWithStyleMask(unsigned styleMask);

  // Shows the browser as a sheet on `window`; `didEnd` runs once when the
  // user chooses or cancels, the panel still open until orderOut.
  void beginSheetWithOptions(const QVariantMap& options, QWidget* window, DidEnd didEnd);
  void orderOut();

  // The picture previews are made from; scaled down to fit the preview.
  void setPreviewSource(const ci::Image& image);
  // The selected filter's name; empty when none is selected.
  QString filterName() const;
  bool selectFilterName(const QString& name);
  // "All" first, then each category holding a filter the options allow.
  QStringList categories() const;
  void selectCategory(const QString& category);
  void setSearchText(const QString& text);
  // The names the list shows now, in order.
  QStringList shownFilterNames() const;
  // The selected filter applied to the preview source; null without either.
  QImage previewImage() const { return preview_; }
  // What the OK and Cancel buttons do.
  void finish(int returnCode);

 private:
  explicit FilterBrowserPanel(QWidget* parent = nullptr);
  void fillCategories();
  void fillFilters();
  void updatePreview();
  bool isAllowed(const QString& name) const;

  QListWidget* categoryList_ = nullptr;
  QListWidget* filterList_ = nullptr;
  QLineEdit* searchField_ = nullptr;
  QLabel* previewLabel_ = nullptr;
  QLabel* descriptionLabel_ = nullptr;
  QStringList excludedCategories_;
  QStringList excludedFilters_;
  ci::Image source_;
  QImage preview_;
  DidEnd didEnd_;
  bool ended_ = false;
};

}  // namespace ui
