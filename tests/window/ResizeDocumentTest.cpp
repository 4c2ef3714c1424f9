// The resize popover as a user works it: a typed pixel size or percentage
// scales every layer and the canvas (one undo puts everything back), the
// canvas-size group changes only the canvas, the radio buttons reset what
// was typed, and values the image cannot take are refused with a beep.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "TestSupport.h"
#include "appkit/core/Beep.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/UndoManager.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMResizeImageSettings.h"
#include "window/IMWindowController.h"

namespace {

struct LayerPlace {
  double zoom;
  QPointF origin;
  bool operator==(const LayerPlace&) const = default;
};

// A 1600 × 1200 document of three layers of different sizes and places,
// with its resize popover open.
struct ResizeWindow {
  ResizeWindow() {
    ui::setBeepHandler([this] { ++beeps; });
    IMWindowController::installAsDocumentWindow();
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    window = dynamic_cast<IMWindowController*>(document->windowController());
    image = document->composedImage();
    image->setSize({1600, 1200});
    while (image->layersArray().size() < 3)
      Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
    for (int i = 0; i < 3; ++i) {
      QImage pixels(300 + 200 * i, 200 + 100 * i, QImage::Format_ARGB32_Premultiplied);
      pixels.fill(QColor(60 * i, 200, 100));
      Layer* layer = image->layersArray()[i];
      layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
      layer->setOrigin(QPointF(101 * i + 7, 53 * i + 3));
    }
    tst::spinUntil([&] { return window->isLayersPanelLoaded(); });
    tst::spinOnce();
    window->resizeDocumentPanel(nullptr);
    panel = window->resizeSettingsView();
  }
  ~ResizeWindow() {
    ui::setBeepHandler(nullptr);
    if (document) document->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QList<LayerPlace> places() const {
    QList<LayerPlace> list;
    for (Layer* layer : image->layersArray()) list.append({layer->zoom(), layer->origin()});
    return list;
  }
  static void type(QLineEdit* field, const QString& text) {
    field->setText(text);
    field->setModified(true);
    emit field->editingFinished();
  }

  int beeps = 0;
  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  ComposedImage* image = nullptr;
  IMResizeImageSettings* panel = nullptr;
};

}  // namespace

TEST(ResizeDocument, ATypedWidthScalesEveryLayerAndOneUndoRestoresThem) {
  ResizeWindow w;
  ASSERT_TRUE(w.panel && w.window->documentSizePopover()->isShown());
  EXPECT_EQ(w.window->resizeZoom(), 1);
  EXPECT_EQ(w.panel->canvasWidthField()->text(), "1600");
  EXPECT_TRUE(w.panel->canvasWidthField()->isEnabled());
  EXPECT_FALSE(w.panel->resizeWidthField()->isEnabled());
  w.panel->resizeRadioButton()->click();
  EXPECT_FALSE(w.panel->canvasWidthField()->isEnabled());
  ASSERT_TRUE(w.panel->resizeWidthField()->isEnabled());

  const QList<LayerPlace> before = w.places();
  ResizeWindow::type(w.panel->resizeWidthField(), "800");
  EXPECT_EQ(w.window->resizeZoom(), 0.5);
  EXPECT_EQ(w.panel->resizeHeightField()->text(), "600");
  EXPECT_EQ(w.panel->resizePercentField()->text(), "50");
  tst::saveArtifactImage(w.window->documentSizePopover()->grab().toImage(), "resize-panel.png");

  w.window->resizeDocument(nullptr);
  EXPECT_FALSE(w.window->documentSizePopover()->isShown());
  EXPECT_EQ(w.image->size(), QSizeF(800, 600));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(w.places()[i].zoom, 0.5 * before[i].zoom) << i;
  tst::spinOnce();
  ASSERT_TRUE(w.window->undoManager()->canUndo());
  w.window->undoManager()->undo();
  EXPECT_EQ(w.image->size(), QSizeF(1600, 1200));
  EXPECT_EQ(w.places(), before);
  EXPECT_EQ(w.beeps, 0);
}

// Factors give whole-pixel canvases, at least one pixel a side; the canvas
// group sets the size as typed and leaves the layers where they are.
TEST(ResizeDocument, FactorsRoundTheCanvasAndCanvasSizesLeaveTheLayers) {
  const struct {
    const char* percent;
    QSizeF size;
  } factors[] = {
      {"50", {800, 600}}, {"33.3333", {533, 400}}, {"0.01", {1, 1}}, {"250", {4000, 3000}}};
  for (const auto& f : factors) {
    ResizeWindow w;
    w.panel->resizeRadioButton()->click();
    ResizeWindow::type(w.panel->resizePercentField(), f.percent);
    w.window->resizeDocument(nullptr);
    EXPECT_EQ(w.image->size(), f.size) << f.percent;
  }
  ResizeWindow w;
  const QList<LayerPlace> before = w.places();
  w.window->resizeDocument(nullptr);  // untouched: nothing changes
  EXPECT_EQ(w.image->size(), QSizeF(1600, 1200));
  w.window->resizeDocumentPanel(nullptr);
  ResizeWindow::type(w.panel->canvasWidthField(), "500");
  ResizeWindow::type(w.panel->canvasHeightField(), "400");
  w.window->resizeDocument(nullptr);
  EXPECT_EQ(w.image->size(), QSizeF(500, 400));
  EXPECT_EQ(w.places(), before);
  // The button toggles the popover, and switching groups drops what was typed.
  w.window->resizeDocumentPanel(nullptr);
  ResizeWindow::type(w.panel->canvasWidthField(), "640");
  EXPECT_EQ(w.window->resizeCanvasWidth(), 640);
  w.panel->resizeRadioButton()->click();
  EXPECT_EQ(w.window->resizeCanvasWidth(), 500);
  EXPECT_EQ(w.panel->canvasWidthField()->text(), "500");
  w.window->resizeDocumentPanel(nullptr);
  EXPECT_FALSE(w.window->documentSizePopover()->isShown());
  EXPECT_EQ(w.beeps, 0);
}

TEST(ResizeDocument, ValuesTheImageCannotTakeAreRefusedWithABeep) {
  ResizeWindow w;
  const char* bad[] = {"0", "-5", "nan", "inf", "abc", "", "1e9", "70000"};
  struct Field {
    const char* name;
    QLineEdit* field;
    bool scaling;
  } fields[] = {{"canvas width", w.panel->canvasWidthField(), false},
                {"canvas height", w.panel->canvasHeightField(), false},
                {"scaled width", w.panel->resizeWidthField(), true},
                {"scaled height", w.panel->resizeHeightField(), true},
                {"percent", w.panel->resizePercentField(), true}};
  for (const Field& f : fields) {
    (f.scaling ? w.panel->resizeRadioButton() : w.panel->canvasRadioButton())->click();
    const QString shown = f.field->text();
    for (const char* value : bad) {
      const int beeps = w.beeps;
      ResizeWindow::type(f.field, value);
      EXPECT_EQ(w.beeps, beeps + 1) << f.name << " " << value;
      EXPECT_EQ(f.field->text(), shown) << f.name << " " << value;
    }
    EXPECT_EQ(w.window->resizeZoom(), 1) << f.name;
    EXPECT_EQ(w.window->resizeCanvasWidth(), 1600) << f.name;
    EXPECT_EQ(w.window->resizeCanvasHeight(), 1200) << f.name;
  }
  w.window->resizeDocument(nullptr);
  EXPECT_EQ(w.image->size(), QSizeF(1600, 1200));
}
