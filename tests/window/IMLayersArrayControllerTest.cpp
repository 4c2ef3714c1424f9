// The layers panel's controller on a document's layers: the layer it hands
// the tools, new layers holding images and where they land, merging,
// moving, deleting and filling, with their names and undo steps.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QSlider>
#include <QTextEdit>
#include <cmath>

#include "ListPanelDocument.h"
#include "TestSupport.h"
#include "appkit/Popover.h"
#include "appkit/core/Beep.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UndoManager.h"
#include "graphics/BezierPath.h"
#include "graphics/CGImage.h"
#include "graphics/GraphicsContext.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "model/TextLayer.h"
#include "window/IMLayerRowView.h"
#include "window/IMLayersArrayController.h"
#include "window/IMLayersPanelWindow.h"
#include "window/IMTableView.h"
#include "window/LayerDetailsPopoverView.h"
#include "window/TextLayerDetailsPopoverView.h"

namespace {

gfx::ImagePtr solid(int w, int h, QColor color) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// Straight colour at a document point (y up) of an image of the canvas size.
QColor pixelAt(const gfx::ImagePtr& image, int x, int y) {
  auto context =
      gfx::GraphicsContext::bitmapContext(int(image->size().width()), int(image->size().height()));
  {
    gfx::CurrentContextScope scope(context.get());
    image->drawAtPoint(QPointF(0, 0), {}, gfx::CompositingOperation::Copy, 1.0);
  }
  return context->pixelColor(x, y);
}

class RecordingLayersWindow : public IMLayersPanelWindow {
 public:
  ui::Responder* mainView() override { return nullptr; }
  void resetCursorRectsOfMainView() override {}
  bool toolsHaveSelection() override { return false; }
  void updateEnablingOfTools() override {}
  void setNeedsDisplayInLayerRect(const QRectF& rect) override { redrawn.append(rect); }
  void setNeedsDisplay() override { ++fullRedraws; }
  void adjustZoomForDocumentToFitVisibleRect() override { ++fits; }
  void hideLayersAnimated(bool, bool hide) override { layersHidden = hide; }
  void setTabbedSettingsTab(qint64 tab) override { tabs.append(tab); }
  QList<qint64> tabs;
  QList<QRectF> redrawn;
  int fullRedraws = 0, fits = 0;
  bool layersHidden = true;
};

// The panel as the window sets it up over a 100 x 80 canvas; layers named
// in `painted` get a 10 x 10 image.
struct LayersPanel {
  explicit LayersPanel(const QStringList& names, const QStringList& painted = {})
      : document(names) {
    document.composedImage->setSize({100, 80});
    document.composedImage->setLayerPreviewImagesSize({137, 96});
    for (Layer* layer : document.composedImage->layersArray()) {
      layer->setVisible(true);
      if (painted.contains(layer->name())) layer->image()->setNsImage(solid(10, 10, Qt::red));
    }
    document.context->processPendingChanges();
    document.context->undoManager()->removeAllActions();
    table.addTableColumn("layerRow", "Layer");
    controller.setTableView(&table);
    controller.setWindowController(&window);
    controller.awakeFromNib();
    controller.setContentRelationship(document.composedImage, "layers");
    ui::setBeepHandler([this] { ++beeps; });
  }
  ~LayersPanel() {
    ui::setBeepHandler(nullptr);
    controller.setContentRelationship(nullptr, {});
  }
  QStringList names() const { return namesOf(controller.arrangedObjects()); }
  Layer* layer(int index) const { return controller.arrangedLayers().value(index); }

  ListPanelDocument document;
  RecordingLayersWindow window;
  IMTableView table;
  IMLayersArrayController controller;
  int beeps = 0;
};

}  // namespace

