#pragma once

#include <QPointer>
#include <QRectF>
#include <memory>
#include <typeinfo>
#include <vector>

#include "appkit/SegmentedControl.h"
#include "foundation/Observable.h"
#include "foundation/Timer.h"
#include "graphics/Image.h"
#include "tools/IMTool.h"
#include "window/IMWindowTools.h"

class ComposedImage;
class IMAManagedObjectContext;
class IMCIPointTool;
class IMCollectionViewController;
class IMCropMarkerTool;
class IMGradientTool;
class IMLassoTool;
class IMLayersArrayController;
class IMSelectionTool;
class IMView;
class IMWindowController;
class Layer;

// The owner of a document window's tools: the table of thirteen tools in
// chooser order, which one is current, the chooser bound to it, the
// selection the selection tools hold, the marching-ants timer, and the
// canvas's events, keys, gestures and cursor rectangles.
class IMToolsController : public fnd::Observable, public IMWindowTools {
 public:
  IMToolsController();
  ~IMToolsController() override;

  // Every document window made from now on gets a tools controller.
  static void installInDocumentWindows();

  // ---- The window ----
  void setWindowController(IMWindowController* windowController) override;
  IMWindowController* windowController() const { return windowController_; }
  void setToolsChooser(ui::SegmentedControl* chooser) override { toolsChooser_ = chooser; }
  ui::SegmentedControl* toolsChooser() const { return toolsChooser_; }
  void setToolSettingsStrip(QWidget* place) override { toolSettingsStrip_ = place; }
  IMCollectionViewController* collectionViewController() const {
    return collectionViewController_.get();
  }
  IMLayersArrayController* layersController() const;
  IMView* mainView() const;
  ComposedImage* composedImage() const;
  IMAManagedObjectContext* managedObjectContext() const;
  Layer* workingLayer() const;

  // ---- The tool table ----
  void prepareTools() override;
  void teardown() override;
  const std::vector<std::unique_ptr<IMTool>>& tools() const { return tools_; }
  qint64 selectedToolIndex() const { return selectedToolIndex_; }
  IMTool* selectedTool() const;
  IMTool* savedTool() const { return savedTool_; }
  bool trySetSelectedToolIndex(qint64 index);
  void setSelectedToolIndex(qint64 index) { trySetSelectedToolIndex(index); }
  void nextTool();
  void previousTool();
  template <class T>
  T* toolForClass() const {
    for (const auto& tool : tools_)
      if (auto* typed = dynamic_cast<T*>(tool.get())) return typed;
    return nullptr;
  }
  template <class T>
  bool selectToolOfClass() {
    return trySetSelectedToolIndex(indexOfTool(toolForClass<T>()));
  }
  // The first tool of exactly the class of `tool`.
  bool selectToolOfClassOf(const IMTool* tool);
  void selectDefaultTool();
  void resetCurentTool();
  void updateEnablingOfTools() override;
  void updateToolBarWithLogo(const gfx::ImagePtr& logo);
  qint64 indexOfTool(const IMTool* tool) const;

  // ---- Tools by role and the selection ----
  IMCIPointTool* CIPointTool() const;
  IMCropMarkerTool* rectSelectionTool() const;
  IMLassoTool* lassoSelectionTool() const;
  IMGradientTool* gradientTool() const;
  IMSelectionTool* selectionTool() const;
  bool hasSelection() override;
  bool hasRectSelection() const override;
  QRectF selectedRect() override;
  QRectF rectSelectedRect() const;
  void setRectSelectedRect(const QRectF& rect);
  void selectAll() override;
  void deselect() override;
  ci::Image selectionMaskWithSize(const QSize& size) override;
  void nonDestructiveCropLayers(const QList<Layer*>& layers) override;
  void destructiveCropLayers(const QList<Layer*>& layers) override;
  // Null without a selection.
  ci::Image applySelectionMaskToImage(const ci::Image& image);
  ci::Image applyMaskOnlyOnSelectedContent(const ci::Image& mask, const ci::Image& image);
  void selectLayerDragingTool() override;

