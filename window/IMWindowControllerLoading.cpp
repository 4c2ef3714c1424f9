// The document window's life: its views made in code, the loading steps,
// the observers of the model and of the save activity, the root let go of
// and taken up again around a revert, and the teardown.
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "appkit/ModalServices.h"
#include "appkit/ScrollView.h"
#include "appkit/Window.h"
#include "coredata/ManagedObjectContext.h"
#include "documents/IMDocument.h"
#include "foundation/Localized.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/IMAppResponder.h"
#include "window/IMBoxExtensions.h"
#include "window/IMCenterClipView.h"
#include "window/IMFiltersArrayController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTableView.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

constexpr int kLayersBoxWidth = 240;
constexpr int kStatusBoxHeight = 24;

}  // namespace

void IMWindowController::windowWillLoad() {
  windowIsRestored_ = false;
  if (ComposedImage* image = composedImage()) image->setSettings(std::make_shared<Settings>());
  setZoom(1, false);
}

// The window's layout: layers panel on the left, the canvas in its scroll
// view, a status bar with the indicator under them, the toolbar on top.
ui::Window* IMWindowController::loadWindow() {
  auto* window = new ui::Window;
  window->resize(1000, 700);
  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* row = new QHBoxLayout;
  row->setSpacing(0);
  column->addLayout(row, 1);

  layersBox_ = new QWidget;
  layersBox_->setObjectName("layersBox");
  layersBox_->setFixedWidth(kLayersBoxWidth);
  auto* panel = new QVBoxLayout(layersBox_);
  panel->setContentsMargins(6, 6, 6, 6);
  auto* title = new QLabel(fnd::localized("Layers"));
  title->setStyleSheet("font-weight: bold");
  panel->addWidget(title);
  layersTable_ = new IMTableView;
  // The row view shows the name; a column named after no layer key keeps
  // the table from drawing the name again under it.
  layersTable_->addTableColumn("layerRow", fnd::localized("Layer"));
  layersTable_->horizontalHeader()->hide();
  layersTable_->horizontalHeader()->setStretchLastSection(true);
  layersTable_->verticalHeader()->hide();
  layersTable_->verticalHeader()->setDefaultSectionSize(48);
  panel->addWidget(layersTable_, 1);
  row->addWidget(layersBox_);

  row->addWidget(makeCanvasColumn(), 1);
  row->addWidget(makeFiltersBox());

  auto* status = new QWidget;
  statusBox_ = status;
  status->setObjectName("statusBox");
  status->setFixedHeight(kStatusBoxHeight);
  auto* statusRow = new QHBoxLayout(status);
  statusRow->setContentsMargins(8, 2, 8, 2);
  statusRow->addWidget(imageResizeButton());
  statusRow->addStretch(1);
  loadSaveProgressIndicator_ = new QProgressBar;
  loadSaveProgressIndicator_->setFixedWidth(80);
  loadSaveProgressIndicator_->setTextVisible(false);
  statusRow->addWidget(loadSaveProgressIndicator_);
  makeStatusControls(statusRow);
  column->addWidget(status);
  window->setContentView(central);

  toolbar_ = new ui::Toolbar("MainWindowToolbar");
  toolbar_->setDelegate(this);
  window->addToolBar(toolbar_);
  return window;
}

void IMWindowController::windowDidLoad() {
  setZoom(1, false);
  if (toolbar_) toolbar_->setVisible(!(document() && document()->isInViewingMode()));
  setIndicatorAnimating(false);
  // The sizes as laid out, before anything hides a panel.
  defaultLayersBoxWidth_ = layersBox_->minimumWidth();
  defaultStatusBoxHeight_ = statusBox_->minimumHeight();
  makePanelConstraints();
  // Colour wells of the window choose colours with their opacity.
  ui::ModalServices::setColorPanelIgnoresAlpha(false);
  if (toolbar_ && hasSharingServices())
    toolbar_->insertItemWithItemIdentifier(QStringLiteral("SharingToolbarItem"), 4);
  // The canvas goes into the centring clip view, on a mid-grey ground.
  auto* clip = new IMCenterClipView;
  clip->setIsReadyForShadow(true);
  graphicScrollView_->setContentView(clip);
  graphicScrollView_->setDocumentView(mainView_);
  graphicScrollView_->setBackgroundColor(QColor::fromRgbF(0.5, 0.5, 0.5, 1));
  mainView_->setDrawingDelegate(this);
  mainView_->setSizeDelegate(this);
  // The layers panel takes the canvas's drops.
  mainView_->setRedirectDraggingDestination(layersController_.get());
  prepareToolsController();
  if (composedImage()) {
    layersController_->setTableView(layersTable_);
    layersController_->awakeFromNib();
  }
  bindModel();
  prepareFiltersPanel();
  observeOperationCount();
  addObservers();
  if (layersTable_) layersTable_->reloadData();
  window()->makeFirstResponder(mainView_);
  updateLayersAndFiltersUI();
  mainView_->updateFrame();
  setIndicatorAnimating(true);
  std::weak_ptr<int> alive = alive_;
  QTimer::singleShot(0, this, [this, alive] {
    if (!alive.expired()) deferredStepAfterLoad();
  });
}