TEST(IMLayersArrayController, MergeNamesTheLayerAfterTheMergedOnesAsOneUndoStep) {
  struct Case {
    QStringList names;
    QList<int> selected;
    QStringList after;
    int mergedIndex;
  };
  const Case cases[] = {
      {{"Top", "Sky", "", "Tree"}, {1, 2, 3}, {"Top", "Sky + Tree"}, 1},
      {{"", "", "Base"}, {0, 1}, {"", "Base"}, 0},
      {{"Sky", "Logo v1.2", "Base"}, {0, 1}, {"Sky + Logo v1", "Base"}, 0},
  };
  for (const Case& row : cases) {
    LayersPanel panel(row.names, row.names);
    panel.controller.setSelectionIndexes(fnd::IndexSet::fromList(row.selected));
    panel.controller.merge();
    EXPECT_EQ(panel.names(), row.after) << row.names.join(",").toStdString();
    EXPECT_EQ(panel.document.layerNames(), row.after);
    Layer* merged = panel.layer(row.mergedIndex);
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->origin(), QPointF(0, 0)) << "the flattening has the canvas size";
    EXPECT_EQ(merged->imageSize(), QSizeF(100, 80));
    fnd::UndoManager* undo = panel.document.context->undoManager();
    ASSERT_TRUE(undo->canUndo());
    EXPECT_EQ(undo->undoActionName(), "Merge Layers");
    undo->undo();
    EXPECT_EQ(panel.document.layerNames(), row.names) << "one undo gives every layer back";
    EXPECT_FALSE(undo->canUndo());
  }
  LayersPanel panel({"A", "B"}, {"A", "B"});
  panel.controller.setSelectionIndexes({});
  panel.controller.merge();
  EXPECT_EQ(panel.beeps, 1) << "merging needs a selected layer";
  EXPECT_EQ(panel.names(), QStringList({"A", "B"}));
}

TEST(IMLayersArrayController, LayersForToolsAreReusedReplacedOrMadeWithDefaultNames) {
  {  // An empty document with a visible top layer: painting reuses it.
    LayersPanel panel({"Only"});
    Layer* layer = panel.controller.obtainANewLayerIsText(false);
    EXPECT_EQ(layer, panel.layer(0));
    EXPECT_EQ(panel.controller.selectionIndexes(), fnd::IndexSet::fromList({0}));
    EXPECT_EQ(panel.names(), QStringList({"Only"}));
  }
  {  // ... an invisible one: a layer is obtained at index 0 (the empty one, shown).
    LayersPanel panel({"Only"});
    panel.layer(0)->setVisible(false);
    Layer* layer = panel.controller.obtainANewLayerForEmptyComposedImageIsText(false);
    EXPECT_EQ(layer, panel.layer(0));
    EXPECT_TRUE(layer->visible());
  }
  {  // A text click on an empty layer replaces it by a text layer at that index.
    LayersPanel panel({"A", "Empty", "C"}, {"A", "C"});
    Layer* text = panel.controller.obtainANewLayerAtIndex(1, true);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->isText());
    EXPECT_EQ(panel.controller.objectsCount(), 3);
    EXPECT_EQ(panel.layer(1), text);
    EXPECT_FALSE(panel.names().contains("Empty"));
  }
  {  // Past the end (and "not found") means index 0; each new layer counts up.
    LayersPanel panel({"A", "B"}, {"A", "B"});
    panel.controller.obtainANewLayerAtIndex(7)->image()->setNsImage(solid(4, 4, Qt::red));
    panel.controller.obtainANewLayerAtIndex(IMLayerIndexNotFound);
    EXPECT_EQ(panel.names(), QStringList({"untitled layer 2", "untitled layer 1", "A", "B"}));
  }
  {  // The New Layer command: a default name at the selection, one undo step.
    LayersPanel panel({"A", "B"}, {"A", "B"});
    panel.controller.setSelectionIndex(1);
    panel.controller.addNewLayer();
    EXPECT_EQ(panel.names(), QStringList({"A", "untitled layer 1", "B"}));
    EXPECT_EQ(panel.controller.selectionIndexes(), fnd::IndexSet::fromList({1}));
    fnd::UndoManager* undo = panel.document.context->undoManager();
    ASSERT_TRUE(undo->canUndo());
    EXPECT_EQ(undo->undoActionName(), "New Layer");
    undo->undo();
    EXPECT_EQ(panel.document.layerNames(), QStringList({"A", "B"}));
  }
  {  // A row moved by dragging keeps its name.
    LayersPanel panel({"A", "B", "C"}, {"A", "B", "C"});
    panel.controller.moveObjectsInArrangedObjectsFromIndexes(fnd::IndexSet::fromList({2}), 0);
    EXPECT_EQ(panel.names(), QStringList({"C", "A", "B"}));
  }
}

