// Key events: the characters a key types (function keys as private-use
// characters), what it types without modifiers, and the key code.
#include <QKeyEvent>
#include <QtGlobal>

#include "appkit/Event.h"

namespace ui {

namespace {

struct KeyCode {
  int key;
  unsigned short code;
};

// The platform's key codes, by physical key of a US layout.
constexpr KeyCode kKeyCodes[] = {
    {Qt::Key_A, 0},          {Qt::Key_S, 1},          {Qt::Key_D, 2},
    {Qt::Key_F, 3},          {Qt::Key_H, 4},          {Qt::Key_G, 5},
    {Qt::Key_Z, 6},          {Qt::Key_X, 7},          {Qt::Key_C, 8},
    {Qt::Key_V, 9},          {Qt::Key_B, 11},         {Qt::Key_Q, 12},
    {Qt::Key_W, 13},         {Qt::Key_E, 14},         {Qt::Key_R, 15},
    {Qt::Key_Y, 16},         {Qt::Key_T, 17},         {Qt::Key_1, 18},
    {Qt::Key_2, 19},         {Qt::Key_3, 20},         {Qt::Key_4, 21},
    {Qt::Key_6, 22},         {Qt::Key_5, 23},         {Qt::Key_Equal, 24},
    {Qt::Key_9, 25},         {Qt::Key_7, 26},         {Qt::Key_Minus, 27},
    {Qt::Key_8, 28},         {Qt::Key_0, 29},         {Qt::Key_BracketRight, 30},
    {Qt::Key_O, 31},         {Qt::Key_U, 32},         {Qt::Key_BracketLeft, 33},
    {Qt::Key_I, 34},         {Qt::Key_P, 35},         {Qt::Key_Return, 36},
    {Qt::Key_L, 37},         {Qt::Key_J, 38},         {Qt::Key_Apostrophe, 39},
    {Qt::Key_K, 40},         {Qt::Key_Semicolon, 41}, {Qt::Key_Backslash, 42},
    {Qt::Key_Comma, 43},     {Qt::Key_Slash, 44},     {Qt::Key_N, 45},
    {Qt::Key_M, 46},         {Qt::Key_Period, 47},    {Qt::Key_Tab, 48},
    {Qt::Key_Backtab, 48},   {Qt::Key_Space, 49},     {Qt::Key_QuoteLeft, 50},
    {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53},    {Qt::Key_Control, 55},
    {Qt::Key_Shift, 56},     {Qt::Key_CapsLock, 57},  {Qt::Key_Alt, 58},
    {Qt::Key_Meta, 59},      {Qt::Key_AltGr, 61},     {Qt::Key_Enter, 76},
    {Qt::Key_F5, 96},        {Qt::Key_F6, 97},        {Qt::Key_F7, 98},
    {Qt::Key_F3, 99},        {Qt::Key_F8, 100},       {Qt::Key_F9, 101},
    {Qt::Key_F11, 103},      {Qt::Key_F10, 109},      {Qt::Key_F12, 111},
    {Qt::Key_Help, 114},     {Qt::Key_Home, 115},     {Qt::Key_PageUp, 116},
    {Qt::Key_Delete, 117},   {Qt::Key_F4, 118},       {Qt::Key_End, 119},
    {Qt::Key_F2, 120},       {Qt::Key_PageDown, 121}, {Qt::Key_F1, 122},
    {Qt::Key_Left, 123},     {Qt::Key_Right, 124},    {Qt::Key_Down, 125},
    {Qt::Key_Up, 126},
};

struct SpecialCharacter {
  int key;
  char16_t character;
};

// Keys whose character does not come from the text they type.
constexpr SpecialCharacter kSpecialCharacters[] = {
    {Qt::Key_Up, UpArrowFunctionKey},        {Qt::Key_Down, DownArrowFunctionKey},
    {Qt::Key_Left, LeftArrowFunctionKey},    {Qt::Key_Right, RightArrowFunctionKey},
    {Qt::Key_Insert, InsertFunctionKey},     {Qt::Key_Home, HomeFunctionKey},
    {Qt::Key_End, EndFunctionKey},           {Qt::Key_PageUp, PageUpFunctionKey},
    {Qt::Key_PageDown, PageDownFunctionKey}, {Qt::Key_Tab, TabCharacter},
    {Qt::Key_Backtab, BackTabCharacter},     {Qt::Key_Return, CarriageReturnCharacter},
    {Qt::Key_Enter, EnterCharacter},         {Qt::Key_Escape, EscapeCharacter},
    {Qt::Key_Backspace, DeleteCharacter},    {Qt::Key_Delete, DeleteCharacter},
};

// The mask a modifier key sets, or 0 for other keys.
unsigned maskOfModifierKey(int key) {
  switch (key) {
    case Qt::Key_Shift:
      return ShiftKeyMask;
    case Qt::Key_Control:
      return CommandKeyMask;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return AlternateKeyMask;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
      return ControlKeyMask;
    case Qt::Key_CapsLock:
      return AlphaShiftKeyMask;
    default:
      return 0;
  }
}

QString specialCharacter(int key) {
  for (const SpecialCharacter& special : kSpecialCharacters)
    if (special.key == key) return QString(QChar(special.character));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
    return QString(QChar(char16_t(F1FunctionKey + (key - Qt::Key_F1))));
  return {};
}

// What a printable key types with Shift alone: Qt names letter keys by
// their capital and other keys by the symbol typed.
QString unmodifiedCharacter(int key, bool shift) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    const QChar letter(char16_t('a' + (key - Qt::Key_A)));
    return shift ? letter.toUpper() : letter;
  }
  if (key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis) return QString(QChar(char16_t(key)));
  return {};
}

}  // namespace

unsigned short Event::keyCodeForQtKey(int key) {
  for (const KeyCode& entry : kKeyCodes)
    if (entry.key == key) return entry.code;
  return 0;
}

std::optional<Event> Event::fromKey(const QEvent& event) {
  const auto& key = static_cast<const QKeyEvent&>(event);
  const bool press = event.type() == QEvent::KeyPress;
  Event e;
  e.keyCode_ = keyCodeForQtKey(key.key());
  e.modifierFlags_ = modifierFlagsForQt(key.modifiers());
  if (const unsigned mask = maskOfModifierKey(key.key())) {
    // The flags after the change, whatever the window system reported.
    e.type_ = EventType::FlagsChanged;
    e.modifierFlags_ = press ? (e.modifierFlags_ | mask) : (e.modifierFlags_ & ~mask);
    return e;
  }
  e.type_ = press ? EventType::KeyDown : EventType::KeyUp;
  e.isARepeat_ = key.isAutoRepeat();
  const QString special = specialCharacter(key.key());
  const QString plain = unmodifiedCharacter(key.key(), key.modifiers() & Qt::ShiftModifier);
  e.charactersIgnoringModifiers_ = !special.isEmpty() ? special : plain;
  // Command (Ctrl) leaves the typed character alone, as Command does; Qt
  // would report a control character.
  const QString text = key.text();
  const bool controlText = !text.isEmpty() && text.at(0).unicode() < 32;
  if (!special.isEmpty())
    e.characters_ = special;
  else if (text.isEmpty() || (controlText && (key.modifiers() & Qt::ControlModifier)))
    e.characters_ = plain;
  else
    e.characters_ = text;
  return e;
}

}  // namespace ui
