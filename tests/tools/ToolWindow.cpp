#include "ToolWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QUrl>
#include <QWheelEvent>

#include "TestSupport.h"
#include "appkit/ClipView.h"
#include "appkit/ScrollView.h"
#include "appkit/Window.h"
#include "documents/IMDocument.h"
#include "foundation/OperationQueue.h"
#include "foundation/UndoManager.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMLayersArrayController.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"
#include "window/ThreeLayerDocument.h"

void RecordingBrush::mouseDownAtLocation(const QPointF& location) {
  calls.push_back({'d', location, currentState()});
}

void RecordingBrush::mouseDraggedAtLocation(const QPointF& location) {
  calls.push_back({'m', location, currentState()});
  if (Layer* layer = toolsController()->workingLayer())
    layer->setOrigin(layer->origin() + (location - lastLocation()));
}

void RecordingBrush::mouseUpAtLocation(const QPointF& location) {
  calls.push_back({'u', location, currentState()});
}

void RecordingToolsController::makeTools() {
  IMToolsController::makeTools();
  replaceToolAtIndex(1, IMTool::toolWithToolsController<RecordingBrush>(this));
}

namespace {

using wintest::storeThreeLayerDocument;

}  // namespace

ToolWindow::ToolWindow(bool recordingBrush) {
  IMWindowController::installAsDocumentWindow();
  if (recordingBrush)
    IMWindowController::setToolsControllerFactory(
        [] { return std::make_unique<RecordingToolsController>(); });
  else
    IMWindowController::setToolsControllerFactory(
        [] { return std::make_unique<IMToolsController>(); });
  const QString path = tst::tempPath("Tools.zova");
  if (!storeThreeLayerDocument(path)) return;
  bool done = false;
  controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true,
                                           [&](ui::Document* opened, bool, const fnd::Error*) {
                                             document = qobject_cast<IMDocument*>(opened);
                                             done = true;
                                           });
  if (!tst::spinUntil([&] { return done; }) || !document) return;
  window = dynamic_cast<IMWindowController*>(document->windowController());
  if (!window) return;
  window->window()->resize(1000, 700);
  // The drag tool is chosen once the window has loaded, and the canvas fitted.
  tst::spinUntil([&] { return tools() && tools()->selectedTool() && layers()->isLoaded(); });
  // The drag tool is chosen on a later turn of the main queue: a test's own
  // choice of tool must come after it.
  tst::spinUntil([] { return fnd::OperationQueue::mainQueue()->operationCount() == 0; });
  tst::spinOnce();
  window->setZoom(1);
  layers()->setSelectionIndex(0);
  // The canvas first shows the layers whose pixels are in; a test starts
  // once every layer has arrived and been drawn, whatever the machine's load.
  tst::spinUntil([&] {
    for (Layer* layer : document->composedImage()->layersArray())
      if (layer->image()->isArriving()) return false;
    return true;
  });
  canvas()->setNeedsDisplay(true);
  tst::spinOnce();
}

ToolWindow::~ToolWindow() {
  if (document) document->close();
  tst::spinOnce();
  IMWindowController::setToolsControllerFactory(nullptr);
}

IMToolsController* ToolWindow::tools() const {
  return window ? dynamic_cast<IMToolsController*>(window->toolsController()) : nullptr;
}

RecordingBrush* ToolWindow::brush() const {
  return tools() ? tools()->toolForClass<RecordingBrush>() : nullptr;
}

IMView* ToolWindow::canvas() const { return window ? window->mainViewCanvas() : nullptr; }

IMLayersArrayController* ToolWindow::layers() const {
  return window ? window->layersController() : nullptr;
}

fnd::UndoManager* ToolWindow::undoManager() const {
  return window ? window->managedObjectContext()->undoManager() : nullptr;
}

QList<Layer*> ToolWindow::arrangedLayers() const { return layers()->arrangedLayers(); }

QStringList ToolWindow::layerNames() const {
  QStringList names;
  for (Layer* layer : arrangedLayers()) names.append(layer->name());
  return names;
}

Layer* ToolWindow::layerNamed(const QString& name) const {
  for (Layer* layer : arrangedLayers())
    if (layer->name() == name) return layer;
  return nullptr;
}

QPointF ToolWindow::widgetPointOf(const QPointF& documentPoint) const {
  return canvas()->pointToWidget(canvas()->transformation().transformPoint(documentPoint));
}

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, const QPointF& at, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, modifiers);
  QCoreApplication::sendEvent(widget, &event);
}

}  // namespace

void ToolWindow::pressWidget(const QPointF& at) {
  sendMouse(canvas(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, {});
}

void ToolWindow::dragWidget(const QPointF& at) {
  sendMouse(canvas(), QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton, {});
}

void ToolWindow::releaseWidget(const QPointF& at) {
  sendMouse(canvas(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, {});
}

void ToolWindow::press(const QPointF& p, Qt::KeyboardModifiers modifiers) {
  sendMouse(canvas(), QEvent::MouseButtonPress, widgetPointOf(p), Qt::LeftButton, Qt::LeftButton,
            modifiers);
}

void ToolWindow::drag(const QPointF& p, Qt::KeyboardModifiers modifiers) {
  sendMouse(canvas(), QEvent::MouseMove, widgetPointOf(p), Qt::NoButton, Qt::LeftButton, modifiers);
}

void ToolWindow::release(const QPointF& p, Qt::KeyboardModifiers modifiers) {
  sendMouse(canvas(), QEvent::MouseButtonRelease, widgetPointOf(p), Qt::LeftButton, Qt::NoButton,
            modifiers);
}

void ToolWindow::key(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
  QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, text);
  QCoreApplication::sendEvent(canvas(), &event);
}

void ToolWindow::keyUp(int qtKey, Qt::KeyboardModifiers modifiers) {
  QKeyEvent event(QEvent::KeyRelease, qtKey, modifiers);
  QCoreApplication::sendEvent(canvas(), &event);
}

void ToolWindow::gesture(Qt::NativeGestureType type, double value) {
  const QPointF at = widgetPointOf({200, 150});
  QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, at,
                            canvas()->mapToGlobal(at), canvas()->mapToGlobal(at), value, {}, 0);
  QCoreApplication::sendEvent(canvas(), &event);
}

void ToolWindow::wheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers) {
  const QPointF at = widgetPointOf({200, 150});
  QWheelEvent event(at, canvas()->mapToGlobal(at), QPoint(), angleDelta, Qt::NoButton, modifiers,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(canvas(), &event);
}

void ToolWindow::scrollToShow(const QRectF& documentRect) {
  ui::ScrollView* scroll = canvas()->enclosingScrollView();
  if (!scroll || !scroll->contentView()) return;
  ui::ClipView* clip = scroll->contentView();
  const QPointF middle = canvas()->transformRectFromDocumentToView(documentRect).center();
  const QRectF visible = scroll->documentVisibleRect();
  clip->scrollToPoint(
      clip->constrainScrollPoint(middle - QPointF(visible.width() / 2, visible.height() / 2)));
  scroll->reflectScrolledClipView(clip);
  tst::spinOnce();
}

void ToolWindow::forgetUndo() {
  window->managedObjectContext()->processPendingChanges();
  undoManager()->removeAllActions();
}
