#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialog>
#include <QMenu>
#include <QTemporaryFile>
#include <QWidget>
#include <cstdio>

#include "TestSupport.h"
#include "appkit/Application.h"
#include "appkit/MenuItem.h"
#include "appkit/UserInterfaceItem.h"
#include "appkit/Window.h"
#include "appkit/core/Beep.h"

namespace {

// A link that records the actions it takes and refuses to validate those
// listed in `disabled`.
class Link : public ui::Responder {
 public:
  Link(QString name, QStringList* log) : name_(std::move(name)), log_(log) {}
  void handle(const QString& action) {
    addAction(action, [this, action](QObject*) { log_->append(name_ + " " + action); });
  }
  bool validateUserInterfaceItem(const ui::UserInterfaceItem& item) override {
    return !disabled.contains(item.action());
  }
  QStringList disabled;

 protected:
  QString name_;
  QStringList* log_;
};

class ViewLink : public QWidget, public Link {
 public:
  ViewLink(QString name, QStringList* log, QWidget* parent)
      : QWidget(parent), Link(std::move(name), log) {
    setFocusPolicy(Qt::StrongFocus);
  }
  bool acceptsFirstResponder() const override { return accepts; }
  bool resignFirstResponder() override { return resigns; }
  bool accepts = true;
  bool resigns = true;
};

class Delegate : public ui::ApplicationDelegate {
 public:
  explicit Delegate(QStringList* log) : log_(log) {}
  void handle(const QString& action) {
    addAction(action, [this, action](QObject*) { log_->append("delegate " + action); });
  }
  TerminateReply applicationShouldTerminate() override {
    log_->append("should terminate");
    return reply;
  }
  void applicationWillTerminate() override { log_->append("will terminate"); }
  TerminateReply reply = TerminateNow;

 private:
  QStringList* log_;
};

class ToolbarItem : public ui::UserInterfaceItem {
 public:
  explicit ToolbarItem(QString action) : action_(std::move(action)) {}
  QString action() const override { return action_; }

 private:
  QString action_;
};

// The bells `act` rings on the terminal (stderr).
int bellsRung(const std::function<void()>& act) {
  QTemporaryFile capture;
  if (!capture.open()) return -1;
  std::fflush(stderr);
  const int saved = ::dup(2);
  ::dup2(capture.handle(), 2);
  act();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  capture.seek(0);
  return int(capture.readAll().count('\a'));
}

}  // namespace

// A beep is the scripted handler's when a test sets one, else the desktop's
// sound; a platform plug-in without sound (offscreen here) rings the
// terminal bell instead.
TEST(Application, BeepPrefersTheHandlerThenTheDesktopsSoundThenTheBell) {
  ui::Application::sharedApplication();
  EXPECT_EQ(bellsRung([] { ui::beep(); }), 1);
  int sounds = 0, handled = 0;
  ui::setSystemSound([&] {
    ++sounds;
    return true;
  });
  EXPECT_EQ(bellsRung([] { ui::beep(); }), 0);
  EXPECT_EQ(sounds, 1);
  ui::setBeepHandler([&] { ++handled; });
  EXPECT_EQ(bellsRung([] { ui::beep(); }), 0);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(sounds, 1);
  ui::setBeepHandler(nullptr);
  ui::setSystemSound(nullptr);
  EXPECT_EQ(bellsRung([] { ui::beep(); }), 1);
}

// Nil-targeted actions go to the first link of the key window's chain that
// handles them; menu and toolbar items are enabled only with a willing target.
TEST(Application, ActionsTravelTheKeyWindowsChainAndItemsValidateAgainstIt) {
  ui::Application* app = ui::Application::sharedApplication();
  QStringList log;
  ui::Window window, other;
  auto* view = new ViewLink("view", &log, nullptr);
  window.setContentView(view);
  Link controller("controller", &log), document("document", &log),
      docController("docController", &log);
  Delegate delegate(&log);
  window.setNextResponder(&controller);
  controller.setNextResponder(&document);
  app->setDelegate(&delegate);
  app->setDocumentControllerResponder(&docController);

  view->handle("copy:");
  controller.handle("copy:");
  controller.handle("crop:");
  document.handle("saveDocument:");
  document.handle("revertDocumentToSaved:");
  delegate.handle("showHelp:");
  docController.handle("newDocument:");
  docController.handle("showHelp:");

  window.makeKeyAndOrderFront();
  ASSERT_EQ(app->keyWindow(), &window);
  ASSERT_TRUE(window.makeFirstResponder(view));
  for (const char* action : {"copy:", "crop:", "saveDocument:", "showHelp:", "newDocument:"})
    EXPECT_TRUE(app->sendAction(action)) << action;
  EXPECT_FALSE(app->sendAction("paste:"));
  EXPECT_EQ(log, QStringList({"view copy:", "controller crop:", "document saveDocument:",
                              "delegate showHelp:", "docController newDocument:"}));
  EXPECT_EQ(app->targetForAction("terminate:"), app);

  // An explicit target takes the action only if it handles it.
  EXPECT_EQ(app->targetForAction("copy:", &controller), &controller);
  EXPECT_EQ(app->targetForAction("saveDocument:", &controller), nullptr);

  // Menu items: validated before their menu opens, by the target's answer.
  document.disabled = {"revertDocumentToSaved:"};
  QMenu menu;
  auto* copy = new ui::MenuItem("Copy", "copy:", &menu);
  auto* paste = new ui::MenuItem("Paste", "paste:", &menu);
  auto* revert = new ui::MenuItem("Revert", "revertDocumentToSaved:", &menu);
  auto* save = new ui::MenuItem("Save", "saveDocument:", &menu);
  for (QAction* item : {copy, paste, revert, save}) menu.addAction(item);
  menu.popup(QPoint(0, 0));
  EXPECT_TRUE(copy->isEnabled());
  EXPECT_FALSE(paste->isEnabled());
  EXPECT_FALSE(revert->isEnabled());
  EXPECT_TRUE(save->isEnabled());
  menu.hide();

  // A toolbar item asks the same question; an item triggered while its
  // enabled state is stale sends nothing.
  ToolbarItem toolbarRevert("revertDocumentToSaved:");
  EXPECT_FALSE(app->validateItem(toolbarRevert));
  document.disabled.clear();
  EXPECT_TRUE(app->validateItem(toolbarRevert));
  document.disabled = {"saveDocument:"};
  log.clear();
  save->trigger();
  copy->trigger();
  EXPECT_EQ(log, QStringList({"view copy:"}));

  // Another window made key takes the actions; the view chain is gone.
  Link otherController("other", &log);
  otherController.handle("copy:");
  other.setNextResponder(&otherController);
  other.makeKeyAndOrderFront();
  EXPECT_EQ(app->keyWindow(), &other);
  EXPECT_EQ(app->targetForAction("copy:"), &otherController);
  EXPECT_EQ(app->targetForAction("saveDocument:"), nullptr);
  app->updateWindows();
  EXPECT_FALSE(revert->isEnabled());
  other.close();
  EXPECT_EQ(app->keyWindow(), &window);

  app->setDelegate(nullptr);
  app->setDocumentControllerResponder(nullptr);
}