// After any restoration: fit unless restored, thumbnails, settings delegate.
void IMWindowController::deferredStepAfterLoad() {
  if (!windowIsRestored_) fitFollowingTheWindowManager();
  IMAManagedObjectContext* context = managedObjectContext();
  if (!context) return;
  fnd::OperationQueue* queue = context->loadingAndSavingOperationQueue();
  if (!queue || queue->operationCount() == 0)
    setIndicatorAnimating(false);
  else
    operationCountChanged();
  showBoundModel();
}

// The document's root in the window: thumbnails made on this window's
// queue, the canvas following the canvas size, the layers panel showing
// the root's layers with the top one selected.
void IMWindowController::bindModel() {
  if (IMAManagedObjectContext* context = managedObjectContext())
    context->setCancellableOperationQueue(previewOperationQueue());
  ComposedImage* image = composedImage();
  if (!image) return;
  for (int i = 0; i < 2; ++i)
    canvasSizeTokens_[i] = image->addObserver(
        i ? "height" : "width", 0,
        [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
          if (mainView_) mainView_->updateFrame();
        },
        this);
  layersController_->setManagedObjectContext(image->managedObjectContext());
  layersController_->setContentRelationship(image, "layers");
  if (!layersController_->arrangedObjects().isEmpty()) layersController_->setSelectionIndex(0);
  if (mainView_) image->setLayerPreviewImagesSize(QSizeF(137, 96) * mainView_->devicePixelRatioF());
}

// The bound root's thumbnails are asked for, its settings report to this
// window and the title shows their zoom.
void IMWindowController::showBoundModel() {
  ComposedImage* image = composedImage();
  if (!image) return;
  for (Layer* layer : image->layersArray())
    if (!layer->imagePreview()) layer->updatePreviewImage();
  image->settings()->setDelegate(this);
  synchronizeWindowTitleWithDocumentName();
}

void IMWindowController::documentWillRevert() {
  if (tornDown_ || !isWindowLoaded()) return;
  reverting_ = true;
  unbindModel();
}

// The root after the read comes with fresh settings: the canvas is fitted
// as in a window that was not restored.
void IMWindowController::documentDidRevert() {
  if (tornDown_ || !isWindowLoaded()) return;
  reverting_ = false;
  bindModel();
  if (layersTable_) layersTable_->reloadData();
  updateLayersAndFiltersUI();
  if (mainView_) mainView_->updateFrame();
  adjustZoomForDocumentToFitVisibleRect();
  showBoundModel();
  setNeedsDisplay();
}

