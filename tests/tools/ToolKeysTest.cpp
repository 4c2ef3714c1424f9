// Keys through the real canvas: shortcut letters, Tab and back-tab, arrows
// moving the selection or the selected layers, and the tools Ctrl (Command)
// and Alt (Option) swap in while held.
#include <gtest/gtest.h>

#include <typeinfo>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "model/Layer.h"
#include "tools/IMAPipetteTool.h"
#include "tools/IMBezierPathTool.h"
#include "tools/IMCIEraserTool.h"
#include "tools/IMCropMarkerTool.h"
#include "tools/IMGradientTool.h"
#include "tools/IMLassoTool.h"
#include "tools/IMLayerDragingTool.h"
#include "tools/IMMagicEraser.h"
#include "tools/IMMagnifyingGlassTool.h"
#include "tools/IMTamponTool.h"
#include "tools/IMTextTool.h"
#include "window/IMLayersArrayController.h"

TEST(ToolKeys, LettersChooseToolsWithOrWithoutShift) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  struct Case {
    int key;
    const char* text;
    qint64 index;  // the chooser's segment; -1: the tool stays
  };
  const Case cases[] = {
      {Qt::Key_B, "b", 1},  {Qt::Key_S, "s", 2},  {Qt::Key_U, "u", 3},  {Qt::Key_E, "e", 4},
      {Qt::Key_O, "o", 5},  {Qt::Key_G, "g", 6},  {Qt::Key_T, "t", 7},  {Qt::Key_N, "n", -1},
      {Qt::Key_H, "h", -1}, {Qt::Key_M, "m", 10}, {Qt::Key_L, "l", 11}, {Qt::Key_Z, "z", 12},
      {Qt::Key_C, "c", 10}, {Qt::Key_W, "w", 10}, {Qt::Key_V, "v", 0},  {Qt::Key_X, "x", -1}};
  for (bool shift : {false, true}) {
    for (const Case& c : cases) {
      const qint64 before = tools->selectedToolIndex();
      const QString text = shift ? QString(c.text).toUpper() : QString(c.text);
      w.key(c.key, shift ? Qt::ShiftModifier : Qt::NoModifier, text);
      EXPECT_EQ(tools->selectedToolIndex(), c.index < 0 ? before : c.index)
          << c.text << (shift ? " with Shift" : "");
      EXPECT_EQ(tools->toolsChooser()->selectedSegment(), tools->selectedToolIndex()) << c.text;
    }
  }
  // The filter tool ("n") has no point parameter to place: it stays off.
  EXPECT_FALSE(tools->toolsChooser()->isEnabledForSegment(8));
}

TEST(ToolKeys, TabCyclesUsableToolsAndArrowsMoveOneUnit) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  w.key(Qt::Key_Z, Qt::NoModifier, "z");
  ASSERT_EQ(tools->selectedToolIndex(), 12);
  w.key(Qt::Key_Tab);
  EXPECT_EQ(tools->selectedToolIndex(), 0) << "wraps to the first usable tool";
  w.key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(tools->selectedToolIndex(), 12);
  w.key(Qt::Key_T, Qt::NoModifier, "t");
  w.key(Qt::Key_Tab);
  EXPECT_EQ(tools->selectedToolIndex(), 9) << "the filter tool (8) is skipped";

  // Without a selection the arrows move the selected layers.
  w.layers()->setSelectionIndex(1);
  Layer* sun = w.layerNamed("Sun");
  const QPointF origin = sun->origin();
  const struct {
    int key;
    QPointF step;
  } arrows[] = {{Qt::Key_Right, {1, 0}},
                {Qt::Key_Up, {0, 1}},
                {Qt::Key_Left, {-1, 0}},
                {Qt::Key_Down, {0, -1}}};
  QPointF expected = origin;
  for (const auto& arrow : arrows) {
    w.key(arrow.key);
    expected += arrow.step;
    EXPECT_EQ(sun->origin(), expected) << arrow.key;
  }
  // With one, they move the selection and leave the layers.
  tools->setRectSelectedRect({10, 10, 50, 40});
  ASSERT_TRUE(tools->hasSelection());
  w.key(Qt::Key_Right);
  w.key(Qt::Key_Up);
  EXPECT_EQ(tools->selectedRect(), QRectF(11, 11, 50, 40));
  EXPECT_EQ(sun->origin(), expected);
}

// Ctrl (Command) holds the drag tool, Alt (Option) the colour picker over a
// tool painting with colour 1; releasing returns to the tool before.
TEST(ToolKeys, ModifierKeysSwapInTemporaryTools) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  w.key(Qt::Key_B, Qt::NoModifier, "b");
  ASSERT_EQ(tools->selectedToolIndex(), 1);
  w.key(Qt::Key_Control, Qt::ControlModifier);
  EXPECT_TRUE(dynamic_cast<IMLayerDragingTool*>(tools->selectedTool()));
  w.keyUp(Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(tools->selectedToolIndex(), 1);
  EXPECT_EQ(tools->previousToolInFlagsChanged(), nullptr);

  w.key(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_TRUE(dynamic_cast<IMAPipetteTool*>(tools->selectedTool()));
  w.keyUp(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(tools->selectedToolIndex(), 1);

  // The eraser paints with no colour: Alt leaves it.
  w.key(Qt::Key_E, Qt::NoModifier, "e");
  ASSERT_EQ(tools->selectedToolIndex(), 4);
  w.key(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(tools->selectedToolIndex(), 4);
  w.keyUp(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(tools->selectedToolIndex(), 4);
}
