#include "window/IMLayersArrayController.h"

#include <QFileInfo>
#include <cmath>

#include "appkit/View.h"
#include "appkit/core/Beep.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "window/IMLayerRowView.h"
#include "window/IMLayersPanelWindow.h"
#include "window/IMTableView.h"
#include "window/IMWindowTools.h"
#include "window/LayerDetailsPopoverView.h"
#include "window/TextLayerDetailsPopoverView.h"

QList<Layer*> IMLayersArrayController::layersOf(const cd::ObjectList& objects) {
  QList<Layer*> layers;
  for (cd::ManagedObject* object : objects)
    if (auto* layer = dynamic_cast<Layer*>(object)) layers.append(layer);
  return layers;
}

IMLayersArrayController::IMLayersArrayController() {
  static const bool registered =
      (LayerDetailsPopoverView::registerNib(), TextLayerDetailsPopoverView::registerNib(), true);
  (void)registered;
  addAction("addNewLayer:", [this](QObject*) { addNewLayer(); });
  addAction("merge:", [this](QObject*) { merge(); });
  addAction("fill:", [this](QObject*) { fill(); });
  addAction("cutFromContextualMenu:", [this](QObject* sender) { cutFromContextualMenu(sender); });
  addAction("cropFromContextualMenuItem:",
            [this](QObject* sender) { cropFromContextualMenuItem(sender); });
  // Insertions and removals change the content without passing through
  // setContent: the rows' observations follow the content itself.
  addObserver(
      "content", 0,
      [this](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
        stopObservingLayers();
        observeLayers();
      },
      this);
}

// The table and its rows outlive their controller in the window's widgets:
// they let go of it while it is still whole.
IMLayersArrayController::~IMLayersArrayController() {
  stopObservingLayers();
  if (IMTableView* table = tableView()) {
    // A name field losing its focus as the window closes edits nothing.
    for (int row = 0; row < table->numberOfRows(); ++row)
      if (auto* view = qobject_cast<IMLayerRowView*>(table->viewAtColumn(0, row)))
        view->setNameEdited(nullptr);
    if (table->delegate() == this) table->setDelegate(nullptr);
    if (table->dataSource() == this) table->setDataSource(nullptr);
    table->bindContent(nullptr);
  }
}

void IMLayersArrayController::awakeFromNib() {
  if (tableView()) tableView()->setDelegate(this);
  IMGenericArrayController::awakeFromNib();
  if (tableView()) tableView()->registerForDraggedTypes(registeredTableViewDropTypes());
  installContextualMenu();
  if (auto* canvas = dynamic_cast<ui::View*>(mainView()))
    canvas->registerForDraggedTypes(registeredDragAndDropTypes());
}

ComposedImage* IMLayersArrayController::composedImage() const {
  return dynamic_cast<ComposedImage*>(contentOwner());
}

void IMLayersArrayController::setIsLoadedCallback(std::function<void()> callback) {
  isLoadedCallback_ = std::move(callback);
}

QString IMLayersArrayController::rowCopiedDataKeyPath() const {
  return QStringLiteral("image.%1").arg(QStringLiteral("nsImage"));
}

QVariant IMLayersArrayController::rowCopiedValue(cd::ManagedObject* object) const {
  auto* layer = dynamic_cast<Layer*>(object);
  Image* image = layer ? layer->image() : nullptr;
  return image ? QVariant::fromValue(image->nsImage()) : QVariant();
}

QString IMLayersArrayController::moveActionName() const { return fnd::localized("Move Layer"); }

QString IMLayersArrayController::deleteActionName() const { return fnd::localized("Delete Layer"); }

IMLayersPanelWindow* IMLayersArrayController::layersWindow() const {
  return dynamic_cast<IMLayersPanelWindow*>(windowController());
}

void IMLayersArrayController::redrawLayerRect(const QRectF& rect) {
  if (IMLayersPanelWindow* window = layersWindow()) window->setNeedsDisplayInLayerRect(rect);
}

// ---- Queries ----

bool IMLayersArrayController::atLeastOneLayerVisible(const QList<Layer*>& layers) {
  return std::any_of(layers.begin(), layers.end(), [](Layer* layer) { return layer->visible(); });
}

bool IMLayersArrayController::atLeastOneLayerVisible() const {
  return atLeastOneLayerVisible(arrangedLayers());
}

bool IMLayersArrayController::atLeastOneLayerSelected() const {
  return selectionIndexes().count() != 0;
}

bool IMLayersArrayController::atLeastOneLayerSelectedVisible() const {
  return atLeastOneLayerSelected() && atLeastOneLayerVisible(selectedLayers());
}

Layer* IMLayersArrayController::firstVisibleLayerLayersArray(const QList<Layer*>& layers) {
  for (Layer* layer : layers)
    if (layer->visible()) return layer;
  return nullptr;
}