  // ---- What the settings strip and the menus read ----
  bool usingColor() const { return true; }
  bool usingColor2() const;
  bool usingSize() const;
  bool usingRoundedRect() const;
  bool usingGradient() const;
  bool usingCITool() const;
  bool usingTextTool() const;
  bool usingLayerDragingTool() const;
  bool gesturesActOnLayers() const;

  // ---- Marching ants ----
  void startAnimation();
  void stopImmediatellyAnimation();
  void animateSelections();
  qint64 animationTime() const { return animationTime_; }
  bool isAnimating() const { return animationTimer_ && animationTimer_->isValid(); }

  // ---- Window hooks ----
  void becomeKey() override {}
  void resignKey() override {}
  void canvasLostFocus() override;
  void drawOverlaysInRect(const QRectF& dirtyRect) override;

  static unsigned altPressed(const ui::Event& event);
  static unsigned commandPressed(const ui::Event& event);

  // ---- Events of the canvas ----
  void mouseDown(ui::Event& event, const Fallback& fallbackHandler) override;
  void mouseUp(ui::Event& event, const Fallback& fallbackHandler) override;
  void mouseDragged(ui::Event& event, const Fallback& fallbackHandler) override;
  void beginGestureWithEvent(ui::Event& event, const Fallback& fallbackHandler) override;
  void endGestureWithEvent(ui::Event& event, const Fallback& fallbackHandler) override;
  void rotateWithEvent(ui::Event& event, const Fallback& fallbackHandler) override;
  void magnifyWithEvent(ui::Event& event, const Fallback& fallbackHandler) override;
  void swipeWithEvent(ui::Event& event, const Fallback& fallbackHandler) override;
  void keyDown(ui::Event& event, const Fallback& fallbackHandler) override;
  void keyUp(ui::Event& event, const Fallback& fallbackHandler) override;
  void flagsChanged(ui::Event& event, const Fallback& fallbackHandler) override;
  void resetCursorRects() override;
  unsigned modifierFlags() const { return modifierFlags_; }
  IMTool* previousToolInFlagsChanged() const { return previousToolInFlagsChanged_; }
  // Opens the gesture's undo group unless one is open.
  void startUndoGrouping();
  // Closes the gesture's group, if this controller opened one.
  void endGestureUndoGrouping();
  bool hasOpenGestureGroup() const { return gestureGroupOpen_; }
  // The tool that took the mouse-down of the gesture under way, if any.
  IMTool* trackingTool() const { return trackingTool_; }

  // ---- Key-value access for bindings ----
  QVariant valueForKey(const QString& key) const override;
  void setValueForKey(const QString& key, const QVariant& value) override;
  QSet<QString> keyPathsForValuesAffectingValueForKey(const QString& key) const override;

 protected:
  // Appends the thirteen tools in chooser order.
  virtual void makeTools();
  void appendTool(std::unique_ptr<IMTool> tool) { tools_.push_back(std::move(tool)); }
  void replaceToolAtIndex(size_t index, std::unique_ptr<IMTool> tool) {
    if (index < tools_.size()) tools_[index] = std::move(tool);
  }

 private:
  void buildChooser();
  void bindPointTool();
  void selectFromKey(QChar key);
  void moveWithArrow(char16_t arrow);

  IMWindowController* windowController_ = nullptr;
  QPointer<ui::SegmentedControl> toolsChooser_;
  std::vector<std::unique_ptr<IMTool>> tools_;
  qint64 selectedToolIndex_ = 0;
  qint64 animationTime_ = 0;
  unsigned modifierFlags_ = 0;
  IMTool* previousToolInFlagsChanged_ = nullptr;
  IMTool* savedTool_ = nullptr;
  IMTool* trackingTool_ = nullptr;
  std::shared_ptr<fnd::Timer> animationTimer_;
  bool gestureGroupOpen_ = false;
  bool prepared_ = false;
  QPointer<QWidget> toolSettingsStrip_;
  std::unique_ptr<IMCollectionViewController> collectionViewController_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
