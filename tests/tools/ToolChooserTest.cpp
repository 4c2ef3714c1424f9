// The tool chooser of a document window: thirteen segments in table order
// with images and tooltips, bound to the current tool both ways, a refused
// choice put back; the window grabbed with it.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "appkit/SegmentedControl.h"
#include "tools/IMBezierPathTool.h"
#include "tools/IMCIPointTool.h"
#include "tools/IMToolImages.h"
#include "window/IMWindowController.h"

TEST(ToolChooser, ThirteenSegmentsBoundToTheCurrentTool) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  ui::SegmentedControl* chooser = w.window->toolsChooser();
  ASSERT_TRUE(chooser);
  EXPECT_EQ(chooser->segmentCount(), 13);
  EXPECT_EQ(chooser->width(), 514);
  EXPECT_EQ(tools->selectedToolIndex(), 0) << "the drag tool after loading";
  EXPECT_EQ(chooser->selectedSegment(), 0);
  const char* names[] = {"Drag Tool (V)",      "Brush Tool (B)",     "Tampon (S)",
                         "Shape Tool (U)",     "Eraser Tool (E)",    "BackGround Eraser (O)",
                         "Gradient Tools (G)", "Text Tool (T)",      "Filter Tool (N)",
                         "Color Picker (H)",   "Selection Tool (M)", "Lasso Tool (L)",
                         "Zoom Tool (Z)"};
  for (int i = 0; i < 13; ++i) {
    EXPECT_EQ(chooser->toolTipForSegment(i), names[i]) << i;
    EXPECT_EQ(chooser->widthForSegment(i), 38) << i;
    EXPECT_FALSE(chooser->imageForSegment(i).isNull()) << i;
  }
  EXPECT_TRUE(chooser->menuForSegment(3)) << "the shapes";
  EXPECT_EQ(chooser->menuForSegment(3)->actions().size(), 5);
  EXPECT_EQ(chooser->menuForSegment(6)->actions().size(), 2);
  EXPECT_EQ(chooser->menuForSegment(1), nullptr);

  chooser->performClick(1);
  EXPECT_EQ(tools->selectedToolIndex(), 1);
  // An unusable tool's segment is off; asked anyway, the switch is refused
  // and the chooser goes back to the current tool.
  EXPECT_FALSE(chooser->isEnabledForSegment(8));
  chooser->setEnabled(true, 8);
  chooser->performClick(8);
  EXPECT_EQ(tools->selectedToolIndex(), 1);
  EXPECT_EQ(chooser->selectedSegment(), 1);
  w.key(Qt::Key_E, Qt::NoModifier, "e");
  EXPECT_EQ(chooser->selectedSegment(), 4);

  // A shape mode from the segment's menu changes the segment's image.
  auto* shapes = tools->toolForClass<IMBezierPathTool>();
  w.key(Qt::Key_U, Qt::NoModifier, "u");
  const QImage lineImage = chooser->imageForSegment(3).pixmap(32, 22).toImage();
  chooser->menuForSegment(3)->actions().at(2)->trigger();
  EXPECT_EQ(shapes->mode(), 2u);
  EXPECT_NE(chooser->imageForSegment(3).pixmap(32, 22).toImage(), lineImage);

  w.key(Qt::Key_V, Qt::NoModifier, "v");
  tst::spinOnce();
  const QImage grab = w.window->window()->grab().toImage();
  tst::saveArtifactImage(grab, "window-with-tool-chooser.png");
  const QImage strip = chooser->grab().toImage();
  tst::saveArtifactImage(strip, "tool-chooser.png");
  // Every segment shows its image: pixels well apart from the face's own.
  const int segment = int(38 * strip.devicePixelRatio());
  for (int i = 0; i < 13; ++i) {
    const int face = qGray(strip.pixel(i * segment + 2, 2));
    int ink = 0;
    for (int y = 0; y < strip.height(); ++y)
      for (int x = i * segment; x < (i + 1) * segment && x < strip.width(); ++x)
        if (std::abs(qGray(strip.pixel(x, y)) - face) > 40) ++ink;
    EXPECT_GT(ink, 8) << "segment " << i;
  }
}