Layer* IMLayersArrayController::topVisibleLayer() const {
  return firstVisibleLayerLayersArray(arrangedLayers());
}

Layer* IMLayersArrayController::topVisibleSelectedLayer() const {
  return firstVisibleLayerLayersArray(selectedLayers());
}

Layer* IMLayersArrayController::firstSelectedLayer() const {
  const QList<Layer*> layers = selectedLayers();
  return layers.isEmpty() ? nullptr : layers.first();
}

int IMLayersArrayController::arrangedIndexOfFirstSelectedRow() {
  if (selectionIndexes().isEmpty()) setSelectionIndex(0);
  return selectionIndex();
}

QList<Layer*> IMLayersArrayController::arrangedLayers() const {
  return layersOf(arrangedObjects());
}

QList<Layer*> IMLayersArrayController::selectedLayers() const {
  return layersOf(selectedObjects());
}

bool IMLayersArrayController::selectedLayersAreValideForDeletion() const {
  for (Layer* layer : selectedLayers())
    if (layer->visible() && layer->isCoreImage() && !layer->isText()) return true;
  return false;
}

gfx::ImagePtr IMLayersArrayController::imageOfLayers(const QList<Layer*>& layers,
                                                     const QRectF& rect) const {
  ComposedImage* image = composedImage();
  if (layers.isEmpty() || !image) return nullptr;
  return image->finalImageKeepAlpha(true, layers, rect);
}

gfx::ImagePtr IMLayersArrayController::imageOfLayersInRect(const QRectF& rect) const {
  return imageOfLayers(arrangedLayers(), rect);
}

gfx::ImagePtr IMLayersArrayController::imageOfLayers(const QList<Layer*>& layers) const {
  return imageOfLayers(layers, QRectF());
}

// ---- Inserting and removing ----

// A moved row keeps its name; anything else inserted gets the next default.
void IMLayersArrayController::insertObject(cd::ManagedObject* object, int arrangedIndex) {
  IMGenericArrayController::insertObject(object, arrangedIndex);
  if (auto* layer = dynamic_cast<Layer*>(object))
    layer->awakeFromInsertWithComposedImage(composedImage(), !removeIsFromAnIndexChangingOrder());
}

void IMLayersArrayController::removeObjectAtArrangedObjectIndex(int index) {
  auto* layer = dynamic_cast<Layer*>(arrangedObjects().value(index));
  const QRectF previous = layer ? layer->previousClippingRect() : QRectF();
  if (layer && layer->image() && !removeIsFromAnIndexChangingOrder())
    layer->image()->setNsImage(nullptr);
  IMGenericArrayController::removeObjectAtArrangedObjectIndex(index);
  redrawLayerRect(previous);
}

void IMLayersArrayController::setContent(const cd::ObjectList& objects) {
  IMGenericArrayController::setContent(objects);
  if (!isUILoaded() || isLoaded_ || !composedImage()) return;
  isLoaded_ = true;
  if (isLoadedCallback_) {
    auto callback = std::move(isLoadedCallback_);
    isLoadedCallback_ = nullptr;
    callback();
  }
}

void IMLayersArrayController::removeAndDeleteLayers(const QList<Layer*>& layers) {
  QList<int> indexes;
  const cd::ObjectList arranged = arrangedObjects();
  for (Layer* layer : layers)
    if (int index = int(arranged.indexOf(layer)); index >= 0) indexes.append(index);
  std::sort(indexes.begin(), indexes.end(), std::greater<int>());
  for (int index : indexes) {
    auto* layer = static_cast<Layer*>(arranged[index]);
    removeObjectAtArrangedObjectIndex(index);
    if (cd::ManagedObjectContext* context = layer->managedObjectContext())
      context->deleteObject(layer);
  }
}

// ---- A layer to work in ----

// An empty layer at the index is reused by a brush and replaced by a text
// layer; otherwise a new one goes there.
Layer* IMLayersArrayController::obtainANewLayerAtIndex(unsigned index, bool isText) {
  const QList<Layer*> layers = arrangedLayers();
  if (index > unsigned(layers.size())) index = 0;
  Layer* existing = index < unsigned(layers.size()) ? layers[int(index)] : nullptr;
  if (isText) {
    if (existing && existing->isEmpty()) removeAndDeleteLayers({existing});
  } else if (existing && existing->isEmpty()) {
    existing->setVisible(true);
    return existing;
  }
  ComposedImage* image = composedImage();
  cd::ManagedObjectContext* context = image ? image->managedObjectContext() : nullptr;
  Layer* layer = Layer::createLayerWithComposedImage(
      nullptr, context, false, isText ? QStringLiteral("TextLayer") : QStringLiteral("Layer"));
  if (!layer) return nullptr;
  insertObject(layer, int(index));
  layer->setVisible(true);
  return layer;
}

