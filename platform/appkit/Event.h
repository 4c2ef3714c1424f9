// An input event as the responder chain sees it: made from Qt's mouse,
// tablet, key, wheel and native-gesture events, with numeric types,
// modifier masks, key characters and key codes of the platform the program
// was designed on, so tools compare the values they always have. Locations
// are in the window's coordinates with y growing upwards.
#pragma once

#include <QPointF>
#include <QString>
#include <optional>

class QEvent;
class QWidget;

namespace ui {

enum class EventType {
  LeftMouseDown = 1,
  LeftMouseUp = 2,
  RightMouseDown = 3,
  RightMouseUp = 4,
  MouseMoved = 5,
  LeftMouseDragged = 6,
  RightMouseDragged = 7,
  MouseEntered = 8,
  MouseExited = 9,
  KeyDown = 10,
  KeyUp = 11,
  FlagsChanged = 12,
  Rotate = 18,
  BeginGesture = 19,
  EndGesture = 20,
  ScrollWheel = 22,
  TabletPoint = 23,
  TabletProximity = 24,
  OtherMouseDown = 25,
  OtherMouseUp = 26,
  OtherMouseDragged = 27,
  Magnify = 30,
  Swipe = 31,
};

// Modifier masks. Command is the Ctrl key, Option the Alt key and Control
// the Meta (Super) key, so the usual shortcuts fall under the usual fingers.
enum EventModifierFlags : unsigned {
  AlphaShiftKeyMask = 1u << 16,
  ShiftKeyMask = 1u << 17,
  ControlKeyMask = 1u << 18,
  AlternateKeyMask = 1u << 19,
  CommandKeyMask = 1u << 20,
  NumericPadKeyMask = 1u << 21,
  FunctionKeyMask = 1u << 23,
  DeviceIndependentModifierFlagsMask = 0xffff0000u,
};

// Characters of keys that type nothing.
enum FunctionKeyCharacter : char16_t {
  UpArrowFunctionKey = 0xF700,
  DownArrowFunctionKey = 0xF701,
  LeftArrowFunctionKey = 0xF702,
  RightArrowFunctionKey = 0xF703,
  F1FunctionKey = 0xF704,
  InsertFunctionKey = 0xF727,
  HomeFunctionKey = 0xF729,
  EndFunctionKey = 0xF72B,
  PageUpFunctionKey = 0xF72C,
  PageDownFunctionKey = 0xF72D,
};
inline constexpr char16_t TabCharacter = 9;
inline constexpr char16_t BackTabCharacter = 25;
inline constexpr char16_t CarriageReturnCharacter = 13;
inline constexpr char16_t EnterCharacter = 3;
inline constexpr char16_t EscapeCharacter = 27;
// Both Backspace and Delete type this: either key deletes what is selected.
inline constexpr char16_t DeleteCharacter = 127;
inline constexpr unsigned short EscapeKeyCode = 53;

class Event {
 public:
  Event() = default;
  // The event Qt delivered to `receiver`, or nothing for kinds the responder
  // chain does not carry. Modifier presses and releases become FlagsChanged.
  static std::optional<Event> fromQt(const QEvent& event, const QWidget* receiver);
  static Event mouseEvent(EventType type, const QPointF& locationInWindow, unsigned modifierFlags,
                          const QWidget* window = nullptr, int clickCount = 1,
                          double pressure = 1.0);
  static Event keyEvent(EventType type, unsigned modifierFlags, const QString& characters,
                        const QString& charactersIgnoringModifiers, unsigned short keyCode,
                        bool isARepeat = false);
  // A gesture at the place and with the modifiers of `from`.
  static Event gestureEvent(EventType type, const Event& from, double magnification,
                            double rotation, double deltaX, double deltaY);
  // The platform's key code of a Qt key (0 for keys it has none for).
  static unsigned short keyCodeForQtKey(int key);
  // The masks of Qt's keyboard modifiers.
  static unsigned modifierFlagsForQt(int qtModifiers);

  EventType type() const { return type_; }
  // The top-level widget the event belongs to, if known.
  const QWidget* window() const { return window_; }
  QPointF locationInWindow() const { return locationInWindow_; }
  unsigned modifierFlags() const { return modifierFlags_; }
  int clickCount() const { return clickCount_; }
  int buttonNumber() const { return buttonNumber_; }
  // 0…1; 1 while a mouse button is down, the stylus pressure for tablets.
  double pressure() const { return pressure_; }

  QString characters() const { return characters_; }
  QString charactersIgnoringModifiers() const { return charactersIgnoringModifiers_; }
  unsigned short keyCode() const { return keyCode_; }
  bool isARepeat() const { return isARepeat_; }

  // Pinch: the change of scale since the last event (0.1 = 10 % larger).
  double magnification() const { return magnification_; }
  // Degrees, counter-clockwise positive.
  double rotation() const { return rotation_; }
  // Scroll wheel lines, or a swipe's direction as ±1 (left is +1 in x,
  // up is +1 in y).
  double deltaX() const { return deltaX_; }
  double deltaY() const { return deltaY_; }

 private:
  static std::optional<Event> fromMouse(const QEvent& event, const QWidget* receiver);
  static std::optional<Event> fromTablet(const QEvent& event, const QWidget* receiver);
  static std::optional<Event> fromKey(const QEvent& event);
  static std::optional<Event> fromGesture(const QEvent& event, const QWidget* receiver);
  void setLocation(const QPointF& widgetPosition, const QWidget* receiver);

  EventType type_ = EventType::MouseMoved;
  const QWidget* window_ = nullptr;
  QPointF locationInWindow_;
  unsigned modifierFlags_ = 0;
  int clickCount_ = 0;
  int buttonNumber_ = 0;
  double pressure_ = 0;
  QString characters_, charactersIgnoringModifiers_;
  unsigned short keyCode_ = 0;
  bool isARepeat_ = false;
  double magnification_ = 0, rotation_ = 0, deltaX_ = 0, deltaY_ = 0;
};

}  // namespace ui
