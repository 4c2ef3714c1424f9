// Qt's events as the responder chain sees them: types, modifier masks, key
// characters and codes, locations (y up), click counts, pressure and the
// gesture values, each from a synthesised Qt event delivered to a view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDevice>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QWheelEvent>

#include "appkit/Event.h"
#include "appkit/View.h"

namespace {

// Records every event that reaches it through the responder methods.
class RecordingView : public ui::View {
 public:
  using ui::View::View;
  std::vector<ui::Event> events;
  std::vector<std::string> methods;
  void record(const char* method, ui::Event& e) {
    methods.push_back(method);
    events.push_back(e);
  }
  void mouseDown(ui::Event& e) override { record("mouseDown", e); }
  void mouseUp(ui::Event& e) override { record("mouseUp", e); }
  void mouseDragged(ui::Event& e) override { record("mouseDragged", e); }
  void mouseMoved(ui::Event& e) override { record("mouseMoved", e); }
  void rightMouseDown(ui::Event& e) override { record("rightMouseDown", e); }
  void rightMouseUp(ui::Event& e) override { record("rightMouseUp", e); }
  void otherMouseDown(ui::Event& e) override { record("otherMouseDown", e); }
  void keyDown(ui::Event& e) override { record("keyDown", e); }
  void keyUp(ui::Event& e) override { record("keyUp", e); }
  void flagsChanged(ui::Event& e) override { record("flagsChanged", e); }
  void scrollWheel(ui::Event& e) override { record("scrollWheel", e); }
  void magnifyWithEvent(ui::Event& e) override { record("magnify", e); }
  void rotateWithEvent(ui::Event& e) override { record("rotate", e); }
  void swipeWithEvent(ui::Event& e) override { record("swipe", e); }
  void beginGestureWithEvent(ui::Event& e) override { record("beginGesture", e); }
  void endGestureWithEvent(ui::Event& e) override { record("endGesture", e); }
};

struct Window {
  QWidget top;
  RecordingView* view;
  Window() {
    top.resize(300, 200);
    view = new RecordingView(QRectF(0, 0, 100, 80), &top);
    view->setGeometry(40, 20, 100, 80);  // in the window: x 40…140, y-down 20…100
  }
  ui::Event last() const { return view->events.back(); }
  void send(QEvent& event) { QApplication::sendEvent(view, &event); }
};

TEST(Event, KeysGiveCharactersKeyCodesAndModifierMasks) {
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    QString characters, ignoringModifiers;
    unsigned short keyCode;
    unsigned flags;
  };
  const QString up(QChar(0xF700)), down(QChar(0xF701)), left(QChar(0xF702)), right(QChar(0xF703));
  const Case cases[] = {
      {Qt::Key_B, Qt::NoModifier, "b", "b", "b", 11, 0},
      {Qt::Key_B, Qt::ShiftModifier, "B", "B", "B", 11, ui::ShiftKeyMask},
      // Command (Ctrl) keeps the letter; Qt's text would be a control character.
      {Qt::Key_Z, Qt::ControlModifier, QString(QChar(26)), "z", "z", 6, ui::CommandKeyMask},
      {Qt::Key_A, Qt::AltModifier, "a", "a", "a", 0, ui::AlternateKeyMask},
      {Qt::Key_A, Qt::MetaModifier, "a", "a", "a", 0, ui::ControlKeyMask},
      {Qt::Key_Backspace, Qt::NoModifier, "\b", "\x7f", "\x7f", 51, 0},
      {Qt::Key_Delete, Qt::NoModifier, "\x7f", "\x7f", "\x7f", 117, 0},
      {Qt::Key_Tab, Qt::NoModifier, "\t", "\t", "\t", 48, 0},
      {Qt::Key_Backtab, Qt::ShiftModifier, "", QString(QChar(25)), QString(QChar(25)), 48,
       ui::ShiftKeyMask},
      {Qt::Key_Escape, Qt::NoModifier, "\x1b", "\x1b", "\x1b", 53, 0},
      {Qt::Key_Return, Qt::NoModifier, "\r", "\r", "\r", 36, 0},
      {Qt::Key_Up, Qt::KeypadModifier, "", up, up, 126, ui::NumericPadKeyMask},
      {Qt::Key_Down, Qt::NoModifier, "", down, down, 125, 0},
      {Qt::Key_Left, Qt::NoModifier, "", left, left, 123, 0},
      {Qt::Key_Right, Qt::ShiftModifier, "", right, right, 124, ui::ShiftKeyMask},
      {Qt::Key_F1, Qt::NoModifier, "", QString(QChar(0xF704)), QString(QChar(0xF704)), 122, 0},
      {Qt::Key_Exclam, Qt::ShiftModifier, "!", "!", "!", 0, ui::ShiftKeyMask},
  };
  for (const Case& c : cases) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      Window w;
      QKeyEvent event(type, c.key, c.modifiers, c.text);
      w.send(event);
      ASSERT_EQ(w.view->events.size(), 1u) << c.key;
      const ui::Event e = w.last();
      EXPECT_EQ(e.type(), type == QEvent::KeyPress ? ui::EventType::KeyDown : ui::EventType::KeyUp);
      EXPECT_EQ(int(e.type()), type == QEvent::KeyPress ? 10 : 11);
      EXPECT_EQ(e.characters(), c.characters) << c.key;
      EXPECT_EQ(e.charactersIgnoringModifiers(), c.ignoringModifiers) << c.key;
      EXPECT_EQ(e.keyCode(), c.keyCode) << c.key;
      EXPECT_EQ(e.modifierFlags(), c.flags) << c.key;
    }
  }
}

