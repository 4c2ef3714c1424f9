#pragma once

#include <QPointF>
#include <QRectF>
#include <functional>
#include <limits>

#include "appkit/TableViewDataSource.h"
#include "graphics/Image.h"
#include "window/IMGenericArrayController.h"

class ComposedImage;
class Layer;
class IMLayersPanelWindow;

// The origin x that asks for an image centred on the canvas.
inline constexpr double IMCenteredOriginSentinel = -888888888.0;
// The arranged index a refused layer creation returns.
inline constexpr unsigned IMLayerIndexNotFound = std::numeric_limits<unsigned>::max();

// The layers panel's list and the place where the window and the tools ask
// for layers: which are selected or visible, a layer to paint or type into,
// a new layer holding an image, merging, moving, deleting and filling.
// Arranged index 0 is the top layer. Each row shows the layer's thumbnail
// and its name, edited in place.
class IMLayersArrayController : public IMGenericArrayController, public ui::TableViewDelegate {
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
  bool canCopyContent() const override { return true; }
  QString detailPopoverNibName() const override {
    return QStringLiteral("LayerDetailsPopoverView");
  }
  ui::RectEdge detailPopoverPreferedEdge() const override { return ui::MinXEdge; }

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
  void fill();
  // A new empty layer above the selected one, named by the composed image.
  void addNewLayer();
  void customRemoveObjects(const cd::ObjectList& objects) override;

  // After the text tool made or chose a layer: shows the panel (recording
  // it as visible), its first tab, and the selected layer's name for editing.
  void highlightCurrentSelectedLayerNameField();

  // Also makes this controller the table's cell delegate.
  void awakeFromNib();

  // ---- Table cells: thumbnail and editable name ----
  QWidget* tableViewViewForTableColumn(ui::TableView* table, const QString& column,
                                       int row) override;

 private:
  IMLayersPanelWindow* layersWindow() const;
  void redrawLayerRect(const QRectF& rect);
  void observeLayers();
  void stopObservingLayers();
  void refreshRowOfLayer(Layer* layer);
  QList<Layer*> observedLayers_;
  bool isLoaded_ = false;
  std::function<void()> isLoadedCallback_;
};
