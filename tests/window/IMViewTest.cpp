// The canvas's contracts with its delegates: what the drawing delegate is
// asked to draw in each mode, the grid default, event forwarding with its
// fallback, and the clip view's centring and zooming about the centre.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "TestSupport.h"
#include "appkit/ScrollView.h"
#include "foundation/UserDefaults.h"
#include "graphics/GraphicsContext.h"
#include "window/IMCenterClipView.h"
#include "window/IMView.h"

namespace {

struct RecordingDelegate : IMViewDrawingDelegate, IMViewSizeDelegate {
  QRectF document{0, 0, 1000, 800};
  double zoomFactor = 1;
  struct Call {
    QRectF rect;
    bool clean, noInterpolation, contextInterpolates;
  };
  std::vector<Call> drawn;
  std::vector<QRectF> overlays;
  void viewDrawingRect(const QRectF& rect, bool clean, bool noInterpolation) override {
    drawn.push_back(
        {rect, clean, noInterpolation, gfx::GraphicsContext::current()->imageInterpolation()});
  }
  void notTransformedViewDrawingInRect(const QRectF& dirtyRect) override {
    overlays.push_back(dirtyRect);
  }
  QRectF contentOriginalRectForView() override { return document; }
  double zoom() override { return zoomFactor; }
};

TEST(IMView, DrawingDelegateGetsTheDirtyRectInDocumentSpaceOrUnchangedWhenClean) {
  fnd::UserDefaults& defaults = fnd::UserDefaults::standardUserDefaults();
  defaults.removeObjectForKey("IMShowDrawingGrid");
  struct Case {
    bool clean, interpolationPreferred;
    double zoom;
    QRectF expected;
    bool noInterpolation;
    int overlays;
  };
  const QRectF dirty(40, 20, 80, 60);
  const Case cases[] = {
      {false, false, 2, {20, 10, 40, 30}, true, 1},
      {false, true, 2, {20, 10, 40, 30}, false, 1},
      {false, false, 0.5, {80, 40, 160, 120}, false, 1},
      {false, false, 1, dirty, false, 1},
      {true, false, 2, dirty, false, 0},
  };
  for (const Case& c : cases) {
    defaults.setBool(c.interpolationPreferred, "ImageInterpolationPrefKey");
    RecordingDelegate delegate;
    delegate.zoomFactor = c.zoom;
    IMView view(QRectF(0, 0, 400, 300));
    view.setDrawingDelegate(&delegate);
    view.setSizeDelegate(&delegate);
    view.setForceCleanDrawing(c.clean);
    auto bitmap = gfx::GraphicsContext::bitmapContext(400, 300);
    view.displayRectIgnoringOpacity(dirty, bitmap.get());
    ASSERT_EQ(delegate.drawn.size(), 1u);
    EXPECT_EQ(delegate.drawn[0].rect, c.expected) << c.zoom << " clean " << c.clean;
    EXPECT_EQ(delegate.drawn[0].clean, c.clean);
    EXPECT_EQ(delegate.drawn[0].noInterpolation, c.noInterpolation) << c.zoom;
    EXPECT_EQ(delegate.drawn[0].contextInterpolates, !c.noInterpolation);
    EXPECT_EQ(int(delegate.overlays.size()), c.overlays);
    if (c.overlays) {
      EXPECT_EQ(delegate.overlays[0], dirty);
    }
    // The context's interpolation is given back.
    EXPECT_TRUE(bitmap->imageInterpolation());
  }
  // An absent grid key reads as YES and is written so.
  EXPECT_TRUE(defaults.boolForKey("IMShowDrawingGrid"));
  EXPECT_TRUE(defaults.hasKey("IMShowDrawingGrid"));
  defaults.setBool(false, "ImageInterpolationPrefKey");
}

struct RecordingResponder : IMViewResponderDelegate {
  std::vector<std::string> received;
  bool callFallback = true;
  int cursorResets = 0;
  void take(const char* name, ui::Event& e, const Fallback& fallback) {
    received.push_back(name);
    if (callFallback) fallback(e);
  }
  void mouseDown(ui::Event& e, const Fallback& f) override { take("mouseDown", e, f); }
  void mouseUp(ui::Event& e, const Fallback& f) override { take("mouseUp", e, f); }
  void mouseDragged(ui::Event& e, const Fallback& f) override { take("mouseDragged", e, f); }
  void beginGestureWithEvent(ui::Event& e, const Fallback& f) override { take("begin", e, f); }
  void endGestureWithEvent(ui::Event& e, const Fallback& f) override { take("end", e, f); }
  void rotateWithEvent(ui::Event& e, const Fallback& f) override { take("rotate", e, f); }
  void magnifyWithEvent(ui::Event& e, const Fallback& f) override { take("magnify", e, f); }
  void swipeWithEvent(ui::Event& e, const Fallback& f) override { take("swipe", e, f); }
  void keyDown(ui::Event& e, const Fallback& f) override { take("keyDown", e, f); }
  void keyUp(ui::Event& e, const Fallback& f) override { take("keyUp", e, f); }
  void flagsChanged(ui::Event& e, const Fallback& f) override { take("flagsChanged", e, f); }
  void resetCursorRects() override { ++cursorResets; }
};

// The view above the canvas: what the canvas's own handling passes on.
struct NextResponder : ui::View {
  std::vector<std::string> received;
  void mouseDown(ui::Event&) override { received.push_back("mouseDown"); }
  void keyDown(ui::Event&) override { received.push_back("keyDown"); }
  void keyUp(ui::Event&) override { received.push_back("keyUp"); }
  void flagsChanged(ui::Event&) override { received.push_back("flagsChanged"); }
};

TEST(IMView, EventsGoToTheResponderDelegateWithAFallbackToTheViewsOwnHandling) {
  struct Case {
    bool hasDelegate, callFallback;
    std::vector<std::string> delegateGets, nextGets;
  };
  const Case cases[] = {
      {true,
       true,
       {"mouseDown", "keyDown", "keyUp", "flagsChanged"},
       // The modifier change also reaches the next responder after the forward.
       {"mouseDown", "keyDown", "keyUp", "flagsChanged", "flagsChanged"}},
      {true, false, {"mouseDown", "keyDown", "keyUp", "flagsChanged"}, {"flagsChanged"}},
      // Without a delegate the events are dropped, but a modifier change
      // still reaches the next responder.
      {false, false, {}, {"flagsChanged"}},
  };
  for (const Case& c : cases) {
    NextResponder next;
    next.resize(300, 300);
    auto* canvas = new IMView(QRectF(0, 0, 200, 200));
    next.addSubview(canvas);
    RecordingResponder responder;
    responder.callFallback = c.callFallback;
    if (c.hasDelegate) canvas->setRedirectResponder(&responder);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), canvas->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b");
    QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
    for (QEvent* e : std::initializer_list<QEvent*>{&press, &down, &up, &shift})
      QApplication::sendEvent(canvas, e);
    EXPECT_EQ(responder.received, c.delegateGets);
    EXPECT_EQ(next.received, c.nextGets);
    // The modifier change rebuilt the window's cursor rectangles, which asks the delegate.
    if (c.hasDelegate) {
      EXPECT_GE(responder.cursorResets, 1);
    }
  }
}

