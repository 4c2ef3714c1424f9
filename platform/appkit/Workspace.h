// The workspace: opens web addresses and files with the desktop's handler
// for them, through QDesktopServices (which also lets a program or a test
// register its own handler for a scheme).
#pragma once

#include <QString>
#include <QUrl>

namespace ui {

class Workspace {
 public:
  static Workspace& sharedWorkspace();

  // False when no handler took the address.
  bool openURL(const QUrl& url);
  // Opens a file with the application the desktop associates with it.
  bool openFile(const QString& path);
};

}  // namespace ui
