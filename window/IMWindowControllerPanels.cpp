// The document window's collapsible areas (the layers panel on the left,
// the filters panel on the right, the status bar), the panel buttons, the
// waiting sheet and the version browser's hooks.
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "appkit/AnimationContext.h"
#include "appkit/LayoutConstraint.h"
#include "appkit/ScrollView.h"
#include "appkit/SegmentedControl.h"
#include "appkit/Window.h"
#include "documents/IMDocument.h"
#include "foundation/Localized.h"
#include "model/Settings.h"
#include "window/IMWaitingWindow.h"
#include "window/IMWindowController.h"
#include "window/WindowZoomGeometry.h"

namespace {

constexpr int kFiltersBoxWidth = 260;

}  // namespace

// The filters panel's place on the right; its lists go in it.
QWidget* IMWindowController::makeFiltersBox() {
  filtersBox_ = new QWidget;
  filtersBox_->setObjectName("filtersBox");
  filtersBox_->setFixedWidth(kFiltersBoxWidth);
  auto* panel = new QVBoxLayout(filtersBox_);
  panel->setContentsMargins(6, 6, 6, 6);
  panel->addWidget(makeFiltersPanel(), 1);
  return filtersBox_;
}

// The sizes as laid out are what a hidden area comes back to; the spaces
// carry the room the canvas leaves each area.
void IMWindowController::makePanelConstraints() {
  using Attribute = ui::LayoutConstraint::Attribute;
  defaultFiltersBoxWidth_ = filtersBox_ ? filtersBox_->minimumWidth() : 0;
  layersBoxWidth_ =
      new ui::LayoutConstraint(layersBox_, Attribute::Width, defaultLayersBoxWidth_, this);
  filtersBoxWidth_ =
      new ui::LayoutConstraint(filtersBox_, Attribute::Width, defaultFiltersBoxWidth_, this);
  statusBoxHeight_ =
      new ui::LayoutConstraint(statusBox_, Attribute::Height, defaultStatusBoxHeight_, this);
  leftSpace_ = new ui::LayoutConstraint(nullptr, Attribute::None, defaultLayersBoxWidth_, this);
  rightSpace_ = new ui::LayoutConstraint(nullptr, Attribute::None, defaultFiltersBoxWidth_, this);
  bottomSpace_ = new ui::LayoutConstraint(nullptr, Attribute::None, defaultStatusBoxHeight_, this);
}

// The buttons that show and hide the panels.
ui::SegmentedControl* IMWindowController::makeVisibilityControl() {
  uiVisibility_ = new ui::SegmentedControl;
  uiVisibility_->setObjectName("uiVisibilitySegmentedControl");
  uiVisibility_->setSegmentCount(2);
  uiVisibility_->setTrackingMode(ui::SegmentSwitchTrackingSelectAny);
  uiVisibility_->setLabel(fnd::localized("Layers"), 0);
  uiVisibility_->setLabel(fnd::localized("Filters"), 1);
  uiVisibility_->setToolTip(fnd::localized("Show or hide the layers panel"), 0);
  uiVisibility_->setToolTip(fnd::localized("Show or hide the filters panel"), 1);
  uiVisibility_->setTarget(this);
  uiVisibility_->setAction("changeListsUIVisibility:");
  return uiVisibility_;
}

void IMWindowController::setWantsToHide(bool hide, ui::LayoutConstraint* sizeConstraint,
                                        ui::LayoutConstraint* spaceConstraint, double defaultSize,
                                        bool animated) {
  if (!sizeConstraint || !spaceConstraint) return;
  const WindowZoomGeometry::Area before{sizeConstraint->constant(), spaceConstraint->constant()};
  const WindowZoomGeometry::Area after = WindowZoomGeometry::areaAfter(before, hide, defaultSize);
  if (after.size == before.size && after.space == before.space) return;
  if (!animated) {
    sizeConstraint->setConstant(after.size);
    spaceConstraint->setConstant(after.space);
    return;
  }
  ui::AnimationContext::runAnimationGroup([&](ui::AnimationContext& context) {
    sizeConstraint->animateConstant(context, after.size);
    spaceConstraint->animateConstant(context, after.space);
  });
}

// In full screen the canvas has a border only while a panel is beside it.
void IMWindowController::updateScrollViewBorder(bool layersVisible, bool filtersVisible) {
  if (!graphicScrollView_ || !isInFullScreenMode()) return;
  graphicScrollView_->setFrameShape(layersVisible || filtersVisible ? QFrame::StyledPanel
                                                                    : QFrame::NoFrame);
}

