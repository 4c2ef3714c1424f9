// The tool settings strip of a document window: the settings each tool
// shows, in order and at the strip's width, a missing view skipped, narrow
// views centred, and the colour wells choosing the colour tools paint with.
#include <gtest/gtest.h>

#include <QDoubleSpinBox>

#include "TestSupport.h"
#include "ToolPixels.h"
#include "ToolWindow.h"
#include "appkit/ScriptedModalServices.h"
#include "model/ComposedImage.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "tools/IMBezierPathTool.h"
#include "tools/IMCollectionControlItem.h"
#include "tools/IMCollectionViewController.h"
#include "tools/IMGradientTool.h"
#include "tools/IMSettingsColorWell.h"
#include "tools/IMSettingsNumberBox.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"

namespace {

QStringList shownNames(IMCollectionViewController* strip) {
  QStringList names;
  for (QWidget* view : strip->views()) names.append(view->objectName());
  return names;
}

}  // namespace

TEST(ToolSettingsStrip, ShowsWhatEachToolUses) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMCollectionViewController* strip = w.tools()->collectionViewController();
  ASSERT_TRUE(strip);
  const QString size = "toolSizeSettingsBox", radius = "roundedRectSettingsBox",
                color1 = "color1SettingsBox", color2 = "color2SettingsBox";
  const QList<QStringList> expected = {
      {color1},                // drag
      {size, color1},          // brush
      {size, color1},          // clone stamp
      {size, radius, color1},  // shape
      {size, color1},          // eraser
      {color1},                // background eraser
      {color1, color2},        // gradient
      {color1},                // text
      {color1},                // filter point
      {color1, color2},        // colour picker
      {color1},                // rectangle selection
      {color1},                // lasso
      {color1},                // zoom
  };
  const int itemWidth = strip->collectionControlItem()->width();
  for (int i = 0; i < int(expected.size()); ++i) {
    w.tools()->trySetSelectedToolIndex(i);
    tst::spinOnce();
    if (w.tools()->selectedToolIndex() != i) continue;  // a tool unusable here
    const QString name = w.tools()->selectedTool()->nameKey();
    EXPECT_EQ(shownNames(strip), expected[i]) << name.toStdString();
    EXPECT_EQ(strip->view()->width(), itemWidth * int(expected[i].size()));
    tst::saveArtifactImage(w.window->window()->grab().toImage().copy(0, 0, 1000, 90),
                           QString("tool-strip-%1.png").arg(name).replace(' ', '-'));
  }
  strip->setTool(nullptr);
  EXPECT_TRUE(strip->views().isEmpty());
  EXPECT_EQ(strip->view()->width(), 0);
}

TEST(ToolSettingsStrip, SkipsAMissingViewAndCentresNarrowOnes) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMCollectionViewController* strip = w.tools()->collectionViewController();
  ASSERT_TRUE(strip);
  strip->setColor2SettingsBox(nullptr);
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMGradientTool>());
  EXPECT_EQ(shownNames(strip), QStringList({"color1SettingsBox"}));
  EXPECT_EQ(strip->view()->width(), strip->collectionControlItem()->width());

  IMCollectionControlItem item;
  item.resize(100, 30);
  QWidget narrow, wide;
  narrow.setGeometry(3, 4, 60, 20);
  wide.setGeometry(3, 4, 80, 20);
  item.setControl(&narrow);
  EXPECT_EQ(narrow.geometry(), QRect(20, 5, 60, 20));
  item.setControl(&wide);
  EXPECT_EQ(wide.geometry(), QRect(3, 4, 80, 20));
  EXPECT_EQ(item.control(), &wide);
  item.setControl(nullptr);
  EXPECT_EQ(item.control(), nullptr);
}

// The well opens the colour panel; the colour picked there is colour 1,
// which the next shape is painted in. The size field sets the brush size.
TEST(ToolSettingsStrip, WellsAndFieldsSetWhatToolsUse) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  ui::ScriptedModalServices panels;
  IMCollectionViewController* strip = w.tools()->collectionViewController();
  std::shared_ptr<Settings> settings = w.window->composedImage()->settings();
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMBezierPathTool>());
  auto* well = dynamic_cast<IMSettingsColorWell*>(strip->color1SettingsBox());
  ASSERT_TRUE(well);
  well->activate();
  ASSERT_EQ(panels.shown().size(), 1);
  EXPECT_EQ(panels.shown().first().dialog, ui::ScriptedModalServices::Dialog::ColorPanel);
  const QColor chosen(12, 200, 180);
  ASSERT_TRUE(panels.chooseColor(chosen));
  EXPECT_EQ(settings->color1().rgb(), chosen.rgb());
  EXPECT_EQ(well->color().rgb(), chosen.rgb());

  auto* size = dynamic_cast<IMSettingsNumberBox*>(strip->toolSizeSettingsBox());
  ASSERT_TRUE(size);
  size->field()->setValue(7);
  EXPECT_EQ(settings->pencilSize(), 7);
  settings->setPencilSize(4);
  EXPECT_EQ(size->value(), 4);

  w.tools()->toolForClass<IMBezierPathTool>()->setFillRectMode();
  w.layers()->setSelectionIndex(2);
  w.press({10.5, 200.5});
  w.drag({40.5, 230.5});
  w.release({40.5, 230.5});
  tst::spinOnce();
  EXPECT_EQ(tooltest::layerColorAt(w.layerNamed("Ground"), 20, 210).rgb(), chosen.rgb());
}
