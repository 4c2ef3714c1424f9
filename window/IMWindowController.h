#pragma once

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSlider>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "appkit/PictureTaker.h"
#include "appkit/Popover.h"
#include "appkit/ScrollView.h"
#include "appkit/SegmentedControl.h"
#include "appkit/Toolbar.h"
#include "appkit/WindowController.h"
#include "documents/IMPasteDestination.h"
#include "documents/IMRevertingWindow.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Observable.h"
#include "model/SettingsDelegate.h"
#include "window/CameraDeviceView.h"
#include "window/DeviceBrowserView.h"
#include "window/IMFiltersPanelWindow.h"
#include "window/IMImageCaptureWindow.h"
#include "window/IMLayersPanelWindow.h"
#include "window/IMResizeImageSettings.h"
#include "window/IMTableView.h"
#include "window/IMView.h"
#include "window/IMViewDrawingDelegate.h"
#include "window/IMViewSizeDelegate.h"
#include "window/IMWaitingWindow.h"
#include "window/IMWindowTools.h"
#include "window/ScannerDeviceView.h"

class ComposedImage;

namespace ui {
class LayoutConstraint;
class SharingServicePicker;
}  // namespace ui
namespace fnd {
class OperationQueue;
class UndoManager;
}  // namespace fnd
class IMAManagedObjectContext;
class IMDocument;
class IMLayersArrayController;
class IMFiltersArrayController;
class IMFilterParametersArrayController;
class QPushButton;

class Layer;
class QWidget;
class Settings;