void IMWindowController::hideLayersAnimated(bool animated, bool hide) {
  setWantsToHide(hide, layersBoxWidth_, leftSpace_, defaultLayersBoxWidth_, animated);
  if (uiVisibility_) uiVisibility_->setSelected(!hide, 0);
  std::shared_ptr<Settings> s = settings();
  if (s && !s->filtersUIVisible()) updateScrollViewBorder(!hide, false);
}

void IMWindowController::hideFiltersAnimated(bool animated, bool hide) {
  setWantsToHide(hide, filtersBoxWidth_, rightSpace_, defaultFiltersBoxWidth_, animated);
  if (uiVisibility_) uiVisibility_->setSelected(!hide, 1);
  std::shared_ptr<Settings> s = settings();
  if (s && !s->layersUIVisible()) updateScrollViewBorder(false, !hide);
}

void IMWindowController::updateLayersAndFiltersUI() {
  std::shared_ptr<Settings> s = settings();
  const bool viewing = document() && document()->isInViewingMode();
  hideLayersAnimated(false, viewing || !s || !s->layersUIVisible());
  hideFiltersAnimated(false, viewing || !s || !s->filtersUIVisible());
}

// The toggles write the settings after the panel moved.
void IMWindowController::hideLayersAction() {
  std::shared_ptr<Settings> s = settings();
  if (!s) return;
  const bool visible = s->layersUIVisible();
  hideLayersAnimated(true, visible);
  s->setLayersUIVisible(!visible);
}

void IMWindowController::hideFiltersAction() {
  std::shared_ptr<Settings> s = settings();
  if (!s) return;
  const bool visible = s->filtersUIVisible();
  hideFiltersAnimated(true, visible);
  s->setFiltersUIVisible(!visible);
}

// The segment the click changed is the one whose state no longer matches
// its panel; a control that reports no such change goes by its selected
// segment (0 the layers, any other the filters).
void IMWindowController::changeListsUIVisibility(QObject* sender) {
  std::shared_ptr<Settings> s = settings();
  auto* control = dynamic_cast<ui::SegmentedControl*>(sender);
  if (!control) control = uiVisibility_;
  if (s && control && control->isSelectedForSegment(0) != s->layersUIVisible())
    return hideLayersAction();
  if (s && control && control->isSelectedForSegment(1) != s->filtersUIVisible())
    return hideFiltersAction();
  if (control && control->selectedSegment() != 0)
    hideFiltersAction();
  else
    hideLayersAction();
}

// ---- Waiting sheet ----

void IMWindowController::launchProgressBarIndicatorWindowWithMessage(const QString& message) {
  if (waitingWindow_ && waitingWindow_->isVisible()) return;
  if (!isWindowLoaded()) return;
  pendingWaitingSheet_.reset();
  if (waitingWindow_) waitingWindow_->deleteLater();
  waitingWindow_ = new IMWaitingWindow(window());
  waitingWindow_->waitingWindowText()->setText(message.isNull() ? fnd::localized("Please wait...")
                                                                : message);
  waitingWindow_->open();
  waitingWindow_->raise();
  waitingWindow_->activateWindow();
  waitingWindow_->startAnimation();
}

// A pending show is a token: the hide drops it, and the timer finding it
// gone shows nothing.
void IMWindowController::launchProgressBarIndicatorWindowWithMessageAfterDelay(
    const QString& message, int milliseconds) {
  auto pending = std::make_shared<int>(0);
  pendingWaitingSheet_ = pending;
  std::weak_ptr<int> token = pending;
  QTimer::singleShot(std::max(0, milliseconds), this, [this, token, message] {
    if (token.expired()) return;
    launchProgressBarIndicatorWindowWithMessage(message);
  });
}

void IMWindowController::hideProgressBarIndicatorWindow() {
  pendingWaitingSheet_.reset();
  if (!waitingWindow_ || !waitingWindow_->isVisible()) return;
  waitingWindow_->stopAnimation();
  waitingWindow_->done(QDialog::Accepted);
  waitingWindow_->hide();
}

// ---- Version browser ----
// This desktop keeps no versions of a document to browse; these hooks are
// what a version view of the window runs on entering and leaving.

void IMWindowController::windowWillEnterVersionBrowser() {
  std::shared_ptr<Settings> s = settings();
  wasLayersHiddenBeforeVersion_ = s && !s->layersUIVisible();
  wasFiltersHiddenBeforeVersion_ = s && !s->filtersUIVisible();
  if (toolbar_) toolbar_->setVisible(false);
  hideLayersAnimated(false, true);
  hideFiltersAnimated(false, true);
}

void IMWindowController::windowDidExitVersionBrowser() {
  if (!document() && isWindowLoaded() && window()->isVisible()) {
    close();
    return;
  }
  updateLayersAndFiltersUI();
  if (toolbar_) toolbar_->setVisible(true);
}