// The model's notifications. Whether one concerns this window is decided
// as it is posted, while its object is certainly alive; what the window
// does about it then runs on the main queue.
void IMWindowController::addObservers() {
  if (!observers_.empty()) return;
  fnd::NotificationCenter& center = fnd::NotificationCenter::defaultCenter();
  std::weak_ptr<int> alive = alive_;
  using Filter = std::function<bool(void*)>;
  auto add = [&](const QString& name, const void* object, Filter concerns,
                 std::function<void(void*)> action) {
    if (concerns)
      concerns = [this, concerns](void* subject) { return !reverting_ && concerns(subject); };
    observers_.push_back(center.addObserverForName(
        name, object, nullptr, [alive, concerns, action](const fnd::Notification& note) {
          if (alive.expired() || (concerns && !concerns(note.object))) return;
          void* subject = note.object;
          fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [alive, action, subject] {
            if (!alive.expired() && action) action(subject);
          });
        }));
  };
  // Whether the change is a layer's stored pixels arriving is read from
  // the post itself: by the time the redraw runs, an edit may have followed.
  observers_.push_back(center.addObserverForName(
      IMSelectedLayerDidChange, nullptr, nullptr, [this, alive](const fnd::Notification& note) {
        auto* layer = static_cast<Layer*>(note.object);
        if (alive.expired() || reverting_ || !layer || !ownsLayer(layer)) return;
        const bool arrival = note.userInfo.value(IMLayerPixelsArrivedKey).toBool();
        fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [this, alive, layer, arrival] {
          if (!alive.expired()) redrawChangedLayer(layer, arrival);
        });
      }));
  // The side panel shows whether its window is the one taking keys.
  add(ui::WindowDidBecomeKeyNotification, window(), nullptr, [this](void*) {
    if (toolsController_) toolsController_->becomeKey();
    becomeKey(layersBox_);
  });
  add(ui::WindowDidResignKeyNotification, window(), nullptr, [this](void*) {
    if (toolsController_) toolsController_->resignKey();
    resignKey(layersBox_);
  });
  add(
      IMManagedObjectDidChange, nullptr,
      [this](void* object) {
        auto* changed = static_cast<IMManagedObject*>(object);
        return object && changed->managedObjectContext() == managedObjectContext();
      },
      [this](void*) { resetCursorRectsOfMainView(); });
  add(
      IMSomeLayersChanged, nullptr,
      [this](void* object) { return object && object == composedImage(); },
      [this](void*) { setNeedsDisplay(); });
  // The document's context at the time of the save: a revert gives the
  // document a new one.
  auto ownContext = [this](void* object) { return object && object == managedObjectContext(); };
  add(cd::ManagedObjectContextWillSaveNotification, nullptr, ownContext,
      [this](void*) { setIndicatorAnimating(true); });
  add(cd::ManagedObjectContextDidSaveNotification, nullptr, ownContext,
      [this](void*) { setIndicatorAnimating(false); });
  // Undo and pasted filters change a layer's filters behind its list.
  add(
      IMLayerSnapshotEventNotification, nullptr,
      [this](void* object) { return object && ownsLayer(static_cast<Layer*>(object)); },
      [this](void* object) {
        if (filtersController_ && object == filtersController_->layer())
          showFiltersOfSelectedLayer();
      });
  add(IMComposedImageSnapshotEventNotification, nullptr, nullptr, nullptr);
}

// Where the layer was and where it is now are redrawn, each by itself (a
// layer dragged across the canvas leaves the space between alone), and the
// next change starts from here. The layer is looked for among this
// window's layers before it is used: it may have gone since the post.
void IMWindowController::redrawChangedLayer(Layer* layer, bool arrival) {
  ComposedImage* image = composedImage();
  if (!image || !image->layersArray().contains(layer)) return;
  const QRectF previous = layer->previousClippingRect();
  layer->updatePreviousClippingRect();
  const QRectF now = layer->previousClippingRect();
  if (arrival) {
    gatherArrivalRedraw(previous.united(now));
  } else {
    if (!previous.isEmpty()) setNeedsDisplayInLayerRect(previous);
    if (!now.isEmpty() && now != previous) setNeedsDisplayInLayerRect(now);
  }
  showIndicator();
}

bool IMWindowController::anyLayerArriving() const {
  ComposedImage* image = reverting_ ? nullptr : composedImage();
  if (!image) return false;
  const QList<Layer*> layers = image->layersArray();
  return std::any_of(layers.begin(), layers.end(),
                     [](Layer* layer) { return layer->image() && layer->image()->isArriving(); });
}

// Each arriving layer would redraw much of the view, a big document's many
// times over while it opens: arrivals are drawn at most once per interval,
// the first one and the last one at once. Edits never wait here.
void IMWindowController::gatherArrivalRedraw(const QRectF& layerRect) {
  if (layerRect.isEmpty()) return;
  gatheredArrivalRect_ = gatheredArrivalRect_.united(layerRect);
  const auto sinceLast = std::chrono::steady_clock::now() - lastArrivalDraw_;
  if (!anyLayerArriving() || sinceLast >= kArrivalRedrawInterval) {
    drawGatheredArrivals();
    return;
  }
  if (arrivalDrawPending_) return;
  arrivalDrawPending_ = true;
  const auto wait =
      std::chrono::duration_cast<std::chrono::milliseconds>(kArrivalRedrawInterval - sinceLast);
  std::weak_ptr<int> alive = alive_;
  QTimer::singleShot(wait, this, [this, alive] {
    if (alive.expired()) return;
    arrivalDrawPending_ = false;
    drawGatheredArrivals();
  });
}

void IMWindowController::drawGatheredArrivals() {
  const QRectF rect = std::exchange(gatheredArrivalRect_, QRectF());
  if (rect.isEmpty()) return;
  lastArrivalDraw_ = std::chrono::steady_clock::now();
  setNeedsDisplayInLayerRect(rect);
}

void IMWindowController::removeObservers() {
  fnd::NotificationCenter& center = fnd::NotificationCenter::defaultCenter();
  for (fnd::NotificationCenter::ObserverToken token : observers_) center.removeObserver(token);
  observers_.clear();
}