Layer* IMLayersArrayController::obtainANewLayerForEmptyComposedImageIsText(bool isText) {
  ComposedImage* image = composedImage();
  if (!image || !image->isEmpty()) return nullptr;
  const QList<Layer*> layers = arrangedLayers();
  if (!isText && !layers.isEmpty() && layers.first()->visible()) {
    setSelectionIndex(0);
    return layers.first();
  }
  return obtainANewLayerAtIndex(0, isText);
}

Layer* IMLayersArrayController::obtainANewLayerIsText(bool isText) {
  ComposedImage* image = composedImage();
  if (image && image->isEmpty()) return obtainANewLayerForEmptyComposedImageIsText(isText);
  const int first = selectionIndexes().firstIndex();
  return obtainANewLayerAtIndex(first < 0 ? IMLayerIndexNotFound : unsigned(first), isText);
}

// ---- Images into layers ----

// An index past the last layer (or "not found") means the top one.
void IMLayersArrayController::addImage(const gfx::ImagePtr& image, const QString& name,
                                       unsigned index) {
  const QList<Layer*> layers = arrangedLayers();
  if (index >= unsigned(layers.size())) index = 0;
  Layer* layer = layers.value(int(index));
  if (!layer || !image) return;
  ima_convertImageTo72dpi(image);
  if (layer->image()) layer->image()->setNsImage(image);
  if (!name.isNull()) layer->setName(QFileInfo(name).completeBaseName());
}

unsigned IMLayersArrayController::addLayerAndImage(const gfx::ImagePtr& image, const QString& name,
                                                   unsigned index, bool isTriggeredByUI) {
  return addLayerAndImage(image, name, {IMCenteredOriginSentinel, IMCenteredOriginSentinel}, index,
                          isTriggeredByUI);
}

unsigned IMLayersArrayController::addLayerAndImage(const gfx::ImagePtr& image, const QString& name,
                                                   const QPointF& origin, unsigned index,
                                                   bool isTriggeredByUI) {
  ComposedImage* composed = composedImage();
  const QSizeF size = image ? image->size() : QSizeF();
  if (!composed || size.isEmpty()) {
    ui::beep();
    return IMLayerIndexNotFound;
  }
  if (composed->isEmpty()) {
    obtainANewLayerForEmptyComposedImageIsText(false);
    addImage(image, name, 0);
    if (isTriggeredByUI) {
      composed->setSize(size);
      if (IMLayersPanelWindow* window = layersWindow())
        window->adjustZoomForDocumentToFitVisibleRect();
    }
    return 0;
  }
  if (index > unsigned(objectsCount())) index = 0;
  Layer* layer = obtainANewLayerAtIndex(index);
  addImage(image, name, index);
  QPointF placed = origin;
  const QRectF canvas = composed->rect();
  if (origin.x() == IMCenteredOriginSentinel || !QRectF(origin, size).intersects(canvas))
    placed = {std::floor(canvas.width() * 0.5 - size.width() * 0.5),
              std::floor(canvas.height() * 0.5 - size.height() * 0.5)};
  if (layer) layer->setOrigin(placed);
  return index;
}

// ---- Editing commands ----

// The selected layers become one, named after them, in the place of the
// topmost; the whole merge is one undo step.
void IMLayersArrayController::merge() {
  const QList<Layer*> selected = selectedLayers();
  ComposedImage* composed = composedImage();
  if (selected.isEmpty() || !composed) {
    ui::beep();
    return;
  }
  const int first = selectionIndexes().firstIndex();
  gfx::ImagePtr flattened = composed->finalImageKeepAlpha(true, selected);
  QString name;
  for (Layer* layer : selected) {
    const QString part = layer->name();
    if (part.isEmpty()) continue;
    name = name.isEmpty() ? part : name + QStringLiteral(" + ") + part;
  }
  fnd::UndoManager* undo = composed->managedObjectContext()->undoManager();
  composed->managedObjectContext()->processPendingChanges();
  if (undo) undo->beginUndoGrouping();
  removeAndDeleteLayers(selected);
  const unsigned index = addLayerAndImage(flattened, name, unsigned(first), false);
  // Unnamed layers merge into an unnamed one, not a default name.
  if (Layer* merged = arrangedLayers().value(int(index)); merged && name.isEmpty())
    merged->setName(QString());
  setSelectionIndex(first);
  composed->managedObjectContext()->processPendingChanges();
  if (undo) {
    undo->setActionName(fnd::localized("Merge Layers"));
    undo->endUndoGrouping();
  }
}

