// The canvas's cursor rectangles follow the tool, replace the previous set
// on every reset, and show where a tool cannot work; autoscroll while a
// drag runs past the canvas's visible edge.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ToolWindow.h"
#include "appkit/ClipView.h"
#include "appkit/Cursor.h"
#include "appkit/ScrollView.h"
#include "window/IMView.h"
#include "window/IMWindowController.h"

namespace {

Qt::CursorShape shapeAt(IMView* canvas, const QPointF& documentPoint) {
  std::optional<QCursor> cursor =
      canvas->cursorAtPoint(canvas->transformation().transformPoint(documentPoint));
  return cursor ? cursor->shape() : Qt::BlankCursor;
}

}  // namespace

TEST(ToolCursors, EachToolsRectanglesReplaceThePreviousOnes) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  IMToolsController* tools = w.tools();
  IMView* canvas = w.canvas();
  struct Case {
    int key;
    const char* text;
    Qt::CursorShape shape;
  };
  const Case cases[] = {{Qt::Key_V, "v", Qt::ArrowCursor},  {Qt::Key_B, "b", Qt::BitmapCursor},
                        {Qt::Key_E, "e", Qt::CrossCursor},  {Qt::Key_U, "u", Qt::CrossCursor},
                        {Qt::Key_T, "t", Qt::IBeamCursor},  {Qt::Key_M, "m", Qt::CrossCursor},
                        {Qt::Key_Z, "z", Qt::BitmapCursor}, {Qt::Key_G, "g", Qt::ArrowCursor}};
  for (const Case& c : cases) {
    w.key(c.key, Qt::NoModifier, c.text);
    EXPECT_EQ(canvas->cursorRects().size(), 1u) << c.text;
    EXPECT_EQ(shapeAt(canvas, {200, 150}), c.shape) << c.text;
    w.window->resetCursorRectsOfMainView();
    w.window->resetCursorRectsOfMainView();
    EXPECT_EQ(canvas->cursorRects().size(), 1u) << c.text << ": replaced, not added to";
  }
  // Outside the image (zoomed out, the canvas smaller) no old rectangle is left.
  w.window->setZoom(0.5);
  w.window->resetCursorRectsOfMainView();
  EXPECT_FALSE(canvas->cursorAtPoint({300, 250})) << "view point of the old, larger image";
  EXPECT_EQ(canvas->cursorRects().size(), 1u);

  // The brush with a selection: not allowed outside it.
  w.window->setZoom(1);
  w.key(Qt::Key_B, Qt::NoModifier, "b");
  tools->setRectSelectedRect({50, 50, 100, 100});
  w.window->resetCursorRectsOfMainView();
  EXPECT_EQ(shapeAt(canvas, {300, 250}), Qt::ForbiddenCursor);
  EXPECT_EQ(shapeAt(canvas, {100, 100}), Qt::BitmapCursor);
  // The rectangle tool adds the open hand over its selection.
  w.key(Qt::Key_M, Qt::NoModifier, "m");
  EXPECT_EQ(shapeAt(canvas, {100, 100}), Qt::OpenHandCursor);
  EXPECT_EQ(shapeAt(canvas, {300, 250}), Qt::CrossCursor);
  tools->deselect();
  // Alt gives the drag tool its copy cursor.
  w.key(Qt::Key_V, Qt::NoModifier, "v");
  w.key(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(shapeAt(canvas, {200, 150}), Qt::DragCopyCursor);
  w.keyUp(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(shapeAt(canvas, {200, 150}), Qt::ArrowCursor);
}

// The shape tool scrolls while dragging past the visible edge, on its own
// while the button stays down, and stops at the mouse-up.
TEST(ToolCursors, AutoscrollWhileDraggingPastTheEdge) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  w.window->setZoom(4);
  tst::spinOnce();
  w.key(Qt::Key_U, Qt::NoModifier, "u");
  ui::ClipView* clip = w.window->graphicScrollView()->contentView();
  clip->scrollToPoint({0, 0});
  const QPointF start = clip->boundsOrigin();
  const QSize shown = clip->size();
  w.pressWidget(QPointF(shown.width() / 2.0, shown.height() / 2.0));
  w.dragWidget(QPointF(shown.width() + 40.0, shown.height() / 2.0));
  const double afterDrag = clip->boundsOrigin().x();
  EXPECT_GT(afterDrag, start.x());
  EXPECT_TRUE(w.canvas()->isAutoscrolling());
  EXPECT_TRUE(tst::spinUntil([&] { return clip->boundsOrigin().x() > afterDrag + 40; }))
      << "goes on scrolling while the pointer rests past the edge";
  w.releaseWidget(QPointF(shown.width() + 40.0, shown.height() / 2.0));
  EXPECT_FALSE(w.canvas()->isAutoscrolling());
  // A tool that does not autoscroll leaves the view where it is.
  w.key(Qt::Key_B, Qt::NoModifier, "b");
  const QPointF before = clip->boundsOrigin();
  w.pressWidget(QPointF(shown.width() / 2.0, shown.height() / 2.0));
  w.dragWidget(QPointF(shown.width() + 40.0, shown.height() / 2.0));
  w.releaseWidget(QPointF(shown.width() + 40.0, shown.height() / 2.0));
  EXPECT_EQ(clip->boundsOrigin(), before);
}
