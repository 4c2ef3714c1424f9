// What the program's application delegate hears about the application's
// life; it is also a link of the responder chain, after the documents.
#pragma once

#include "appkit/Responder.h"

namespace ui {

class ApplicationDelegate : public Responder {
 public:
  enum TerminateReply { TerminateCancel = 0, TerminateNow = 1, TerminateLater = 2 };

  virtual void applicationWillFinishLaunching() {}
  virtual void applicationDidFinishLaunching() {}
  virtual bool applicationShouldTerminateAfterLastWindowClosed() { return false; }
  // Asked once the documents agreed to terminate. TerminateLater waits for
  // Application::replyToApplicationShouldTerminate.
  virtual TerminateReply applicationShouldTerminate() { return TerminateNow; }
  virtual void applicationWillTerminate() {}
};

}  // namespace ui
