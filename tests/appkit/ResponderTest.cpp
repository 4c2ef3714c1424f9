#include <gtest/gtest.h>

#include "appkit/Responder.h"

namespace {

class Recorder : public ui::Responder {
 public:
  Recorder(QString name, QStringList* log) : name_(std::move(name)), log_(log) {}
  void handle(const QString& action) {
    addAction(action, [this, action](QObject*) { log_->append(name_ + " " + action); });
  }
  void keyDown(ui::Event& event) override {
    if (!takesKeys) return Responder::keyDown(event);
    log_->append(name_ + " key");
  }
  bool takesKeys = false;

 private:
  QString name_;
  QStringList* log_;
};

}  // namespace

// An action goes to the first responder along the chain that handles it.
TEST(Responder, ActionsAndEventsTravelAlongTheChain) {
  QStringList log;
  Recorder view("view", &log), controller("controller", &log), delegate("delegate", &log);
  view.setNextResponder(&controller);
  controller.setNextResponder(&delegate);
  controller.handle("copy:");
  delegate.handle("copy:");
  delegate.handle("newDocument:");

  EXPECT_TRUE(view.tryToPerform("copy:", nullptr));
  EXPECT_TRUE(view.tryToPerform("newDocument:", nullptr));
  EXPECT_FALSE(view.tryToPerform("paste:", nullptr));
  EXPECT_EQ(view.targetForAction("paste:"), nullptr);
  EXPECT_EQ(view.targetForAction("copy:"), &controller);

  EXPECT_EQ(log, QStringList({"controller copy:", "delegate newDocument:"}));
}
