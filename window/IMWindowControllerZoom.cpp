// The document window's zoom: the one setter, the zoom about a point, the
// fit of the image to the window and of the window to the image, the zoom
// shown under the canvas, and full screen with its own transition.
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <cmath>

#include "appkit/AnimationContext.h"
#include "appkit/ClipView.h"
#include "appkit/LayoutConstraint.h"
#include "appkit/ScrollView.h"
#include "appkit/Window.h"
#include "foundation/Localized.h"
#include "model/ComposedImage.h"
#include "model/Settings.h"
#include "window/FirstFitWatch.h"
#include "window/IMCenterClipView.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"
#include "window/WindowZoomGeometry.h"

namespace {

// The slider moves in hundredths of its base-10 scale.
constexpr int kSliderStepsPerDecade = 100;
// Full screen covers the menu bar and the dock and auto-hides the toolbar.
constexpr unsigned kFullScreenPresentationOptions = 1024 | 2048 | 2 | 4;
// The grounds of the canvas in a window and in full screen.
constexpr double kWindowGround = 0.5;
constexpr double kFullScreenGround = 0.3;

}  // namespace

// A zoom about the canvas's zoom point when a tool set one (the point
// under a click, brought to the centre), else about the centre of the
// visible area; the point is used once.
void IMWindowController::setZoom(double zoom, bool updateTitle) {
  std::shared_ptr<Settings> s = settings();
  if (!s || zoom == s->zoom()) return;
  const double old = s->zoom();
  zoom = WindowZoomGeometry::validZoom(zoom);
  if (zoom == old) {
    if (mainView_) mainView_->setZoomPoint({});
    return;
  }
  s->setZoom(zoom);
  if (mainView_) {
    const QPointF fixed = mainView_->zoomPoint();
    if (fixed.isNull())
      mainView_->changeClipViewOriginWithActuelZoomFactorCentered(old, zoom);
    else
      mainView_->changeClipViewOriginWithNewZoomFactor(zoom, fixed / (old == 0 ? 1 : old));
    mainView_->setZoomPoint({});
  }
  if (updateTitle) synchronizeWindowTitleWithDocumentName();
  if (mainView_) mainView_->updateFrame();
  showZoom();
}

// The canvas point under the pointer stays under it: the zoom point is
// chosen so that, brought to the centre at the new zoom, it leaves the
// pointer's point where it was.
void IMWindowController::setZoomKeepingViewPoint(double zoom, const QPointF& viewPoint) {
  std::shared_ptr<Settings> s = settings();
  if (!s || !mainView_ || !graphicScrollView_) return setZoom(zoom);
  const double old = s->zoom();
  const double next = WindowZoomGeometry::validZoom(zoom);
  const QRectF shown = graphicScrollView_->documentVisibleRect();
  const QPointF offset = viewPoint - shown.topLeft();
  const QPointF half(shown.width() / 2, shown.height() / 2);
  QPointF point = viewPoint + (half - offset) * (old / next);
  // The zero point means "the centre": a point that lands on it exactly is
  // nudged by a far smaller amount than a device pixel.
  if (point.isNull()) point = QPointF(1e-9, 0);
  mainView_->setZoomPoint(point);
  setZoom(next);
}

// The whole image as large as fits: first at one to one in a window grown
// to it, else at the zoom that fits the window so grown.
void IMWindowController::adjustZoomForDocumentToFitVisibleRect() {
  ComposedImage* image = composedImage();
  ui::Window* w = isWindowLoaded() ? window() : nullptr;
  if (!w || w->screenFrame().isEmpty()) {
    qWarning("[theWindow screen] is nil !");
    return;
  }
  if (isInFullScreenMode() || !image || !graphicScrollView_ || !mainView_) return;
  setZoom(1);
  adjustWindowForMaximumVisibleRect();
  if (documentFitIntoVisibleRect()) return;
  const QSizeF visible = graphicScrollView_->documentVisibleRect().size();
  setZoom(WindowZoomGeometry::fitZoom(image->size(), visible, mainView_->backingScaleFactor()));
  adjustWindowForMaximumVisibleRect();
}

// A window just shown is not placed yet: its frame (decorations, place and
// size) comes from the window manager afterwards, and a fit made for the
// frame before may leave it taller than the screen or cut by it. The fit
// is made again when the manager changes the frame, until the user zooms
// or resizes the window.
void IMWindowController::fitFollowingTheWindowManager() {
  adjustZoomForDocumentToFitVisibleRect();
  if (!isWindowLoaded() || !window()->isVisible()) return;
  std::weak_ptr<int> alive = alive_;
  new FirstFitWatch(
      window(), [this, alive] { return alive.expired() ? 0.0 : zoom(); },
      [this, alive] {
        if (!alive.expired()) adjustZoomForDocumentToFitVisibleRect();
      });
}

