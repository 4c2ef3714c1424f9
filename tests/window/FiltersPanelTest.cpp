// The filters and parameters panels of a document window as a user works
// them: a filter chosen in the browser, its parameters edited in their
// typed rows with the canvas following, and filters dragged onto a layer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTransform>

#include "TestSupport.h"
#include "appkit/FilterBrowserPanel.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/core/Pasteboard.h"
#include "coreimage/Filter.h"
#include "coreimage/FilterConstants.h"
#include "coreimage/FilterInput.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/UndoManager.h"
#include "graphics/CGImage.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMFilterParameterRowView.h"
#include "window/IMFilterParametersArrayController.h"
#include "window/IMFiltersArrayController.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTableView.h"
#include "window/IMWindowController.h"

namespace {

gfx::ImagePtr solid(int w, int h, QColor color) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// A window over 200 x 150: a red square on top of a white ground.
struct FiltersWindow {
  FiltersWindow() {
    Filter::loadFilters();
    IMWindowController::installAsDocumentWindow();
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    window = dynamic_cast<IMWindowController*>(document->windowController());
    ComposedImage* image = document->composedImage();
    image->setSize({200, 150});
    while (image->layersArray().size() < 2)
      Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
    const QList<Layer*> layers = image->layersArray();
    layers[0]->image()->setNsImage(solid(60, 60, QColor(220, 20, 20)));
    layers[0]->setXOrigin(70);
    layers[0]->setYOrigin(45);
    layers[1]->image()->setNsImage(solid(200, 150, Qt::white));
    for (Layer* layer : layers) layer->setVisible(true);
    window->window()->resize(1000, 760);
    window->layersController()->setSelectionIndex(0);
    tst::spinOnce();
  }
  ~FiltersWindow() {
    document->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  Layer* layer(int index) const {
    return window->layersController()->arrangedLayers().value(index);
  }
  QColor pixel(int x, int y) const {
    const gfx::ImagePtr flat = window->layersController()->imageOfLayersInRect(QRectF());
    auto context = gfx::GraphicsContext::bitmapContext(200, 150);
    {
      gfx::CurrentContextScope scope(context.get());
      flat->drawAtPoint(QPointF(0, 0), {}, gfx::CompositingOperation::Copy, 1.0);
    }
    return context->pixelColor(x, y);
  }
  IMFilterParameterRowView* row(int index) const {
    return qobject_cast<IMFilterParameterRowView*>(
        window->filterParametersTable()->viewAtColumn(0, index));
  }

  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
};

}  // namespace

// The browser finds the blur by category and by name and previews it on
// the layer; choosing it puts it on the layer, selected, with its radius
// in a number row that blurs the canvas as it changes, one undo per edit.
TEST(FiltersPanel, BrowserAddsAFilterWhoseNumberRowBlursTheCanvasLive) {
  FiltersWindow w;
  IMFiltersArrayController* filters = w.window->filtersController();
  filters->chooseAFilter(nullptr);
  ui::FilterBrowserPanel* browser = filters->filterBrowserPanel();
  ASSERT_TRUE(browser);
  EXPECT_EQ(browser->categories().value(0), "All");
  EXPECT_TRUE(browser->categories().contains("CICategoryBlur"));
  browser->selectCategory("CICategoryBlur");
  EXPECT_TRUE(browser->shownFilterNames().contains("CIGaussianBlur"));
  EXPECT_FALSE(browser->shownFilterNames().contains("CIColorMonochrome"));
  browser->selectCategory("All");
  browser->setSearchText("gaussian b");
  EXPECT_EQ(browser->shownFilterNames(), QStringList({"CIGaussianBlur"}));
  ASSERT_EQ(browser->filterName(), "CIGaussianBlur");
  const QImage preview = browser->previewImage();
  ASSERT_EQ(preview.size(), QSize(60, 60));
  EXPECT_LT(qAlpha(preview.pixel(0, 30)), 250) << "the square's edge is blurred";
  tst::saveArtifactImage(browser->grab().toImage(), "filter-browser.png");

  const QColor edgeBefore = w.pixel(72, 75);
  browser->finish(ui::FilterBrowserPanel::OK);
  tst::spinOnce();
  ASSERT_EQ(w.layer(0)->filtersArray().size(), 1);
  EXPECT_EQ(filters->selectionIndexes().firstIndex(), 0);
  EXPECT_EQ(w.window->filtersTable()->numberOfRows(), 1);
  EXPECT_NE(w.pixel(72, 75), edgeBefore) << "the canvas shows the blur";

  // The radius row: a number with a slider, as high as its kind needs.
  const QList<FilterParameter*> parameters = w.layer(0)->filtersArray()[0]->filterParametersArray();
  const int radius =
      int(std::find_if(parameters.begin(), parameters.end(),
                       [](FilterParameter* p) { return p->name() == "inputRadius"; }) -
          parameters.begin());
  ASSERT_LT(radius, parameters.size());
  IMFilterParameterRowView* row = w.row(radius);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->identifier(), "FloatParamRow");
  EXPECT_EQ(w.window->filterParametersTable()->rowHeight(radius),
            IMFilterParameterRowView::heightForIdentifier("FloatParamRow"));
  tst::saveArtifactImage(w.window->layersBox()->grab().toImage(), "filters-and-parameters.png");

