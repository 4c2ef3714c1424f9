// The text popover of the layers panel: where it opens, and its size
// following the text as it is typed.
#include <QTextEdit>
#include <QToolBar>
#include <cmath>

#include "appkit/Popover.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/AttributedTextDocument.h"
#include "window/IMLayersArrayController.h"
#include "window/IMLayersPanelWindow.h"
#include "window/IMTableView.h"
#include "window/TextLayerDetailsPopoverView.h"

void IMLayersArrayController::doubleClick(QObject* sender) {
  Layer* layer = firstSelectedLayer();
  if (layer && layer->isText())
    showTextSettings(selectedRowView());
  else
    IMGenericArrayController::doubleClick(sender);
}

void IMLayersArrayController::showTextSettings(int rowView) {
  showPopoverFromNibNamed(TextLayerDetailsPopoverView::kNibName, rowView, ui::MinXEdge);
  if (textView_) textView_->selectAll();
}

void IMLayersArrayController::highlightCurrentSelectedLayerNameField() {
  IMLayersPanelWindow* window = layersWindow();
  ComposedImage* image = composedImage();
  // The panel shown is recorded, so that the next toggle hides it.
  if (window && image && image->settings() && !image->settings()->layersUIVisible()) {
    window->hideLayersAnimated(false, false);
    image->settings()->setLayersUIVisible(true);
  }
  if (window) window->setTabbedSettingsTab(0);
  const int row = tableView() ? tableView()->selectedRow() : -1;
  if (row < 0 || row >= objectsCount()) return;
  showPopoverFromNibNamed(TextLayerDetailsPopoverView::kNibName, row, ui::MaxXEdge,
                          arrangedObjects()[row]);
  if (textView_) {
    textView_->selectAll();
    textView_->setFocus();
  }
}

void IMLayersArrayController::connectTextPopover(TextLayerDetailsPopoverView* view) {
  textView_ = view->textView();
  textScrollView_ = view->textScrollView();
  inspectorView_ = view->inspectorView();
  topVerticalSpaceConstraint_ = view->topVerticalSpace();
  QTextEdit* text = view->textView();
  QObject::connect(text, &QTextEdit::textChanged, view, [this, text] { textDidChange(text); });
}

void IMLayersArrayController::popoverWillShow(ui::Popover* popover) {
  if (!textView_ || !popover->isAncestorOf(textView_)) return;
  textPopoverInitialSize_ = popover->contentSize();
  adjustPopoverSizeWithTextView(textView_);
}

void IMLayersArrayController::textDidChange(QTextEdit* textView) {
  adjustPopoverSizeWithTextView(textView);
}

// The attributes bar has its place above the text in the popover's layout,
// so nothing needs to follow its frame once the popover closes.
void IMLayersArrayController::popoverWillClose(ui::Popover* popover) {
  inspectorView_ = nullptr;
  IMGenericArrayController::popoverWillClose(popover);
}

void IMLayersArrayController::adjustPopoverSizeWithTextView(QTextEdit* textView) {
  ui::Popover* popover = currentPopover();
  if (!textView || !popover) return;
  const QSizeF size = AttributedTextDocument::unwrappedSize(*textView->document());
  const double top = topVerticalSpaceConstraint_;
  const int width = std::max(textPopoverInitialSize_.width(), int(std::ceil(size.width())) + 15);
  const int height =
      std::max(textPopoverInitialSize_.height(), int(std::ceil(top + size.height())) + 15);
  popover->setContentSize(QSize(width, height));
}
