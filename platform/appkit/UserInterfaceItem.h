// What a menu item or toolbar item shows to the code that decides whether it
// is enabled: the action it sends and its tag.
#pragma once

#include <QString>

namespace ui {

class UserInterfaceItem {
 public:
  virtual ~UserInterfaceItem() = default;
  virtual QString action() const = 0;
  virtual long tag() const { return 0; }
};

}  // namespace ui