  fnd::UndoManager* undo = w.window->undoManager();
  tst::spinOnce();
  const float before = parameters[radius]->floatValue();
  const QColor softly = w.pixel(72, 75);
  row->numberField()->setValue(25);
  tst::spinOnce();
  EXPECT_FLOAT_EQ(parameters[radius]->floatValue(), 25);
  EXPECT_NE(w.pixel(72, 75), softly) << "a wider blur reaches further";
  EXPECT_EQ(undo->undoActionName(), "Change " + parameters[radius]->readableName());
  undo->undo();
  tst::spinOnce();
  EXPECT_FLOAT_EQ(parameters[radius]->floatValue(), before) << "one undo takes the edit back";
  EXPECT_EQ(w.pixel(72, 75), softly);
}

// Each parameter kind gets its row, and the first selected point drives
// the canvas handle.
TEST(FiltersPanel, ParameterRowsFollowTheirKinds) {
  FiltersWindow w;
  IMFiltersArrayController* filters = w.window->filtersController();
  ASSERT_TRUE(filters->obtainANewFilterWithName("CIColorMonochrome", 0));
  ASSERT_TRUE(filters->obtainANewFilterWithName("CIZoomBlur", 0));
  filters->setSelectionIndex(1);
  tst::spinOnce();
  IMFilterParametersArrayController* list = w.window->filterParametersController();
  QStringList kinds;
  for (int i = 0; i < w.window->filterParametersTable()->numberOfRows(); ++i)
    kinds.append(w.row(i)->identifier());
  EXPECT_TRUE(kinds.contains("ColorParamRow")) << kinds.join(",").toStdString();
  EXPECT_TRUE(kinds.contains("FloatParamRow"));
  auto* monochrome = w.layer(0)->filtersArray()[1];
  const int colour = int(kinds.indexOf("ColorParamRow"));
  EXPECT_GT(w.window->filterParametersTable()->rowHeight(colour), 0);
  (void)monochrome;

  filters->setSelectionIndex(0);
  tst::spinOnce();
  QStringList vignette;
  for (int i = 0; i < w.window->filterParametersTable()->numberOfRows(); ++i)
    vignette.append(w.row(i)->identifier());
  const int point = int(vignette.indexOf("PointParamRow"));
  ASSERT_GE(point, 0) << vignette.join(",").toStdString();
  list->setSelectionIndexes({});
  EXPECT_EQ(list->currentSelectedFilterParameter(), nullptr);
  list->setSelectionIndexes(fnd::IndexSet::fromList({0, point}));
  EXPECT_EQ(list->currentSelectedFilterParameter(), list->arrangedObjects()[point]);
  w.row(point)->xField()->setValue(33);
  EXPECT_EQ(static_cast<FilterParameter*>(list->arrangedObjects()[point])->point().x(), 33);
}