TEST(Event, ModifierKeysBecomeFlagsChangedWithTheFlagsAfterTheChange) {
  struct Case {
    int key;
    QEvent::Type type;
    Qt::KeyboardModifiers reported;
    unsigned flags;
    unsigned short keyCode;
  };
  const Case cases[] = {
      {Qt::Key_Shift, QEvent::KeyPress, Qt::NoModifier, 0x20000, 56},
      {Qt::Key_Shift, QEvent::KeyRelease, Qt::ShiftModifier, 0, 56},
      {Qt::Key_Control, QEvent::KeyPress, Qt::ControlModifier, 0x100000, 55},
      {Qt::Key_Alt, QEvent::KeyPress, Qt::ShiftModifier, 0x80000 | 0x20000, 58},
      {Qt::Key_Meta, QEvent::KeyPress, Qt::NoModifier, 0x40000, 59},
      {Qt::Key_Alt, QEvent::KeyRelease, Qt::AltModifier | Qt::ControlModifier, 0x100000, 58},
  };
  for (const Case& c : cases) {
    Window w;
    QKeyEvent event(c.type, c.key, c.reported);
    w.send(event);
    ASSERT_EQ(w.view->methods, std::vector<std::string>{"flagsChanged"});
    EXPECT_EQ(int(w.last().type()), 12);
    EXPECT_EQ(w.last().modifierFlags(), c.flags) << c.key;
    EXPECT_EQ(w.last().keyCode(), c.keyCode);
  }
}