QSizeF IMWindowController::imageSizeOnCanvas(double zoom) const {
  ComposedImage* image = composedImage();
  if (!image || !mainView_) return {};
  const double scale = mainView_->backingScaleFactor();
  return image->size() * (zoom / (scale > 0 ? scale : 1));
}

QSizeF IMWindowController::notVisibleComposedImageSize() const {
  if (!graphicScrollView_ || !mainView_) return {};
  const double current = const_cast<IMWindowController*>(this)->zoom();
  // The clip's whole area: where the image is smaller the difference is
  // negative, and the window shrinks to it.
  return imageSizeOnCanvas(current) - graphicScrollView_->contentView()->bounds().size();
}

void IMWindowController::adjustWindowForMaximumVisibleRect() {
  windowToImage(notVisibleComposedImageSize());
}

// The window grows by what is hidden, within the screen, and lays its
// contents out at once; returns how much its size changed.
QSize IMWindowController::windowToImage(const QSizeF& hidden) {
  ui::Window* w = isWindowLoaded() ? window() : nullptr;
  if (!w || isInFullScreenMode() || w->screenVisibleFrame().isEmpty()) return {};
  QRect outer = w->frameGeometry();
  // Before the window manager has framed the window its frame may be
  // reported smaller than the window: the window itself counts then.
  if (outer.width() < w->width() || outer.height() < w->height()) outer = w->geometry();
  const QSize decorations = outer.size() - w->geometry().size();
  // The layout's own minimum counts as the window's.
  const QSize minimum =
      w->minimumSize().expandedTo(w->minimumSizeHint()).expandedTo(QSize(1, 1)) + decorations;
  const QRect wanted =
      WindowZoomGeometry::frameShowingImage(outer, hidden, w->screenVisibleFrame(), minimum);
  const QSize size = wanted.size() - decorations;
  const QSize change = size - w->geometry().size();
  if (!change.isNull()) {
    w->resize(size);
    if (QLayout* layout = w->layout()) layout->activate();
  }
  return change;
}

// ---- The zoom under the canvas ----

void IMWindowController::makeStatusControls(QHBoxLayout* statusRow) {
  zoomSlider_ = new QSlider(Qt::Horizontal);
  zoomSlider_->setObjectName("zoomSlider");
  zoomSlider_->setRange(int(std::log10(WindowZoomGeometry::kMinimumZoom) * kSliderStepsPerDecade),
                        int(std::log10(WindowZoomGeometry::kMaximumZoom) * kSliderStepsPerDecade));
  zoomSlider_->setFixedWidth(160);
  zoomSlider_->setToolTip(fnd::localized("Zoom"));
  zoomLabel_ = new QLabel;
  zoomLabel_->setObjectName("zoomLabel");
  zoomLabel_->setMinimumWidth(56);
  statusRow->insertWidget(0, zoomLabel_);
  statusRow->insertWidget(0, zoomSlider_);
  statusRow->addWidget(makeVisibilityControl());
  connect(zoomSlider_, &QSlider::valueChanged, this, [this](int position) {
    if (zoomSlider_->signalsBlocked()) return;
    setZoom(std::pow(10.0, double(position) / kSliderStepsPerDecade));
  });
  showZoom();
}

void IMWindowController::showZoom() {
  const double current = zoom();
  if (zoomLabel_)
    zoomLabel_->setText(QStringLiteral("%1%").arg(WindowZoomGeometry::titlePercent(current)));
  if (zoomSlider_) {
    const QSignalBlocker quiet(zoomSlider_);
    zoomSlider_->setValue(int(std::lround(std::log10(current) * kSliderStepsPerDecade)));
  }
}

// ---- Full screen ----

bool IMWindowController::isInFullScreenMode() const {
  return isWindowLoaded() && const_cast<IMWindowController*>(this)->window()->isInFullScreenMode();
}

QList<ui::Window*> IMWindowController::customWindowsToEnterFullScreenForWindow(ui::Window* w) {
  return {w};
}

QList<ui::Window*> IMWindowController::customWindowsToExitFullScreenForWindow(ui::Window* w) {
  return {w};
}

unsigned IMWindowController::windowWillUseFullScreenPresentationOptions(ui::Window*, unsigned) {
  return kFullScreenPresentationOptions;
}