// The document's operation queue loads and stores layer images: the
// indicator turns while it has work. Counted and acted on on the main
// thread only, whichever thread the queue reports from.
void IMWindowController::observeOperationCount() {
  IMDocument* doc = myDocument();
  if (isObservingLoadingAndSavingOperationCountKeyPath_ || !doc) return;
  std::weak_ptr<int> alive = alive_;
  operationCountToken_ = doc->operationQueue()->addObserver(
      "operationCount", 0,
      [this, alive](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [this, alive] {
          if (!alive.expired()) operationCountChanged();
        });
      },
      this);
  isObservingLoadingAndSavingOperationCountKeyPath_ = true;
}

void IMWindowController::operationCountChanged() {
  IMDocument* doc = myDocument();
  const int count = doc ? doc->operationQueue()->operationCount() : 0;
  if (count == 0) {
    setIndicatorAnimating(false);
  } else if (operationCount_ == 0) {
    setIndicatorAnimating(true);
  }
  operationCount_ = count;
  showIndicator();
  // The queue publishes its count coalesced on the main loop and not at all
  // when it is back where it was last published: while work is pending the
  // count is read again, so an end between two publications still shows.
  if (count > 0 && !recheckPending_) {
    recheckPending_ = true;
    std::weak_ptr<int> alive = alive_;
    QTimer::singleShot(100, this, [this, alive] {
      if (alive.expired()) return;
      recheckPending_ = false;
      operationCountChanged();
    });
  }
}

void IMWindowController::setIndicatorAnimating(bool animating) {
  indicatorAnimating_ = animating;
  showIndicator();
}

// While an opened document's layers are still arriving, the indicator
// counts them in; after that it turns while load and save work goes on.
void IMWindowController::showIndicator() {
  if (!loadSaveProgressIndicator_) return;
  int layers = 0, arriving = 0;
  if (ComposedImage* image = reverting_ ? nullptr : composedImage())
    for (Layer* layer : image->layersArray()) {
      ++layers;
      if (layer->image() && layer->image()->isArriving()) ++arriving;
    }
  QProgressBar* indicator = loadSaveProgressIndicator_;
  if (arriving > 0) {
    indicator->setRange(0, layers);
    indicator->setValue(layers - arriving);
    indicator->setToolTip(
        fnd::localized("Loading layers: %1 of %2").arg(layers - arriving).arg(layers));
    indicator->setVisible(true);
    return;
  }
  indicator->setRange(0, indicatorAnimating_ ? 0 : 1);
  indicator->setToolTip(QString());
  indicator->setVisible(indicatorAnimating_);
}

// What bindModel took up goes: the thumbnails still waiting are of no use
// (the queue goes with this controller, so the context must not keep it),
// the canvas-size observers and the settings' delegate, and the layers
// panel's content with the observers of its rows.
void IMWindowController::unbindModel() {
  if (IMAManagedObjectContext* context = managedObjectContext();
      context && context->cancellableOperationQueue() == previewOperationQueue_.get())
    context->setCancellableOperationQueue(nullptr);
  if (previewOperationQueue_) previewOperationQueue_->cancelAllOperations();
  if (ComposedImage* image = composedImage()) {
    for (fnd::Observable::ObserverToken& token : canvasSizeTokens_)
      if (token) image->removeObserver(token);
    if (image->settings() && image->settings()->delegate() == this)
      image->settings()->setDelegate(nullptr);
  }
  for (fnd::Observable::ObserverToken& token : canvasSizeTokens_) token = 0;
  layersController_->setContentRelationship(nullptr, {});
  layersController_->setContent({});
  layersController_->setManagedObjectContext(nullptr);
}

// Every back-reference to this controller goes, once.
void IMWindowController::teardown() {
  if (tornDown_) return;
  tornDown_ = true;
  alive_.reset();
  removeObservers();
  unbindModel();
  IMDocument* doc = myDocument();
  if (isObservingLoadingAndSavingOperationCountKeyPath_ && doc)
    doc->operationQueue()->removeObserver(operationCountToken_);
  isObservingLoadingAndSavingOperationCountKeyPath_ = false;
  layersController_->setWindowController(nullptr);
  teardownFiltersPanel();
  teardownTools();
  if (mainView_) {
    mainView_->setDrawingDelegate(nullptr);
    mainView_->setSizeDelegate(nullptr);
    mainView_->setRedirectDraggingDestination(nullptr);
  }
  if (toolbar_) toolbar_->setDelegate(nullptr);
}