TEST(IMLayersArrayController, ImagesLandCentredUnlessTheirOriginMeetsTheCanvas) {
  struct Case {
    QPointF origin;
    QPointF placed;
  };
  const Case cases[] = {
      {{IMCenteredOriginSentinel, 5}, {45, 35}},
      {{20, 30}, {20, 30}},
      {{-9, -9}, {-9, -9}},
      {{100, 10}, {45, 35}},    // touches the edge only
      {{-500, 500}, {45, 35}},  // entirely outside
  };
  for (const Case& row : cases) {
    LayersPanel panel({"A", "B"}, {"A", "B"});
    const unsigned index = panel.controller.addLayerAndImage(
        solid(10, 10, Qt::blue), "/tmp/x/Photo.png", row.origin, 1, true);
    EXPECT_EQ(index, 1u);
    ASSERT_EQ(panel.controller.objectsCount(), 3);
    EXPECT_EQ(panel.layer(1)->name(), "Photo");
    EXPECT_EQ(panel.layer(1)->origin(), row.placed) << row.origin.x() << "," << row.origin.y();
    EXPECT_EQ(panel.window.fits, 0);
  }
  {  // Into an empty document the image sets the canvas size and the zoom fits.
    LayersPanel panel({"Empty"});
    EXPECT_EQ(panel.controller.addLayerAndImage(solid(30, 20, Qt::blue), {}, 5, true), 0u);
    EXPECT_EQ(panel.document.composedImage->size(), QSizeF(30, 20));
    EXPECT_EQ(panel.window.fits, 1);
    EXPECT_EQ(panel.names(), QStringList({"Empty"}));
  }
  {  // Past the end (and "not found") in a non-empty document means the top.
    LayersPanel panel({"A", "B"}, {"A", "B"});
    EXPECT_EQ(panel.controller.addLayerAndImage(solid(10, 10, Qt::blue), "Photo.png", 9, true), 0u);
    EXPECT_EQ(panel.controller.addLayerAndImage(solid(10, 10, Qt::green), "Shot.png",
                                                IMLayerIndexNotFound, true),
              0u);
    EXPECT_EQ(panel.names(), QStringList({"Shot", "Photo", "A", "B"}));
    panel.controller.addImage(solid(6, 6, Qt::yellow), "Over.png", 12);
    EXPECT_EQ(panel.names(), QStringList({"Over", "Photo", "A", "B"}));
    EXPECT_EQ(panel.layer(0)->imageSize(), QSizeF(6, 6));
    EXPECT_EQ(panel.layer(3)->imageSize(), QSizeF(10, 10)) << "the bottom layer is untouched";
  }
  LayersPanel panel({"A"}, {"A"});
  EXPECT_EQ(panel.controller.addLayerAndImage(nullptr, {}, 0, true), IMLayerIndexNotFound);
  EXPECT_EQ(panel.controller.addLayerAndImage(solid(0, 0, Qt::red), {}, 0, true),
            IMLayerIndexNotFound);
  EXPECT_EQ(panel.beeps, 2);
}

TEST(IMLayersArrayController, MovingDeletingAndFillingTheSelection) {
  LayersPanel panel({"A", "B", "C"}, {"A", "B"});
  panel.controller.setSelectionIndexes({});
  panel.controller.selectedLayersRight();
  EXPECT_EQ(panel.beeps, 1);
  EXPECT_FALSE(panel.controller.selectedLayersAreValideForDeletion());
  panel.controller.setSelectionIndexes(fnd::IndexSet::fromList({0, 1}));
  panel.controller.selectedLayersRight();
  panel.controller.selectedLayersUp();
  panel.controller.selectedLayersUp();
  EXPECT_EQ(panel.layer(0)->origin(), QPointF(1, 2));
  EXPECT_EQ(panel.layer(1)->origin(), QPointF(1, 2));
  EXPECT_EQ(panel.layer(2)->origin(), QPointF(0, 0));
  EXPECT_EQ(panel.controller.topVisibleSelectedLayer(), panel.layer(0));
  panel.layer(0)->setVisible(false);
  EXPECT_EQ(panel.controller.topVisibleSelectedLayer(), panel.layer(1));
  EXPECT_TRUE(panel.controller.selectedLayersAreValideForDeletion());
  panel.controller.fill();
  EXPECT_EQ(panel.window.fullRedraws, 1);

  panel.controller.deleteLayers({});
  EXPECT_EQ(panel.names(), QStringList({"C"}));
  EXPECT_EQ(panel.document.layerNames(), QStringList({"C"}));
  EXPECT_FALSE(panel.window.redrawn.isEmpty()) << "the canvas redraws where a layer was";

  LayersPanel many(QStringList(256, QString()));
  many.controller.setSelectionIndexes(fnd::IndexSet::range(0, 256));
  EXPECT_TRUE(many.controller.atLeastOneLayerSelected());
}