// The frame to come back to is kept (with the restorable state), the
// window takes the whole screen in an animation a little shorter than the
// transition, and the full-screen look follows.
void IMWindowController::windowStartCustomAnimationToEnterFullScreenWithDuration(ui::Window* w,
                                                                                 double duration) {
  frameForNonFullScreenMode_ = w->geometry();
  rememberViewBeforeFullScreen();
  invalidateRestorableState();
  auto* clip = graphicScrollView_
                   ? qobject_cast<IMCenterClipView*>(graphicScrollView_->contentView())
                   : nullptr;
  if (clip) clip->setIsReadyForShadow(false);
  w->setFullScreenMask(true);
  const QRect screen = w->screenFrame();
  QPointer<IMCenterClipView> keptClip = clip;
  std::weak_ptr<int> alive = alive_;
  ui::AnimationContext::runAnimationGroup(
      [&](ui::AnimationContext& context) {
        context.setDuration(std::max(0.0, duration - 0.2));
        context.animate(w, "frame", screen);
      },
      [this, alive, keptClip, w = QPointer<ui::Window>(w), screen] {
        if (keptClip) keptClip->setIsReadyForShadow(true);
        if (w) w->setFrameNow(screen);
        if (!alive.expired()) didLoadFullScreenAnimated(true);
      });
}

void IMWindowController::windowStartCustomAnimationToExitFullScreenWithDuration(ui::Window* w,
                                                                                double duration) {
  w->setFullScreenMask(false);
  if (graphicScrollView_) {
    graphicScrollView_->setBackgroundColor(
        QColor::fromRgbF(kWindowGround, kWindowGround, kWindowGround, 1));
    graphicScrollView_->setFrameShape(QFrame::StyledPanel);
  }
  const QRect back =
      frameForNonFullScreenMode_.isValid() ? frameForNonFullScreenMode_ : w->normalGeometry();
  std::weak_ptr<int> alive = alive_;
  ui::AnimationContext::runAnimationGroup(
      [&](ui::AnimationContext& context) {
        context.setDuration(duration);
        context.animate(w, "frame", back);
        if (statusBoxHeight_) statusBoxHeight_->animateConstant(context, defaultStatusBoxHeight_);
        if (bottomSpace_) bottomSpace_->animateConstant(context, defaultStatusBoxHeight_);
      },
      [this, alive, w = QPointer<ui::Window>(w), back] {
        if (w) w->setFrameNow(back);
        if (w && !alive.expired()) restoreViewAfterFullScreen();
      });
}

// Full screen changed by the window manager or a restoration: the look
// follows at once.
void IMWindowController::windowDidChangeFullScreenState(ui::Window* w) {
  if (w->isInFullScreenMode()) {
    if (!frameForNonFullScreenMode_.isValid()) frameForNonFullScreenMode_ = w->normalGeometry();
    rememberViewBeforeFullScreen();
    didLoadFullScreenAnimated(false);
    return;
  }
  if (graphicScrollView_) {
    graphicScrollView_->setBackgroundColor(
        QColor::fromRgbF(kWindowGround, kWindowGround, kWindowGround, 1));
    graphicScrollView_->setFrameShape(QFrame::StyledPanel);
  }
  setWantsToHide(false, statusBoxHeight_, bottomSpace_, defaultStatusBoxHeight_, false);
  // The window manager gives the frame back after this.
  std::weak_ptr<int> alive = alive_;
  QTimer::singleShot(0, this, [this, alive] {
    if (!alive.expired()) restoreViewAfterFullScreen();
  });
}

void IMWindowController::rememberViewBeforeFullScreen() {
  zoomBeforeFullScreen_ = zoom();
  if (graphicScrollView_)
    scrollBeforeFullScreen_ = {graphicScrollView_->horizontalScrollBar()->value(),
                               graphicScrollView_->verticalScrollBar()->value()};
}

// The full screen's larger area moved the scroll position (and whatever
// followed the frames in between may have changed the zoom): the window
// comes back showing what it showed. Left at once by a restored window,
// there is nothing remembered and nothing to give back.
void IMWindowController::restoreViewAfterFullScreen() {
  if (zoomBeforeFullScreen_ <= 0 || !graphicScrollView_ || !mainView_ || isInFullScreenMode())
    return;
  if (QLayout* layout = window()->layout()) layout->activate();
  setZoom(zoomBeforeFullScreen_);
  mainView_->updateFrame();
  graphicScrollView_->horizontalScrollBar()->setValue(scrollBeforeFullScreen_.x());
  graphicScrollView_->verticalScrollBar()->setValue(scrollBeforeFullScreen_.y());
  zoomBeforeFullScreen_ = 0;
}

void IMWindowController::didLoadFullScreenAnimated(bool animated) {
  if (graphicScrollView_)
    graphicScrollView_->setBackgroundColor(
        QColor::fromRgbF(kFullScreenGround, kFullScreenGround, kFullScreenGround, 1));
  setWantsToHide(true, statusBoxHeight_, bottomSpace_, defaultStatusBoxHeight_, animated);
  std::shared_ptr<Settings> s = settings();
  if (graphicScrollView_ && s)
    graphicScrollView_->setFrameShape(
        !s->layersUIVisible() && !s->filtersUIVisible() ? QFrame::NoFrame : QFrame::StyledPanel);
}