// The window of one document: the canvas in its centring clip view, the
// layers panel on the left, a status bar with the load and save indicator
// and a toolbar. Installs the window's own Settings and keeps them in its
// restorable state, follows the model's notifications to redraw, and gives
// the layers panel and the document what they ask of their window.
class IMWindowController : public ui::WindowController,
                           public IMViewDrawingDelegate,
                           public IMViewSizeDelegate,
                           public IMLayersPanelWindow,
                           public SettingsDelegate,
                           public IMPasteDestination,
                           public IMRevertingWindow,
                           public ui::ToolbarDelegate,
                           public IMFiltersPanelWindow,
                           public DeviceBrowserViewDelegate,
                           public CameraDeviceViewDelegate,
                           public ScannerDeviceViewDelegate,
                           public ui::PopoverDelegate {
  Q_OBJECT
 public:
  IMWindowController();
  ~IMWindowController() override;

  // Makes every document's window with this class.
  static void installAsDocumentWindow();

  // A document letting go of its controller ends it, as closing does.
  void setDocument(ui::Document* document) override;

  // ---- Derived values ----
  IMDocument* myDocument() const;
  ComposedImage* composedImage() const;
  std::shared_ptr<Settings> settings() const;
  double zoom() override;
  IMAManagedObjectContext* managedObjectContext() const;
  bool ownsLayer(const Layer* layer) const;
  QList<Layer*> selectedLayers() const override;
  fnd::UndoManager* undoManager() const;
  // Where layer thumbnails are made, made on first use; from the window's
  // load on it is also the context's cancellable queue.
  fnd::OperationQueue* previewOperationQueue();
  // The images of the window's buttons, from the icon theme or drawn.
  gfx::ImagePtr imageFontPanel() const;
  gfx::ImagePtr imageAddTemplate() const;
  gfx::ImagePtr imageRemoveTemplate() const;
  gfx::ImagePtr imageIChatTheaterTemplate() const;

  // ---- Outlets ----
  IMLayersArrayController* layersController() const { return layersController_.get(); }
  IMView* mainViewCanvas() const { return mainView_; }
  ui::ScrollView* graphicScrollView() const { return graphicScrollView_; }
  IMTableView* layersTable() const { return layersTable_; }
  QWidget* layersBox() const { return layersBox_; }
  QProgressBar* loadSaveProgressIndicator() const { return loadSaveProgressIndicator_; }
  ui::Toolbar* toolbar() const { return toolbar_; }
  bool windowIsRestored() const { return windowIsRestored_; }
  // Whether redraws of arrived layers wait to be drawn together.
  bool hasGatheredArrivalRedraw() const { return !gatheredArrivalRect_.isEmpty(); }
  // The panel width and status bar height as laid out, recorded at load:
  // what a hidden panel or status bar comes back to.
  double defaultLayersBoxWidth() const { return defaultLayersBoxWidth_; }
  double defaultStatusBoxHeight() const { return defaultStatusBoxHeight_; }
  bool isIndicatorAnimating() const { return indicatorAnimating_; }
  int observerCount() const { return int(observers_.size()); }

  // ---- Geometry and redraws ----
  QRectF visibleRect() const;
  // Where drawing tools work: the visible part of the canvas grown by
  // `inset` on every side (a negative inset shrinks it).
  QRectF workableRectWithInset(double inset) const;
  bool documentFitIntoVisibleRect() const;
  void setNeedsDisplayInLayerRect(const QRectF& rect) override;
  void setNeedsDisplay() override;

  // ---- Zoom ----
  void setZoom(double zoom, bool updateTitle = true);
  void adjustZoomForDocumentToFitVisibleRect() override;

  // ---- Panels ----
  void updateLayersAndFiltersUI();
  void hideLayersAnimated(bool animated, bool hide) override;
  void setTabbedSettingsTab(qint64 tab) override;

  // ---- Window ----
  QString windowTitleForDocumentDisplayName(const QString& displayName) const override;
  void encodeRestorableStateWithCoder(fnd::KeyedArchiver& coder) override;
  void restoreStateWithCoder(fnd::KeyedUnarchiver& coder) override;
  void settingsDidChanged() override;
  bool windowShouldClose(ui::Window* window) override;
  void windowWillClose(ui::Window* window) override;
  bool validateUserInterfaceItem(const ui::UserInterfaceItem& item) override;
  // The window's own rows of the validation table; false when the action
  // is none of them.
  bool validateWindowActionItem(const QString& action, bool& enabled);

  // ---- Zoom about a point, fitting, the window to the image ----
  // A zoom that keeps the canvas point `viewPoint` (view coordinates) where
  // it is in the visible area, as a zoom about the pointer does.
  void setZoomKeepingViewPoint(double zoom, const QPointF& viewPoint);
  // The image's size on the canvas minus the visible area (view points);
  // negative where the image is smaller.
  QSizeF notVisibleComposedImageSize() const;
  // Grows or shrinks the window to show the whole image, keeping its left
  // and top edges, within the screen; nothing in full screen.
  void adjustWindowForMaximumVisibleRect();
  QSlider* zoomSlider() const { return zoomSlider_; }
  QLabel* zoomLabel() const { return zoomLabel_; }

  // ---- Full screen ----
  bool isInFullScreenMode() const;
  QRect frameForNonFullScreenMode() const { return frameForNonFullScreenMode_; }
  void setFrameForNonFullScreenMode(const QRect& frame) { frameForNonFullScreenMode_ = frame; }
  QList<ui::Window*> customWindowsToEnterFullScreenForWindow(ui::Window* window) override;
  QList<ui::Window*> customWindowsToExitFullScreenForWindow(ui::Window* window) override;
  void windowStartCustomAnimationToEnterFullScreenWithDuration(ui::Window* window,
                                                               double duration) override;
  void windowStartCustomAnimationToExitFullScreenWithDuration(ui::Window* window,
                                                              double duration) override;
  unsigned windowWillUseFullScreenPresentationOptions(ui::Window*, unsigned) override;
  void windowDidChangeFullScreenState(ui::Window* window) override;
  // The full-screen look: a darker ground, no status bar, no border when
  // both panels are hidden.
  void didLoadFullScreenAnimated(bool animated);

  // ---- Side panels and status bar ----
  void setWantsToHide(bool hide, ui::LayoutConstraint* sizeConstraint,
                      ui::LayoutConstraint* spaceConstraint, double defaultSize, bool animated);
  void hideFiltersAnimated(bool animated, bool hide);
  QWidget* filtersBox() const { return filtersBox_; }
  QWidget* statusBox() const { return statusBox_; }
  ui::SegmentedControl* uiVisibilitySegmentedControl() const { return uiVisibility_; }
  ui::LayoutConstraint* layersBoxWidthConstraint() const { return layersBoxWidth_; }
  ui::LayoutConstraint* filtersBoxWidthConstraint() const { return filtersBoxWidth_; }
  ui::LayoutConstraint* statusBoxHeightConstraint() const { return statusBoxHeight_; }
  ui::LayoutConstraint* mainScrollViewLeftHorizontalSpace() const { return leftSpace_; }
  ui::LayoutConstraint* mainScrollViewRightHorizontalSpace() const { return rightSpace_; }
  ui::LayoutConstraint* mainUIBoxBottomSpace() const { return bottomSpace_; }
  double defaultFiltersBoxWidth() const { return defaultFiltersBoxWidth_; }

  // ---- Waiting sheet ----
  // A null message shows "Please wait..."; nothing while a sheet is up.
  void launchProgressBarIndicatorWindowWithMessage(const QString& message);
  // The same after `milliseconds`, unless the sheet is hidden before then.
  void launchProgressBarIndicatorWindowWithMessageAfterDelay(const QString& message,
                                                             int milliseconds);
  // Ends the sheet, and a show still waiting for its delay never comes.
  void hideProgressBarIndicatorWindow();
  IMWaitingWindow* waitingWindow() const { return waitingWindow_; }

  // ---- Version browser ----
  void windowWillEnterVersionBrowser();
  void windowDidExitVersionBrowser();
  bool wasLayersHiddenBeforeVersion() const { return wasLayersHiddenBeforeVersion_; }
  bool wasFiltersHiddenBeforeVersion() const { return wasFiltersHiddenBeforeVersion_; }

  // ---- Adding pictures, sharing ----
  // A new layer with `image` at the first selected index (the top when none).
  void addImage(const gfx::ImagePtr& image);
  void addImageWithImagePicker();
  void pictureTakerDidEnd(ui::PictureTaker* taker, long returnCode);
  ui::PictureTaker* pictureTaker() const { return pictureTaker_; }
  // What this desktop offers to share the document with; none hides the
  // sharing item.
  bool hasSharingServices() const;
  void shareDocument(QObject* sender);
  ui::SharingServicePicker* sharingServicePicker() const { return sharingServicePicker_.get(); }

  // ---- Delegates of the canvas ----
  void viewDrawingRect(const QRectF& rect, bool forceCleanDrawing,
                       bool disableInterpolation) override;
  const void* paintedLayer() const override;
  void viewDrawingLayersInRect(const QRectF& rect, Layers layers,
                               bool disableInterpolation) override;
  QRectF contentOriginalRectForView() override;

  // ---- List panels ----
  ui::Responder* mainView() override;
  void resetCursorRectsOfMainView() override;
  bool toolsHaveSelection() override;
  void updateEnablingOfTools() override;
  QPointF documentPointForWindowPoint(const QPointF& point) override;
  IMWindowTools* selectionTool() override { return toolsController_.get(); }

  // ---- Tools ----
  // Makes each new window's tools controller; without one a window has no
  // tools and its canvas drops its events.
  using ToolsControllerFactory = std::function<std::unique_ptr<IMWindowTools>()>;
  static void setToolsControllerFactory(ToolsControllerFactory factory);
  IMWindowTools* toolsController() const { return toolsController_.get(); }
  ui::SegmentedControl* toolsChooser() const { return toolsChooser_; }
  void notTransformedViewDrawingInRect(const QRectF& dirtyRect) override;

  // ---- Pasting into a new window ----
  bool isLayersPanelLoaded() const override;
  void setLayersPanelLoadedCallback(std::function<void()> callback) override;

  // ---- Reverting ----
  // The read of a revert frees the document's objects: the window lets go
  // of the root, its layers and its settings before, and takes up the
  // document's root after as its loading does.
  void documentWillRevert() override;
  void documentDidRevert() override;

  // ---- Toolbar ----
  std::unique_ptr<ui::ToolbarItem> toolbarItemForItemIdentifier(ui::Toolbar* toolbar,
                                                                const QString& identifier,
                                                                bool willBeInserted) override;
  QStringList toolbarDefaultItemIdentifiers(ui::Toolbar* toolbar) override;

  // ---- Filters and parameters (IMWindowControllerFilters.cpp) ----
  IMFiltersArrayController* filtersController() const { return filtersController_.get(); }
  IMFilterParametersArrayController* filterParametersController() const {
    return filterParametersController_.get();
  }
  IMTableView* filtersTable() const { return filtersTable_; }
  IMTableView* filterParametersTable() const { return filterParametersTable_; }
  QWidget* sheetWindow() override;
  void selectFirstFilter() override;
  // ---- Pictures from scanners and cameras ----
  // The sheet while it is loaded; it owns itself and goes when closed.
  IMImageCaptureWindow* imageCaptureWindow() const { return imageCaptureWindow_; }
  void showImageCaptureUI(QObject* sender);
  void hideImageCaptureUI(QObject* sender);
  void sheetDidEnd(int returnCode);
  void willCloseImageCaptureWindow();
  void deviceBrowserView(DeviceBrowserView* browser, capture::DevicePtr device) override;
  void cameraDeviceView(CameraDeviceView* view, const capture::CameraFile& file,
                        const QUrl& location, const QByteArray& fileData,
                        const fnd::Error& error) override;
  void scannerDeviceView(ScannerDeviceView* view, const QUrl& url, const QByteArray& fileData,
                         const fnd::Error& error) override;
  void didReceiveImageAtLocation(const QUrl& url, const QByteArray& fileData,
                                 const fnd::Error& error);
  // The private folder the devices download into, made on first use.
  QString imageCaptureDownloadsFolder();

  // ---- Resizing the document ----
  ui::Popover* documentSizePopover() const { return documentSizePopover_; }
  QPushButton* imageResizeButton();
  IMResizeImageSettings* resizeSettingsView() const { return resizeSettings_; }
  double resizeCanvasWidth() const { return resizeCanvasWidth_; }
  double resizeCanvasHeight() const { return resizeCanvasHeight_; }
  double resizeZoom() const { return resizeZoom_; }
  // Each refuses (false, with a beep) a value that is not finite and
  // positive or that would make the image larger than the image limits.
  bool setResizeCanvasWidth(double width);
  bool setResizeCanvasHeight(double height);
  bool setResizeZoom(double zoom);
  void resizeDocumentPanel(QObject* sender);
  void resizeDocument(QObject* sender);
  void cancelResizeDocument(QObject* sender);
  void pressResizeCanvasRadioButton(QObject* sender);
  void pressResizeRadioButton(QObject* sender);
  void toggleEnableCanvasSizeBox(bool canvas);
  void closeReziseWindow();
  void popoverWillClose(ui::Popover* popover) override;

 protected:
  void windowWillLoad() override;
  ui::Window* loadWindow() override;
  void windowDidLoad() override;

 private:
  void addObservers();
  void removeObservers();
  void redrawChangedLayer(Layer* layer, bool arrival);
  bool anyLayerArriving() const;
  void gatherArrivalRedraw(const QRectF& layerRect);
  void drawGatheredArrivals();
  void observeOperationCount();
  void operationCountChanged();
  void setIndicatorAnimating(bool animating);
  void showIndicator();
  void deferredStepAfterLoad();
  // The first fit, made again while the window manager places the window.
  void fitFollowingTheWindowManager();
  // The view of the image before full screen, given back as it ends.
  void rememberViewBeforeFullScreen();
  void restoreViewAfterFullScreen();
  void bindModel();
  void showBoundModel();
  void unbindModel();
  void teardown();
  void addActions();
  void fillSelectionOrLayers();
  void copyOrDeleteSelection(bool isDelete);
  // The canvas in its scroll view under the tool chooser.
  QWidget* makeCanvasColumn();
  void prepareToolsController();
  void teardownTools();
  QWidget* makeFiltersPanel();
  void prepareFiltersPanel();
  void showFiltersOfSelectedLayer();
  void showParametersOfSelectedFilter();
  void teardownFiltersPanel();
  void addWindowActions();
  std::unique_ptr<ui::ToolbarItem> sharingToolbarItem(ui::Toolbar* toolbar);
  void hideLayersAction();
  void hideFiltersAction();
  void changeListsUIVisibility(QObject* sender);
  QWidget* makeFiltersBox();
  void makeStatusControls(class QHBoxLayout* statusRow);
  void makePanelConstraints();
  ui::SegmentedControl* makeVisibilityControl();
  void showZoom();
  void updateScrollViewBorder(bool layersVisible, bool filtersVisible);
  QSize windowToImage(const QSizeF& hidden);
  QSizeF imageSizeOnCanvas(double zoom) const;

  std::unique_ptr<IMLayersArrayController> layersController_;
  QPointer<IMView> mainView_;
  QPointer<ui::ScrollView> graphicScrollView_;
  QPointer<IMTableView> layersTable_;
  QPointer<QWidget> layersBox_;
  QPointer<QProgressBar> loadSaveProgressIndicator_;
  QPointer<QWidget> statusBox_;
  std::unique_ptr<fnd::OperationQueue> previewOperationQueue_;
  QPointer<ui::Toolbar> toolbar_;
  std::unique_ptr<IMWindowTools> toolsController_;
  QPointer<ui::SegmentedControl> toolsChooser_;
  std::vector<fnd::NotificationCenter::ObserverToken> observers_;
  fnd::Observable::ObserverToken operationCountToken_ = 0;
  fnd::Observable::ObserverToken canvasSizeTokens_[2] = {0, 0};
  bool isObservingLoadingAndSavingOperationCountKeyPath_ = false;
  int operationCount_ = 0;
  bool windowIsRestored_ = false;
  bool indicatorAnimating_ = false;
  bool tornDown_ = false;
  bool recheckPending_ = false;
  // Redraws of layers whose stored pixels arrived, drawn together at most
  // once per interval while an opened document's layers come in.
  static constexpr std::chrono::milliseconds kArrivalRedrawInterval{100};
  QRectF gatheredArrivalRect_;
  bool arrivalDrawPending_ = false;
  std::chrono::steady_clock::time_point lastArrivalDraw_;
  // Between a revert's will and did: notifications about the document's
  // objects are not this window's concern (its root is not to be fetched
  // while the document reads).
  std::atomic<bool> reverting_ = false;
  double defaultLayersBoxWidth_ = 0;
  double defaultStatusBoxHeight_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::shared_ptr<IMFiltersArrayController> filtersController_;
  std::shared_ptr<IMFilterParametersArrayController> filterParametersController_;
  QPointer<IMTableView> filtersTable_;
  QPointer<IMTableView> filterParametersTable_;
  fnd::Observable::ObserverToken filtersTokens_[2] = {0, 0};
  QPointer<QWidget> filtersBox_;
  QPointer<ui::SegmentedControl> uiVisibility_;
  QPointer<QSlider> zoomSlider_;
  QPointer<QLabel> zoomLabel_;
  ui::LayoutConstraint* layersBoxWidth_ = nullptr;
  ui::LayoutConstraint* filtersBoxWidth_ = nullptr;
  ui::LayoutConstraint* statusBoxHeight_ = nullptr;
  ui::LayoutConstraint* leftSpace_ = nullptr;
  ui::LayoutConstraint* rightSpace_ = nullptr;
  ui::LayoutConstraint* bottomSpace_ = nullptr;
  double defaultFiltersBoxWidth_ = 0;
  QRect frameForNonFullScreenMode_;
  double zoomBeforeFullScreen_ = 0;
  QPoint scrollBeforeFullScreen_;
  QPointer<IMWaitingWindow> waitingWindow_;
  std::shared_ptr<int> pendingWaitingSheet_;
  bool wasLayersHiddenBeforeVersion_ = false;
  bool wasFiltersHiddenBeforeVersion_ = false;
  QPointer<ui::PictureTaker> pictureTaker_;
  std::unique_ptr<ui::SharingServicePicker> sharingServicePicker_;
  // Image capture and resizing.
  void addImageCaptureActions();
  QPointer<IMImageCaptureWindow> imageCaptureWindow_;
  std::unique_ptr<QTemporaryDir> captureDownloads_;
  QPointer<ui::Popover> documentSizePopover_;
  QPointer<IMResizeImageSettings> resizeSettings_;
  QPointer<QPushButton> imageResizeButton_;
  double resizeCanvasWidth_ = 0;
  double resizeCanvasHeight_ = 0;
  double resizeZoom_ = 1;
};
