// Views: y-up frames and conversions between nested views and the window,
// a scroll view whose document widget never exceeds its clip view, and
// drops reaching only the views registered for a type the drag carries.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>

#include "TestSupport.h"
#include "appkit/ClipView.h"
#include "appkit/ScrollView.h"
#include "appkit/View.h"
#include "appkit/core/Pasteboard.h"
#include "graphics/CGImage.h"
#include "graphics/GraphicsContext.h"

namespace {

TEST(View, FramesAndConversionsGrowUpwards) {
  ui::View window(QRectF(0, 0, 400, 300));
  window.resize(400, 300);
  auto* outer = new ui::View(QRectF(50, 20, 200, 100));
  window.addSubview(outer);
  auto* inner = new ui::View(QRectF(10, 30, 40, 40));
  outer->addSubview(inner);
  // y up: a frame at y 20 and 100 high sits 300 − 120 = 180 from the top.
  EXPECT_EQ(outer->geometry(), QRect(50, 180, 200, 100));
  EXPECT_EQ(inner->geometry(), QRect(10, 30, 40, 40));
  struct Case {
    QPointF inInner, inOuter, inWindow;
  };
  const Case cases[] = {{{0, 0}, {10, 30}, {60, 50}},
                        {{5, 7}, {15, 37}, {65, 57}},
                        {{-100, 500}, {-90, 530}, {-40, 550}}};  // far outside still converts
  for (const Case& c : cases) {
    EXPECT_EQ(inner->convertPointToView(c.inInner, outer), c.inOuter);
    EXPECT_EQ(inner->convertPointToView(c.inInner, nullptr), c.inWindow);
    EXPECT_EQ(inner->convertPointFromView(c.inWindow, nullptr), c.inInner);
    EXPECT_EQ(outer->convertPointFromView(c.inInner, inner), c.inOuter);
  }
  EXPECT_EQ(inner->convertRectToView(QRectF(1, 2, 3, 4), nullptr), QRectF(61, 52, 3, 4));
}

TEST(View, ScrollViewShowsAHugeDocumentThroughAWidgetOfTheClipsSize) {
  ui::ScrollView scroll;
  scroll.setFrameShape(QFrame::NoFrame);
  scroll.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scroll.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scroll.resize(320, 240);
  auto* document = new ui::View(QRectF(0, 0, 100000, 80000));
  scroll.setDocumentView(document);
  scroll.show();
  tst::spinOnce();
  ui::ClipView* clip = scroll.contentView();
  const QSizeF visible = clip->bounds().size();
  struct Case {
    QPointF proposed, origin;
  };
  const Case cases[] = {{{0, 0}, {0, 0}},
                        {{5000.4, 7000.6}, {5000, 7001}},
                        {{1e9, 1e9}, {100000 - visible.width(), 80000 - visible.height()}},
                        {{-5, -5}, {0, 0}}};
  for (const Case& c : cases) {
    clip->scrollToPoint(c.proposed);
    EXPECT_EQ(clip->boundsOrigin(), c.origin);
    EXPECT_EQ(scroll.documentVisibleRect(), QRectF(c.origin, visible));
    EXPECT_EQ(document->size(), clip->size());
    EXPECT_EQ(document->visibleRect(), QRectF(c.origin, visible));
    // The scroll bars: x from the left, y from the top of the document.
    EXPECT_EQ(scroll.horizontalScrollBar()->value(), int(c.origin.x()));
    EXPECT_EQ(scroll.verticalScrollBar()->value(), int(80000 - visible.height() - c.origin.y()));
  }
  // Moving a scroll bar scrolls the clip view.
  scroll.verticalScrollBar()->setValue(0);
  EXPECT_EQ(clip->boundsOrigin().y(), 80000 - visible.height());
}

struct DropView : ui::View {
  using ui::View::View;
  std::vector<QByteArray> entered, performed;
  unsigned draggingEntered(ui::DraggingInfo& info) override {
    entered.push_back(info.draggingPasteboard().dataForType("com.brenwick.object.move"));
    return ui::DragOperationMove;
  }
  bool performDragOperation(ui::DraggingInfo& info) override {
    performed.push_back(info.draggingPasteboard().dataForType("com.brenwick.object.move"));
    return true;
  }
};

TEST(View, DropsReachOnlyViewsRegisteredForATypeTheDragCarries) {
  struct Case {
    QStringList registered;
    bool accepted;
  };
  const Case cases[] = {
      {{"com.brenwick.object.move"}, true}, {{"com.brenwick.filters.copy"}, false}, {{}, false}};
  for (const Case& c : cases) {
    DropView view(QRectF(0, 0, 100, 100));
    view.resize(100, 100);
    view.registerForDraggedTypes(c.registered);
    ui::Pasteboard source;
    source.setData("rows 1 and 3", "com.brenwick.object.move");
    std::unique_ptr<QMimeData> data(source.dragMimeData());
    QDragEnterEvent enter(QPoint(10, 10), Qt::MoveAction | Qt::CopyAction, data.get(),
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    EXPECT_EQ(enter.isAccepted(), c.accepted);
    QDropEvent drop(QPointF(10, 10), Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(&view, &drop);
    EXPECT_EQ(drop.isAccepted(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(view.entered, std::vector<QByteArray>{"rows 1 and 3"});
      EXPECT_EQ(view.performed, std::vector<QByteArray>{"rows 1 and 3"});
      EXPECT_EQ(drop.dropAction(), Qt::MoveAction);
    } else {
      EXPECT_TRUE(view.entered.empty());
      EXPECT_TRUE(view.performed.empty());
    }
  }
}

// A view drawn through its bitmap that paints every pixel replaces what the
// window holds beneath it: its pixels are copied, not blended.
struct PaintingView : ui::View {
  using ui::View::View;
  QColor color;
  void drawRect(const QRectF& dirty) override {
    gfx::GraphicsContext::current()->fillRect(dirty, color, gfx::CompositingOperation::Copy);
  }
};

TEST(View, ViewsPaintingEveryPixelReplaceWhatLiesBeneath) {
  ui::View window(QRectF(0, 0, 120, 80));
  window.resize(120, 80);
  window.setAutoFillBackground(true);
  QPalette red;
  red.setColor(QPalette::Window, Qt::red);
  window.setPalette(red);
  auto* view = new PaintingView(QRectF(10, 10, 100, 60));
  view->setDrawsThroughBitmap(true);
  view->setPaintsEveryPixel(true);
  view->color = QColor(10, 200, 30);
  window.addSubview(view);
  window.show();
  tst::spinOnce();
  auto shown = [&] { return window.grab().toImage().convertToFormat(QImage::Format_ARGB32); };
  EXPECT_EQ(shown().pixel(60, 40), qRgb(10, 200, 30));
  EXPECT_EQ(shown().pixel(2, 2), qRgb(255, 0, 0));
  // Half-transparent blue copied as it is: no red shows through.
  view->color = QColor(0, 0, 255, 128);
  const QRgb copied = shown().pixel(60, 40);
  EXPECT_EQ(qRed(copied), 0);
  EXPECT_EQ(shown().pixel(2, 2), qRgb(255, 0, 0));
}

// A view drawing one of two patterns in which no two rows or columns agree.
struct PatternView : ui::View {
  using ui::View::View;
  int seed = 0;
  void drawRect(const QRectF&) override {
    QImage pixels(int(bounds().width()), int(bounds().height()),
                  QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < pixels.height(); ++y)
      for (int x = 0; x < pixels.width(); ++x)
        pixels.setPixel(x, y, qRgb((x * 7 + seed) & 0xff, (y * 5 + seed) & 0xff, (x ^ y) & 0xff));
    gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels))
        ->drawInRect(bounds(), QRectF(QPointF(), bounds().size()), gfx::CompositingOperation::Copy,
                     1.0);
  }
};

// Small parts are copied from the bitmap to the window a few rows at a
// time, large ones at once: either way every row lands where it belongs.
TEST(View, PartsDrawnThroughTheBitmapReachTheWindowRowForRow) {
  const struct {
    const char* name;
    QRect area;  // widget pixels
  } rows[] = {{"a brush's strip", QRect(37, 21, 290, 130)},
              {"a few rows", QRect(5, 300, 600, 40)},
              {"most of the view", QRect(0, 10, 700, 420)}};
  PatternView view(QRectF(0, 0, 700, 450));
  view.resize(700, 450);
  view.setDrawsThroughBitmap(true);
  view.setPaintsEveryPixel(true);
  view.show();
  tst::spinUntil([&] { return view.windowHandle() && view.windowHandle()->isExposed(); });
  auto shown = [&] {
    return view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
  };
  auto wholeWith = [&](int seed) {
    view.seed = seed;
    view.repaint();
    return shown();
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const QImage before = wholeWith(0), after = wholeWith(41);
    ASSERT_EQ(before.size(), view.size());
    wholeWith(0);
    view.seed = 41;
    view.repaint(row.area);
    const QImage mixed = shown();
    for (int y = 0; y < mixed.height(); ++y)
      for (int x = 0; x < mixed.width(); ++x)
        ASSERT_EQ(mixed.pixel(x, y), (row.area.contains(x, y) ? after : before).pixel(x, y))
            << x << "," << y;
  }
}

}  // namespace
