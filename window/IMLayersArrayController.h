#pragma once

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QTextEdit>
#include <functional>
#include <limits>

#include "appkit/DraggingInfo.h"
#include "appkit/TableViewDataSource.h"
#include "coreimage/Image.h"
#include "graphics/Image.h"
#include "window/IMGenericArrayController.h"

class ComposedImage;
class Layer;
class IMLayersPanelWindow;
class IMWindowTools;
class TextLayerDetailsPopoverView;
namespace ui {
class Pasteboard;
}

// The origin x that asks for an image centred on the canvas.
inline constexpr double IMCenteredOriginSentinel = -888888888.0;
// The arranged index a refused layer creation returns.
inline constexpr unsigned IMLayerIndexNotFound = std::numeric_limits<unsigned>::max();

// The layers panel's list and the place where the window and the tools ask
// for layers: which are selected or visible, a layer to paint or type into,
// a new layer holding an image, merging, moving, deleting and filling.
// Arranged index 0 is the top layer. Each row shows the layer's thumbnail
// and its name, edited in place.
class IMLayersArrayController : public IMGenericArrayController,
                                public ui::TableViewDelegate,
                                public ui::DraggingDestination {
 public:
  IMLayersArrayController();
  ~IMLayersArrayController() override;

  // The composed image whose layers the list shows.
  ComposedImage* composedImage() const;
  bool isLoaded() const { return isLoaded_; }
  // Runs once, when the list first shows a composed image.
  void setIsLoadedCallback(std::function<void()> callback);

  // ---- Base-class hooks ----
  QString objectsClass() const override { return QStringLiteral("Layer"); }
  QString rowCopiedDataKeyPath() const override;
  // The layer's pixels: the key path's stored value is only their version.
  QVariant rowCopiedValue(cd::ManagedObject* object) const override;
  bool canCopyContent() const override { return true; }
  QString detailPopoverNibName() const override {
    return QStringLiteral("LayerDetailsPopoverView");
  }
  ui::RectEdge detailPopoverPreferedEdge() const override { return ui::MinXEdge; }
  QString moveActionName() const override;
  QString deleteActionName() const override;

  // ---- Queries ----
  static bool atLeastOneLayerVisible(const QList<Layer*>& layers);
  bool atLeastOneLayerVisible() const;
  bool atLeastOneLayerSelected() const;
  bool atLeastOneLayerSelectedVisible() const;
  static Layer* firstVisibleLayerLayersArray(const QList<Layer*>& layers);
  Layer* topVisibleLayer() const;
  Layer* topVisibleSelectedLayer() const;
  Layer* firstSelectedLayer() const;
  // Selects index 0 first when nothing is selected.
  int arrangedIndexOfFirstSelectedRow();
  int objectsCount() const { return int(arrangedObjects().size()); }
  int lastObjectArrangedIndex() const { return objectsCount() - 1; }
  QList<Layer*> arrangedLayers() const;
  QList<Layer*> selectedLayers() const;
  bool selectedLayersAreValideForDeletion() const;
  // Flattenings with alpha; null for no layers; the zero rect is the canvas.
  gfx::ImagePtr imageOfLayers(const QList<Layer*>& layers, const QRectF& rect) const;
  gfx::ImagePtr imageOfLayersInRect(const QRectF& rect) const;
  gfx::ImagePtr imageOfLayers(const QList<Layer*>& layers) const;

  // ---- Inserting and removing ----
  void insertObject(cd::ManagedObject* object, int arrangedIndex) override;
  void removeObjectAtArrangedObjectIndex(int index) override;
  void setContent(const cd::ObjectList& objects) override;
  // Removes the layers from the list and deletes them from the store.
  void removeAndDeleteLayers(const QList<Layer*>& layers);

  // ---- A layer to work in ----
  Layer* obtainANewLayerAtIndex(unsigned index, bool isText = false);
  Layer* obtainANewLayerForEmptyComposedImageIsText(bool isText = false);
  Layer* obtainANewLayerIsText(bool isText = false);

  // ---- Images into layers ----
  void addImage(const gfx::ImagePtr& image, const QString& name, unsigned index);
  unsigned addLayerAndImage(const gfx::ImagePtr& image, const QString& name, const QPointF& origin,
                            unsigned index, bool isTriggeredByUI);
  unsigned addLayerAndImage(const gfx::ImagePtr& image, const QString& name, unsigned index,
                            bool isTriggeredByUI);

  // New layers from the pasteboard's image files, else from its images,
  // from `index` on; false when it holds neither.
  bool addLayerWithPasteboard(const ui::Pasteboard& pasteboard, unsigned index);

  // ---- Copying and dropping (IMLayersArrayControllerCopy.cpp,
  //      IMLayersArrayControllerDropping.cpp) ----
  // The flattened layers (all arranged ones when none are given), cut to the
  // tool's selection when it has one, on the general pasteboard with the
  // rectangle they came from. A copy that cannot be made beeps and leaves
  // the pasteboard as it was.
  void copyLayers(const QList<Layer*>& layers, IMWindowTools* tool, const QRectF& rect);
  // With a selection, its pixels erased in the layers (all arranged ones
  // when none are given) and the selection dropped; without, the layers
  // themselves go (the selected ones when none are given).
  void deleteLayers(const QList<Layer*>& layers, IMWindowTools* tool, const QRectF& rect);
  void customCopyObjects(const cd::ObjectList& objects) override;
  // Types the canvas accepts; the list accepts them and copied filters.
  static const QStringList& registeredDragAndDropTypes();
  static const QStringList& registeredTableViewDropTypes();
  // Copy for filters, files and images, else none.
  static unsigned validateDropContentWithInfo(ui::DraggingInfo& info);
  unsigned tableViewValidateDrop(ui::TableView* table, ui::DraggingInfo& info, int row,
                                 ui::TableViewDropOperation operation) override;
  bool receiveDropWithInfo(ui::DraggingInfo& info, int arrangedIndex) override;
  // The canvas's drops: a new top layer centred under the mouse.
  unsigned draggingEntered(ui::DraggingInfo& info) override;
  bool performDragOperation(ui::DraggingInfo& info) override;

  // ---- Editing commands ----
  void merge();
  void selectedLayersMoveDelta(double dx, double dy);
  void selectedLayersUp() { selectedLayersMoveDelta(0, 1); }
  void selectedLayersDown() { selectedLayersMoveDelta(0, -1); }
  void selectedLayersLeft() { selectedLayersMoveDelta(-1, 0); }
  void selectedLayersRight() { selectedLayersMoveDelta(1, 0); }
  // Without a selection tool the layers themselves go (the selected ones
  // when none are given).
  void deleteLayers(const QList<Layer*>& layers);
  // Erases the masked part of `dirtyRect` (document coordinates; a null mask
  // is the whole rectangle) in the layers, or with `fillMode` paints it with
  // the first colour, and redraws it. Beeps instead when no selected layer
  // is a visible bitmap layer.
  void deleteLayers(const QList<Layer*>& layers, const ci::Image& mask, const QRectF& dirtyRect) {
    deleteLayers(layers, mask, dirtyRect, false);
  }
  void deleteLayers(const QList<Layer*>& layers, const ci::Image& mask, const QRectF& dirtyRect,
                    bool fillMode);
  void fill();
  // A new empty layer above the selected one, named by the composed image.
  void addNewLayer();
  void customRemoveObjects(const cd::ObjectList& objects) override;

  // ---- The list's contextual menu (IMLayersArrayControllerMenu.cpp) ----
  // Copies the layers under the click, then deletes them (or, with a
  // canvas selection, erases its pixels from them).
  void cutFromContextualMenu(QObject* sender);
  // Cuts the pixels of the layers under the click to the rectangle
  // selection; the canvas keeps its size.
  void cropFromContextualMenuItem(QObject* sender);
  // Copy, Cut, Delete and Crop on the table, sent to this controller.
  void installContextualMenu();
  bool validateUserInterfaceItem(const ui::UserInterfaceItem& item) override;

  // ---- The text popover ----
  // A text layer's double click opens its text; other layers their details.
  void doubleClick(QObject* sender) override;
  // Opens the text popover beside the row, all its text selected.
  void showTextSettings(int rowView);
  // After the text tool made or chose a layer: shows the panel (recording
  // it as visible), its first tab, and the text popover of the selected
  // layer to the right of its row, all its text selected for typing over.
  void highlightCurrentSelectedLayerNameField();
  void popoverWillShow(ui::Popover* popover) override;
  void textDidChange(QTextEdit* textView);
  void popoverWillClose(ui::Popover* popover) override;
  // Grows the open popover to show the whole text, one line per paragraph,
  // never below the size it opened with.
  void adjustPopoverSizeWithTextView(QTextEdit* textView);
  // The text popover's outlets, while it is open.
  QTextEdit* textView() const { return textView_; }
  QWidget* textScrollView() const { return textScrollView_; }
  QWidget* inspectorView() const { return inspectorView_; }
  double topVerticalSpaceConstraint() const { return topVerticalSpaceConstraint_; }
  // Connects a new text popover's outlets and edits to this controller.
  void connectTextPopover(TextLayerDetailsPopoverView* view);

  // Also makes this controller the table's cell delegate.
  void awakeFromNib();

  // ---- Table cells: thumbnail and editable name ----
  QWidget* tableViewViewForTableColumn(ui::TableView* table, const QString& column,
                                       int row) override;

 private:
  IMLayersPanelWindow* layersWindow() const;
  IMWindowTools* contextualTools() const;
  // The layers among managed objects, in their order.
  static QList<Layer*> layersOf(const cd::ObjectList& objects);
  void redrawLayerRect(const QRectF& rect);
  void observeLayers();
  void stopObservingLayers();
  void refreshRowOfLayer(Layer* layer);
  QList<Layer*> observedLayers_;
  QPointer<QTextEdit> textView_;
  QPointer<QWidget> textScrollView_;
  QPointer<QWidget> inspectorView_;
  double topVerticalSpaceConstraint_ = 0;
  QSize textPopoverInitialSize_;
  bool isLoaded_ = false;
  std::function<void()> isLoadedCallback_;
};