TEST(Event, MouseEventsCarryTypeLocationClickCountAndPressure) {
  Window w;
  auto mouse = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, at, w.view->mapToGlobal(at), button, buttons, modifiers);
    w.send(event);
    return w.last();
  };
  ui::Event e = mouse(QEvent::MouseButtonPress, {10, 30}, Qt::LeftButton, Qt::LeftButton,
                      Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(int(e.type()), 1);
  // Widget (10, 30) is window (50, 50) y-down; the window is 200 high.
  EXPECT_EQ(e.locationInWindow(), QPointF(50, 150));
  EXPECT_EQ(w.view->locationOfEvent(e), QPointF(10, 50));  // the view is 80 high
  EXPECT_EQ(e.clickCount(), 1);
  EXPECT_EQ(e.pressure(), 1.0);
  EXPECT_EQ(e.modifierFlags(), unsigned(0x20000 | 0x100000));
  e = mouse(QEvent::MouseMove, {12, 31}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(int(e.type()), 6);
  EXPECT_EQ(w.view->locationOfEvent(e), QPointF(12, 49));
  e = mouse(QEvent::MouseButtonRelease, {12, 31}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(int(e.type()), 2);
  e = mouse(QEvent::MouseButtonDblClick, {12, 31}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(int(e.type()), 1);
  EXPECT_EQ(e.clickCount(), 2);
  e = mouse(QEvent::MouseButtonRelease, {12, 31}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(e.clickCount(), 2);
  e = mouse(QEvent::MouseButtonPress, {1, 1}, Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(int(e.type()), 3);
  e = mouse(QEvent::MouseButtonRelease, {1, 1}, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(int(e.type()), 4);
  e = mouse(QEvent::MouseButtonPress, {1, 1}, Qt::MiddleButton, Qt::MiddleButton);
  EXPECT_EQ(int(e.type()), 25);
  EXPECT_EQ(e.buttonNumber(), 2);
  EXPECT_EQ((w.view->methods), (std::vector<std::string>{"mouseDown", "mouseDragged", "mouseUp",
                                                         "mouseDown", "mouseUp", "rightMouseDown",
                                                         "rightMouseUp", "otherMouseDown"}));
}

TEST(Event, TabletPressureWheelAndGestures) {
  Window w;
  QTabletEvent press(QEvent::TabletPress, QPointingDevice::primaryPointingDevice(), {5, 5},
                     w.view->mapToGlobal(QPointF(5, 5)), 0.37, 0, 0, 0, 0, 0, Qt::NoModifier,
                     Qt::LeftButton, Qt::LeftButton);
  w.send(press);
  EXPECT_EQ(int(w.last().type()), 1);
  EXPECT_DOUBLE_EQ(w.last().pressure(), 0.37);
  QTabletEvent drag(QEvent::TabletMove, QPointingDevice::primaryPointingDevice(), {6, 5},
                    w.view->mapToGlobal(QPointF(6, 5)), 0.8, 0, 0, 0, 0, 0, Qt::NoModifier,
                    Qt::NoButton, Qt::LeftButton);
  w.send(drag);
  EXPECT_EQ(int(w.last().type()), 6);
  EXPECT_DOUBLE_EQ(w.last().pressure(), 0.8);

  QWheelEvent wheel({5, 5}, w.view->mapToGlobal(QPointF(5, 5)), {}, {-120, 240}, Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  w.send(wheel);
  EXPECT_EQ(int(w.last().type()), 22);
  EXPECT_EQ(w.last().deltaX(), -1);
  EXPECT_EQ(w.last().deltaY(), 2);

  struct Case {
    Qt::NativeGestureType gesture;
    double value;
    int type;
    double magnification, rotation, deltaX, deltaY;
  };
  const Case cases[] = {
      {Qt::BeginNativeGesture, 0, 19, 0, 0, 0, 0},
      {Qt::ZoomNativeGesture, 0.2, 30, 0.2, 0, 0, 0},
      // Qt turns clockwise for positive values; the event, counter-clockwise.
      {Qt::RotateNativeGesture, 30, 18, 0, -30, 0, 0},
      {Qt::SwipeNativeGesture, 180, 31, 0, 0, 1, 0},
      {Qt::SwipeNativeGesture, 0, 31, 0, 0, -1, 0},
      {Qt::SwipeNativeGesture, 90, 31, 0, 0, 0, 1},
      {Qt::SwipeNativeGesture, 270, 31, 0, 0, 0, -1},
      {Qt::EndNativeGesture, 0, 20, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    QNativeGestureEvent gesture(c.gesture, QPointingDevice::primaryPointingDevice(), 2, {5, 5},
                                {5, 5}, w.view->mapToGlobal(QPointF(5, 5)), c.value, {});
    w.send(gesture);
    const ui::Event e = w.last();
    EXPECT_EQ(int(e.type()), c.type);
    EXPECT_DOUBLE_EQ(e.magnification(), c.magnification);
    EXPECT_DOUBLE_EQ(e.rotation(), c.rotation);
    EXPECT_EQ(e.deltaX(), c.deltaX) << c.value;
    EXPECT_EQ(e.deltaY(), c.deltaY) << c.value;
  }
  EXPECT_EQ(w.view->methods.back(), "endGesture");
}

// Unhandled events travel to the superview, as every responder method passes them on.
TEST(Event, UnhandledEventsGoUpToTheSuperview) {
  QWidget top;
  top.resize(200, 200);
  auto* outer = new RecordingView(QRectF(0, 0, 200, 200), &top);
  auto* inner = new ui::View(QRectF(10, 10, 50, 50));
  outer->addSubview(inner);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QApplication::sendEvent(inner, &key);
  ASSERT_EQ(outer->methods, std::vector<std::string>{"keyDown"});
  EXPECT_EQ(outer->events.back().characters(), "x");
}

}  // namespace
