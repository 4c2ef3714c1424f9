// The document window's tools: the chooser above the canvas, the tools
// controller made for each window and wired to the canvas, its overlays
// and selection, and the key and focus changes it follows.
#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "appkit/ScrollView.h"
#include "appkit/SegmentedControl.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

IMWindowController::ToolsControllerFactory& factory() {
  static IMWindowController::ToolsControllerFactory made;
  return made;
}

// Tells the tools when the canvas loses the keyboard focus.
class FocusWatcher : public QObject {
 public:
  FocusWatcher(QObject* parent, IMWindowTools* tools) : QObject(parent), tools_(tools) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusOut && tools_) tools_->canvasLostFocus();
    return false;
  }
  IMWindowTools* tools_;
};

}  // namespace

void IMWindowController::setToolsControllerFactory(ToolsControllerFactory made) {
  factory() = std::move(made);
}

QWidget* IMWindowController::makeCanvasColumn() {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* chooserRow = new QHBoxLayout;
  chooserRow->setContentsMargins(6, 4, 6, 4);
  toolsChooser_ = new ui::SegmentedControl;
  toolsChooser_->setObjectName("toolsChooser");
  chooserRow->addWidget(toolsChooser_);
  chooserRow->addStretch(1);
  layout->addLayout(chooserRow);
  graphicScrollView_ = new ui::ScrollView;
  mainView_ = new IMView;
  graphicScrollView_->setDocumentView(mainView_);
  layout->addWidget(graphicScrollView_, 1);
  if (factory()) toolsController_ = factory()();
  if (toolsController_) {
    toolsController_->setToolsChooser(toolsChooser_);
    mainView_->setRedirectResponder(toolsController_.get());
    mainView_->installEventFilter(new FocusWatcher(mainView_, toolsController_.get()));
  } else {
    toolsChooser_->hide();
  }
  return column;
}

// Once the canvas has its delegates: the tools are built and start with
// the look of a window that is not key.
void IMWindowController::prepareToolsController() {
  if (!toolsController_) return;
  toolsController_->setWindowController(this);
  if (toolbar_) {
    // The current tool's settings show at the toolbar's right end.
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(spacer);
    auto* place = new QWidget;
    place->setObjectName("toolSettingsStripPlace");
    toolbar_->addWidget(place);
    toolsController_->setToolSettingsStrip(place);
  }
  toolsController_->prepareTools();
  toolsController_->resignKey();
}

void IMWindowController::teardownTools() {
  if (!toolsController_) return;
  if (mainView_) mainView_->setRedirectResponder(nullptr);
  toolsController_->teardown();
  toolsController_->setWindowController(nullptr);
}

bool IMWindowController::toolsHaveSelection() {
  return toolsController_ && toolsController_->hasSelection();
}

void IMWindowController::updateEnablingOfTools() {
  if (toolsController_) toolsController_->updateEnablingOfTools();
}

void IMWindowController::notTransformedViewDrawingInRect(const QRectF& dirtyRect) {
  if (toolsController_ && !tornDown_) toolsController_->drawOverlaysInRect(dirtyRect);
}

// Window → canvas view → document, through the inverse of the canvas's zoom.
QPointF IMWindowController::documentPointForWindowPoint(const QPointF& point) {
  if (!mainView_) return point;
  const QPointF inView = mainView_->convertPointFromView(point, nullptr);
  return mainView_->zoomededRect(QRectF(inView, QSizeF()), true).topLeft();
}