// A filter row dragged onto the second layer's row goes onto that layer,
// the source keeping its own; with no layers left a filter is refused.
TEST(FiltersPanel, FilterRowsDropOntoLayers) {
  FiltersWindow w;
  IMFiltersArrayController* filters = w.window->filtersController();
  ASSERT_TRUE(filters->obtainANewFilterWithName("CIGaussianBlur", 0));
  ui::Pasteboard drag;
  ASSERT_TRUE(
      filters->tableViewWriteRowsWithIndexes(w.window->filtersTable(), fnd::IndexSet(0), drag));
  std::unique_ptr<QMimeData> data(drag.dragMimeData());
  IMTableView* layers = w.window->layersTable();
  const QPoint on = layers->rectOfRow(1).center();
  for (QEvent::Type type : {QEvent::DragEnter, QEvent::DragMove}) {
    QDragMoveEvent event(on, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier, type);
    QApplication::sendEvent(layers->viewport(), &event);
  }
  QDropEvent dropped(on, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(layers->viewport(), &dropped);
  EXPECT_EQ(w.layer(0)->filtersArray().size(), 1);
  ASSERT_EQ(w.layer(1)->filtersArray().size(), 1);
  EXPECT_EQ(w.layer(1)->filtersArray()[0]->name(), "CIGaussianBlur");
  EXPECT_EQ(w.window->layersController()->objectsCount(), 2) << "no new layer between rows";

  w.window->layersController()->setSelectionIndexes({});
  tst::spinOnce();
  EXPECT_EQ(filters->obtainANewFilterWithName("CIGaussianBlur", 0), nullptr);
}

// A filter dragged onto the layers list of a document with no layers is
// refused: no layer appears, and the saved store holds no filter of no
// layer (read by the sqlite3 shell).
TEST(FiltersPanel, AFilterDroppedOnAnEmptyLayersListLeavesNoFilterInTheStore) {
  if (!tst::haveTool("sqlite3")) GTEST_SKIP() << "sqlite3 missing";
  FiltersWindow w;
  IMFiltersArrayController* filters = w.window->filtersController();
  ASSERT_TRUE(filters->obtainANewFilterWithName("CIGaussianBlur", 0));
  ui::Pasteboard drag;
  ASSERT_TRUE(
      filters->tableViewWriteRowsWithIndexes(w.window->filtersTable(), fnd::IndexSet(0), drag));
  std::unique_ptr<QMimeData> data(drag.dragMimeData());
  IMLayersArrayController* layers = w.window->layersController();
  layers->removeAndDeleteLayers(layers->arrangedLayers());
  tst::spinOnce();
  ASSERT_EQ(layers->objectsCount(), 0);

  IMTableView* table = w.window->layersTable();
  const QPoint at(20, 10);
  for (QEvent::Type type : {QEvent::DragEnter, QEvent::DragMove}) {
    QDragMoveEvent event(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier, type);
    QApplication::sendEvent(table->viewport(), &event);
  }
  QDropEvent dropped(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(table->viewport(), &dropped);
  EXPECT_EQ(layers->objectsCount(), 0);

  const QString path = tst::tempPath("NoOrphanFilter.zova");
  bool saved = false;
  w.document->saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveAsOperation,
                        [&](const fnd::Error* failure) {
                          EXPECT_FALSE(failure);
                          saved = true;
                        });
  ASSERT_TRUE(tst::spinUntil([&] { return saved; }));
  QString output;
  ASSERT_EQ(
      tst::runTool("sqlite3", {path, "SELECT count(*) FROM ZFILTER; SELECT count(*) FROM ZLAYER"},
                   &output),
      0);
  EXPECT_EQ(output.trimmed(), "0\n0");
}

namespace {

// A filter with an image and a boolean: the layer shows the chosen image
// over its own extent, moved 10 points right while the boolean is on.
class ChosenPictureFilter : public ci::Filter {
 public:
  explicit ChosenPictureFilter(const QString& name, const QString& pictureKey = "inputPicture")
      : Filter(name, inputs(pictureKey)), pictureKey_(pictureKey) {}
  ci::Image outputImage() const override {
    const ci::Image own = imageValue(ci::kCIInputImageKey);
    const ci::Image chosen = imageValue(pictureKey_);
    ci::Image out =
        chosen.isNull() || own.isNull() ? own : chosen.imageByCroppingToRect(own.extent());
    if (numberValue("inputShifted") != 0)
      out = out.imageByApplyingTransform(QTransform::fromTranslate(10, 0));
    return out;
  }

 private:
  static QList<ci::FilterInput> inputs(const QString& pictureKey) {
    QList<ci::FilterInput> list;
    for (const auto& [key, cls, type] :
         {std::tuple{ci::kCIInputImageKey, ci::kClassCIImage, QString()},
          std::tuple{pictureKey, ci::kClassCIImage, QString()},
          std::tuple{QStringLiteral("inputShifted"), ci::kClassNSNumber,
                     ci::kCIAttributeTypeBoolean}}) {
      ci::FilterInput in;
      in.key = key;
      in.className = cls;
      in.type = type;
      if (cls == ci::kClassNSNumber) in.defaultValue = false;
      list.append(in);
    }
    return list;
  }
  QString pictureKey_;
};

// Finds the first row of `identifier` in the parameters panel (-1: none).
int rowWithIdentifier(const FiltersWindow& w, const QString& identifier) {
  for (int i = 0; i < w.window->filterParametersTable()->numberOfRows(); ++i)
    if (w.row(i)->identifier() == identifier) return i;
  return -1;
}

// Writes a 200 x 200 picture of one colour and chooses it in the image row.
void choosePicture(FiltersWindow& w, ui::ScriptedModalServices& dialogs, int row,
                   const QColor& colour) {
  const QString path = tst::tempPath(colour.name().mid(1) + ".png");
  QImage picture(200, 200, QImage::Format_ARGB32);
  picture.fill(colour);
  ASSERT_TRUE(picture.save(path));
  dialogs.answerOpenPanel({QUrl::fromLocalFile(path)});
  w.row(row)->imageWell()->click();
}

}  // namespace

// The first picture chosen for an image input: undo brings back what the
// input started with (its default image, or none: the layer itself), redo
// the picture, one step each.
TEST(FiltersPanel, UndoingTheFirstChosenPictureBringsBackTheDefault) {
  for (const QString key : {"inputBackgroundImage", "inputPicture"}) {
    SCOPED_TRACE(key.toStdString());
    const QString filterName = "TSFirstPicture" + key;
    ci::Filter::registerFilterName(
        filterName,
        [key](const QString& name) { return std::make_shared<ChosenPictureFilter>(name, key); },
        {{ci::kCIAttributeFilterCategories, QStringList{ci::kCICategoryStylize}}});
    FiltersWindow w;
    ASSERT_TRUE(w.window->filtersController()->obtainANewFilterWithName(filterName, 0));
    w.window->filtersController()->setSelectionIndex(0);
    tst::spinOnce();
    const int imageRow = rowWithIdentifier(w, "ImageParamRow");
    ASSERT_GE(imageRow, 0);
    const bool hasDefault = key == "inputBackgroundImage";
    ASSERT_TRUE(
        tst::spinUntil([&] { return (w.pixel(100, 75) != QColor(220, 20, 20)) == hasDefault; }));
    const QColor defaults[] = {w.pixel(75, 50), w.pixel(100, 75), w.pixel(125, 100)};
    fnd::UndoManager* undo = w.window->undoManager();
    tst::spinOnce();
    const QString stepBefore = undo->undoActionName();

    ui::ScriptedModalServices dialogs;
    const QColor blue(20, 40, 230);
    choosePicture(w, dialogs, imageRow, blue);
    ASSERT_TRUE(tst::spinUntil([&] { return w.pixel(100, 75) == blue; }));
    tst::spinOnce();
    EXPECT_TRUE(undo->undoActionName().startsWith("Change "));

    undo->undo();
    EXPECT_TRUE(tst::spinUntil([&] {
      return w.pixel(75, 50) == defaults[0] && w.pixel(100, 75) == defaults[1] &&
             w.pixel(125, 100) == defaults[2];
    })) << "undo brings the default back";
    EXPECT_EQ(undo->undoActionName(), stepBefore) << "one undo took the whole choice back";
    undo->redo();
    EXPECT_TRUE(tst::spinUntil([&] { return w.pixel(100, 75) == blue; })) << "redo the picture";
  }
}

// The image row takes a picture from the open panel and the boolean row a
// click; each changes the canvas and is undone alone.
TEST(FiltersPanel, ImageAndBooleanRowsChangeThePixelsOneUndoEach) {
  ci::Filter::registerFilterName(
      "TSChosenPicture",
      [](const QString& name) { return std::make_shared<ChosenPictureFilter>(name); },
      {{ci::kCIAttributeFilterCategories, QStringList{ci::kCICategoryStylize}}});
  FiltersWindow w;
  IMFiltersArrayController* filters = w.window->filtersController();
  ASSERT_TRUE(filters->obtainANewFilterWithName("TSChosenPicture", 0));
  filters->setSelectionIndex(0);
  tst::spinOnce();
  int imageRow = -1, boolRow = -1;
  for (int i = 0; i < w.window->filterParametersTable()->numberOfRows(); ++i) {
    if (w.row(i)->identifier() == "ImageParamRow" && w.row(i)->imageWell()) imageRow = i;
    if (w.row(i)->identifier() == "BoolParamRow") boolRow = i;
  }
  ASSERT_GE(imageRow, 0);
  ASSERT_GE(boolRow, 0);
  const QColor red(220, 20, 20), blue(20, 40, 230);
  fnd::UndoManager* undo = w.window->undoManager();
  tst::spinOnce();
  undo->removeAllActions();
  ASSERT_EQ(w.pixel(100, 75), red);

  // A first picture, then a second one: each choice is its own step.
  ui::ScriptedModalServices dialogs;
  const QColor green(30, 200, 60);
  for (const QColor& colour : {blue, green}) {
    const QString path = tst::tempPath(colour.name().mid(1) + ".png");
    QImage picture(200, 200, QImage::Format_ARGB32);
    picture.fill(colour);
    ASSERT_TRUE(picture.save(path));
    dialogs.answerOpenPanel({QUrl::fromLocalFile(path)});
    w.row(imageRow)->imageWell()->click();
    ASSERT_TRUE(tst::spinUntil([&] { return w.pixel(100, 75) == colour; }));
  }

  w.row(boolRow)->checkBox()->click();
  tst::spinOnce();
  EXPECT_EQ(w.pixel(72, 75), Qt::white) << "the picture moved right";
  EXPECT_EQ(w.pixel(135, 75), green);

  undo->undo();
  tst::spinOnce();
  EXPECT_EQ(w.pixel(72, 75), green) << "one undo takes the boolean back";
  EXPECT_FALSE(w.row(boolRow)->checkBox()->isChecked()) << "and the row shows it";
  undo->undo();
  ASSERT_TRUE(tst::spinUntil([&] { return w.pixel(100, 75) == blue; }))
      << "the next brings the first picture back";
  undo->redo();
  undo->redo();
  tst::spinOnce();
  EXPECT_TRUE(w.row(boolRow)->checkBox()->isChecked());
  EXPECT_EQ(w.pixel(72, 75), Qt::white);
}