TEST(IMView, CursorRectanglesAreHitTestedLastAddedFirst) {
  IMView canvas(QRectF(0, 0, 100, 100));
  canvas.addCursorRect(QRectF(0, 0, 100, 100), QCursor(Qt::ForbiddenCursor));
  canvas.addCursorRect(QRectF(20, 20, 30, 30), QCursor(Qt::OpenHandCursor));
  EXPECT_EQ(canvas.cursorAtPoint({10, 10})->shape(), Qt::ForbiddenCursor);
  EXPECT_EQ(canvas.cursorAtPoint({25, 25})->shape(), Qt::OpenHandCursor);
  EXPECT_FALSE(canvas.cursorAtPoint({150, 10}).has_value());
}

TEST(IMView, UpdateFrameFollowsTheZoomAndLeavesAnUnchangedSizeAlone) {
  struct CountingView : IMView {
    int frames = 0;
    void setFrame(const QRectF& frame) override {
      ++frames;
      IMView::setFrame(frame);
    }
  };
  RecordingDelegate delegate;
  CountingView view;
  view.updateFrame();  // no size delegate: the zero rectangle, already the frame
  EXPECT_EQ(view.frames, 0);
  view.setSizeDelegate(&delegate);
  delegate.zoomFactor = 0.5;
  view.setValue(1234, "width");  // a binding's value is ignored: the frame follows the document
  EXPECT_EQ(view.frame(), QRectF(0, 0, 500, 400));
  EXPECT_EQ(view.valueForKey("height"), QVariant(0));
  EXPECT_EQ(view.frames, 1);
  view.updateFrame();
  EXPECT_EQ(view.frames, 1);
  delegate.zoomFactor = 0;  // zoom 0: view coordinates are document coordinates
  view.updateFrame();
  EXPECT_EQ(view.frame(), QRectF(0, 0, 1000, 800));
}

TEST(IMView, ClipViewCentresClampsAndZoomsAboutTheVisibleCentre) {
  RecordingDelegate delegate;
  delegate.document = QRectF(0, 0, 100, 1000);
  ui::ScrollView scroll;
  scroll.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll.setFrameShape(QFrame::NoFrame);
  scroll.resize(301, 200);
  auto* clip = new IMCenterClipView;
  scroll.setContentView(clip);
  auto* canvas = new IMView;
  canvas->setSizeDelegate(&delegate);
  scroll.setDocumentView(canvas);
  canvas->updateFrame();
  scroll.show();
  tst::spinOnce();
  // A canvas 100 wide in a clip 301 wide: x = round(−100.5) = −101; y clamped.
  EXPECT_EQ(clip->boundsOrigin(), QPointF(-101, 0));
  EXPECT_EQ(canvas->mapTo(&scroll, QPoint(0, 0)).x(), 101);
  clip->scrollToPoint({30, 5000});
  EXPECT_EQ(clip->boundsOrigin(), QPointF(-101, 800));
  EXPECT_EQ(scroll.documentVisibleRect(), QRectF(0, 800, 100, 200));
  clip->scrollToPoint({0, -20});
  EXPECT_EQ(clip->boundsOrigin(), QPointF(-101, 0));

  // Zoom 1 → 4 about the centre: the document point at the centre stays.
  delegate.document = QRectF(0, 0, 1000, 800);
  canvas->updateFrame();
  canvas->centerClipViewOnPoint({400, 300});
  const QPointF before = canvas->centralVisibleViewPointInViewCoordinates();
  EXPECT_EQ(before, QPointF(400.5, 300));
  delegate.zoomFactor = 4;
  canvas->changeClipViewOriginWithActuelZoomFactorCentered(1, 4);
  EXPECT_EQ(canvas->frame(), QRectF(0, 0, 4000, 3200));
  const QPointF after = canvas->centralVisibleViewPointInViewCoordinates() / 4;
  EXPECT_NEAR(after.x(), before.x(), 0.5 / 4);
  EXPECT_NEAR(after.y(), before.y(), 0.5 / 4);
  // The widget stays the clip's size, however large the zoomed canvas.
  EXPECT_EQ(canvas->size(), QSize(301, 200));
}

}  // namespace