TEST(IMLayersArrayController, RowsShowThumbnailsAndEditNames) {
  LayersPanel panel({"A", "B"}, {"A"});
  panel.table.resize(260, 200);
  panel.table.show();
  for (Layer* layer : panel.controller.arrangedLayers()) layer->updatePreviewImage();
  panel.document.queue->waitUntilAllOperationsAreFinished();
  tst::spinUntil([&] { return panel.layer(0)->imagePreview() != nullptr; });
  tst::spinOnce();
  auto* row = qobject_cast<IMLayerRowView*>(panel.table.viewAtColumn(0, 0));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->name(), "A");
  const QImage thumb = row->thumbnailImage();
  EXPECT_EQ(thumb.pixelColor(thumb.width() / 2, thumb.height() / 2), QColor(Qt::red));

  row->nameField()->setText("Renamed");
  emit row->nameField()->editingFinished();
  EXPECT_EQ(panel.layer(0)->name(), "Renamed");
  panel.layer(1)->setName("Other");
  auto* second = qobject_cast<IMLayerRowView*>(panel.table.viewAtColumn(0, 1));
  ASSERT_TRUE(second);
  EXPECT_EQ(second->name(), "Other");
}

TEST(IMLayersArrayController, DetailPopoverShowsAndEditsVisibilityAndOpacity) {
  LayersPanel panel({"A", "B"}, {"A", "B"});
  panel.table.resize(260, 200);
  panel.table.show();
  panel.controller.setSelectionIndex(1);
  panel.controller.showDetail(1);
  ASSERT_TRUE(panel.controller.currentPopover());
  EXPECT_EQ(panel.controller.currentPopoverNibName(), "LayerDetailsPopoverView");
  auto* view =
      qobject_cast<LayerDetailsPopoverView*>(panel.controller.currentPopover()->contentView());
  ASSERT_TRUE(view);
  EXPECT_TRUE(view->visibleBox()->isChecked());
  EXPECT_EQ(view->opacitySlider()->value(), int(std::lround(panel.layer(1)->alpha() * 100)));
  fnd::UndoManager* undo = panel.document.context->undoManager();
  undo->beginUndoGrouping();  // as the event loop's group around a click
  view->visibleBox()->setChecked(false);
  view->opacitySlider()->setValue(40);
  panel.document.context->processPendingChanges();
  undo->endUndoGrouping();
  EXPECT_FALSE(panel.layer(1)->visible());
  EXPECT_NEAR(panel.layer(1)->alpha(), 0.4, 1e-6);
  EXPECT_TRUE(panel.layer(0)->visible()) << "only the row's layer changes";
  ASSERT_TRUE(undo->canUndo());
  undo->undo();
  EXPECT_TRUE(panel.layer(1)->visible());
}

// Pixels go under a mask only in the given layers, and only when a visible
// bitmap layer is selected: erased, or filled with the first colour.
TEST(IMLayersArrayController, DeletingUnderAMaskErasesOrFillsAndRedrawsTheRectangle) {
  LayersPanel panel({"A", "B"}, {"A", "B"});
  auto settings = std::make_shared<Settings>();
  settings->setColor1(Qt::green);
  panel.document.composedImage->setSettings(settings);
  const QRectF canvas(0, 0, 100, 80);
  // White over the left half of the painted 10 x 10 squares only.
  const ci::Image mask =
      ima_maskWithPath(gfx::BezierPath::bezierPathWithRect(QRectF(0, 0, 5, 80)), canvas);
  panel.controller.setSelectionIndexes(fnd::IndexSet::fromList({0, 1}));
  panel.controller.deleteLayers({panel.layer(0)}, mask, canvas);
  panel.controller.deleteLayers({panel.layer(1)}, mask, canvas, true);
  const gfx::ImagePtr a = panel.controller.imageOfLayers({panel.layer(0)});
  const gfx::ImagePtr b = panel.controller.imageOfLayers({panel.layer(1)});
  EXPECT_EQ(pixelAt(a, 2, 5).alpha(), 0) << "erased under the mask";
  EXPECT_EQ(pixelAt(a, 7, 5), QColor(Qt::red)) << "kept outside it";
  EXPECT_EQ(pixelAt(b, 2, 5), QColor(Qt::green)) << "filled with the first colour";
  EXPECT_EQ(pixelAt(b, 7, 5), QColor(Qt::red));
  EXPECT_EQ(panel.window.redrawn, QList<QRectF>({canvas, canvas}));
  EXPECT_EQ(panel.beeps, 0);

  Layer* text = panel.controller.obtainANewLayerAtIndex(0, true);
  panel.controller.setSelectedObjects({text});
  panel.window.redrawn.clear();
  panel.controller.deleteLayers({panel.layer(1)}, ci::Image(), canvas);
  EXPECT_EQ(panel.beeps, 1) << "a text layer has no pixels to delete";
  EXPECT_TRUE(panel.window.redrawn.isEmpty());
  EXPECT_EQ(pixelAt(panel.controller.imageOfLayers({panel.layer(1)}), 7, 5), QColor(Qt::red));
}