void IMLayersArrayController::selectedLayersMoveDelta(double dx, double dy) {
  const QList<Layer*> layers = selectedLayers();
  if (layers.isEmpty()) return ui::beep();
  for (Layer* layer : layers) {
    layer->setXOrigin(layer->xOrigin() + dx);
    layer->setYOrigin(layer->yOrigin() + dy);
  }
  setUndoActionName(fnd::localized("Nudge Layer"));
}

void IMLayersArrayController::deleteLayers(const QList<Layer*>& layers) {
  const QList<Layer*> deleted = layers.isEmpty() ? selectedLayers() : layers;
  if (deleted.isEmpty()) return;
  removeAndDeleteLayers(deleted);
  setUndoActionName(deleteActionName());
}

void IMLayersArrayController::deleteLayers(const QList<Layer*>& layers, const ci::Image& mask,
                                           const QRectF& dirtyRect, bool fillMode) {
  ComposedImage* composed = composedImage();
  if (!composed || !selectedLayersAreValideForDeletion()) return ui::beep();
  composed->deleteWithMask(mask, layers, dirtyRect, fillMode);
  setUndoActionName(fillMode ? fnd::localized("Fill Selection")
                             : fnd::localized("Erase Selection"));
  redrawLayerRect(dirtyRect);
}

// The contextual Delete follows the tools' selection as the Delete command does.
void IMLayersArrayController::customRemoveObjects(const cd::ObjectList& objects) {
  // No objects is a click beside the rows; the empty list would otherwise
  // stand for the selected layers.
  if (objects.isEmpty()) return;
  IMLayersPanelWindow* window = layersWindow();
  IMWindowTools* tool = window ? window->selectionTool() : nullptr;
  if (tool && tool->hasSelection())
    return deleteLayers(layersOf(objects), tool, tool->selectedRect());
  deleteLayers(layersOf(objects));
}

void IMLayersArrayController::fill() {
  ComposedImage* composed = composedImage();
  if (!composed || !selectedLayersAreValideForDeletion()) return ui::beep();
  composed->fillLayers(selectedLayers());
  setUndoActionName(fnd::localized("Fill Layer"));
  if (IMLayersPanelWindow* window = layersWindow()) window->setNeedsDisplay();
}

void IMLayersArrayController::addNewLayer() {
  ComposedImage* composed = composedImage();
  if (!composed) return ui::beep();
  fnd::UndoManager* undo = composed->managedObjectContext()->undoManager();
  composed->managedObjectContext()->processPendingChanges();
  if (undo) undo->beginUndoGrouping();
  const int first = selectionIndexes().firstIndex();
  Layer* layer =
      Layer::createLayerWithComposedImage(nullptr, composed->managedObjectContext(), false);
  if (layer) {
    insertObject(layer, std::max(first, 0));
    layer->setVisible(true);
    setSelectedObjects({layer});
  }
  composed->managedObjectContext()->processPendingChanges();
  if (undo) {
    undo->setActionName(fnd::localized("New Layer"));
    undo->endUndoGrouping();
  }
}

// ---- Table cells ----

QWidget* IMLayersArrayController::tableViewViewForTableColumn(ui::TableView*, const QString&,
                                                              int row) {
  Layer* layer = arrangedLayers().value(row);
  if (!layer) return nullptr;
  auto* view = new IMLayerRowView;
  view->setName(layer->name());
  view->setThumbnail(layer->imagePreview());
  view->setLayerVisible(layer->visible());
  view->setNameEdited([this, layer](const QString& name) {
    if (!arrangedObjects().contains(layer) || layer->name() == name) return;
    layer->setName(name);
    setUndoActionName(fnd::localized("Rename Layer"));
  });
  return view;
}

// Thumbnails arrive from the preview queue, names and visibility change by
// undo: the row shows them as they change.
void IMLayersArrayController::observeLayers() {
  observedLayers_ = arrangedLayers();
  for (Layer* layer : observedLayers_)
    for (const char* key : {"imagePreview", "name", "visible"})
      layer->addObserver(
          key, 0,
          [this, layer](fnd::Observable*, const QString&, const fnd::KeyValueChange&) {
            refreshRowOfLayer(layer);
          },
          this);
}

void IMLayersArrayController::stopObservingLayers() {
  for (Layer* layer : observedLayers_) layer->removeObserver(this);
  observedLayers_.clear();
}

void IMLayersArrayController::refreshRowOfLayer(Layer* layer) {
  const int row = int(arrangedObjects().indexOf(layer));
  if (!tableView() || row < 0) return;
  if (auto* view = qobject_cast<IMLayerRowView*>(tableView()->viewAtColumn(0, row))) {
    view->setName(layer->name());
    view->setThumbnail(layer->imagePreview());
    view->setLayerVisible(layer->visible());
  }
}