// The first responder changes only when the old one resigns and the new one
// accepts; a refused responder leaves the window holding the role.
TEST(Application, FirstResponderChangesOnlyWithBothResponders) {
  QStringList log;
  ui::Window window;
  auto* content = new QWidget;
  auto* a = new ViewLink("a", &log, content);
  auto* b = new ViewLink("b", &log, content);
  window.setContentView(content);
  window.makeKeyAndOrderFront();

  EXPECT_EQ(window.firstResponder(), &window);
  EXPECT_TRUE(window.makeFirstResponder(a));
  a->resigns = false;
  EXPECT_FALSE(window.makeFirstResponder(b));
  EXPECT_EQ(window.firstResponder(), a);
  a->resigns = true;
  b->accepts = false;
  EXPECT_FALSE(window.makeFirstResponder(b));
  EXPECT_EQ(window.firstResponder(), &window);
  EXPECT_EQ(ui::Window::ofWidget(b), &window);

  // Focus given by the user makes the widget first responder; a deleted
  // first responder leaves the window in its place.
  b->accepts = true;
  b->setFocus();
  tst::spinUntil([&] { return window.firstResponder() == b; }, 1000);
  EXPECT_EQ(window.firstResponder(), b);
  delete b;
  EXPECT_EQ(window.firstResponder(), &window);
}

// A sheet hands its return code to the completion once; the window knows
// its sheet while it is shown.
TEST(Application, SheetsReportTheirReturnCodeOnce) {
  ui::Application* app = ui::Application::sharedApplication();
  ui::Window window;
  window.makeKeyAndOrderFront();
  auto* sheet = new QDialog;
  QList<int> codes;
  app->beginSheet(sheet, &window, [&](int code) { codes.append(code); });
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
  EXPECT_EQ(sheet->windowType(), Qt::Dialog);
  EXPECT_EQ(sheet->parentWidget(), &window);
  EXPECT_EQ(app->attachedSheet(&window), sheet);
  app->endSheet(sheet, 1001);
  sheet->done(5);
  EXPECT_EQ(codes, QList<int>({1001}));
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(app->attachedSheet(&window), nullptr);
}

// Termination asks the documents first, then the delegate; either can stop it.
TEST(Application, TerminationAsksDocumentsThenDelegate) {
  ui::Application* app = ui::Application::sharedApplication();
  QStringList log;
  Delegate delegate(&log);
  app->setDelegate(&delegate);
  bool documentsAgree = false;
  app->setDocumentReviewer([&](std::function<void(bool)> proceed) {
    log.append("review");
    proceed(documentsAgree);
  });

  struct Case {
    bool documentsAgree;
    ui::ApplicationDelegate::TerminateReply reply;
    QStringList expected;
  };
  const Case cases[] = {
      {false, ui::ApplicationDelegate::TerminateNow, {"review"}},
      {true, ui::ApplicationDelegate::TerminateCancel, {"review", "should terminate"}},
      {true,
       ui::ApplicationDelegate::TerminateNow,
       {"review", "should terminate", "will terminate"}},
  };
  for (const Case& c : cases) {
    log.clear();
    documentsAgree = c.documentsAgree;
    delegate.reply = c.reply;
    EXPECT_TRUE(app->sendAction("terminate:"));
    EXPECT_EQ(log, c.expected);
    EXPECT_FALSE(app->isTerminating());
  }

  log.clear();
  delegate.reply = ui::ApplicationDelegate::TerminateLater;
  app->terminate();
  EXPECT_TRUE(app->isTerminating());
  app->replyToApplicationShouldTerminate(true);
  EXPECT_EQ(log, QStringList({"review", "should terminate", "will terminate"}));

  app->setDocumentReviewer(nullptr);
  app->setDelegate(nullptr);
}