// A text layer opens its text instead of its details, from a double click
// or from the text tool; typing changes the layer as one undoable step,
// tells its window to redraw it, and the popover grows with the text.
TEST(IMLayersArrayController, TextLayersOpenTheirTextWhichEditsTheLayerAndSizesThePopover) {
  LayersPanel panel({"A", "B"}, {"A", "B"});
  panel.table.setGeometry(300, 100, 200, 200);  // room on either side for the popovers
  panel.table.show();
  auto* text = dynamic_cast<TextLayer*>(panel.controller.obtainANewLayerAtIndex(0, true));
  ASSERT_TRUE(text);
  panel.controller.setSelectionIndex(0);
  panel.controller.doubleClick(nullptr);
  ui::Popover* popover = panel.controller.currentPopover();
  ASSERT_TRUE(popover);
  EXPECT_EQ(panel.controller.currentPopoverNibName(), "TextLayerDetailsPopoverView");
  EXPECT_EQ(popover->shownEdge(), ui::MinXEdge);
  QTextEdit* view = panel.controller.textView();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->textCursor().selectedText(), text->attributedString().string())
      << "all of the text is selected to be typed over";
  const QSize opened = popover->contentSize();
  const QString family =
      gfx::fontOfAttributes(text->attributedString().attributesAtIndex(0)).familyName();

  int changes = 0;
  auto token = fnd::NotificationCenter::defaultCenter().addObserverForName(
      IMSelectedLayerDidChange, text, nullptr, [&](const fnd::Notification&) { ++changes; });
  fnd::UndoManager* undo = panel.document.context->undoManager();
  const QString typed = "A caption long enough to need a wider popover than it opened with";
  undo->beginUndoGrouping();
  view->insertPlainText(typed);
  panel.document.context->processPendingChanges();
  undo->endUndoGrouping();
  fnd::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(text->attributedString().string(), typed);
  EXPECT_EQ(text->name(), typed);
  EXPECT_EQ(gfx::fontOfAttributes(text->attributedString().attributesAtIndex(0)).familyName(),
            family)
      << "typed text keeps the style of the text it replaced";
  EXPECT_GT(changes, 0) << "the window hears of the change and redraws the layer";
  EXPECT_GT(popover->contentSize().width(), opened.width());
  EXPECT_GE(popover->contentSize().height(), opened.height());
  EXPECT_GE(view->viewport()->width(), view->document()->idealWidth())
      << "the widest line is not wrapped";
  tst::spinOnce();
  const QString path = tst::tempPath("layers-text-popover.png");
  ASSERT_TRUE(popover->grab().save(path));
  tst::saveArtifact(path, "layers-text-popover.png");
  undo->undo();
  EXPECT_EQ(text->attributedString().string(), " ") << "one undo gives the old text back";

  panel.controller.doubleClick(nullptr);
  EXPECT_FALSE(panel.controller.currentPopover()) << "a second double click closes it";
  panel.controller.setSelectionIndex(1);
  panel.controller.doubleClick(nullptr);
  EXPECT_EQ(panel.controller.currentPopoverNibName(), "LayerDetailsPopoverView");

  // The text tool's call: the hidden panel shows, its first tab, and the
  // text popover opens to the right of the selected row.
  panel.document.composedImage->setSettings(std::make_shared<Settings>());
  panel.document.composedImage->settings()->setLayersUIVisible(false);
  panel.window.layersHidden = true;
  panel.controller.setSelectionIndex(0);
  panel.controller.highlightCurrentSelectedLayerNameField();
  EXPECT_FALSE(panel.window.layersHidden);
  EXPECT_EQ(panel.window.tabs, QList<qint64>({0}));
  ASSERT_TRUE(panel.controller.currentPopover());
  EXPECT_EQ(panel.controller.currentPopoverNibName(), "TextLayerDetailsPopoverView");
  EXPECT_EQ(panel.controller.currentPopover()->shownEdge(), ui::MaxXEdge);
  ASSERT_TRUE(panel.controller.textView());
  EXPECT_EQ(panel.controller.textView()->textCursor().selectedText(), " ");
}
