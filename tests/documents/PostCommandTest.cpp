// The post command follows the document and the network: it is offered for
// an image while the internet can be reached, never without a network.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include "DocumentsTestSupport.h"
#include "appkit/UserInterfaceItem.h"
#include "documents/IMDocument.h"
#include "sharing/Reachability.h"

namespace {

struct PostItem : ui::UserInterfaceItem {
  QString action() const override { return QStringLiteral("exportToFacebook:"); }
};

struct PostCommand {
  PostCommand() {
    IMDocument::setInternetReachabilityProvider([this] { return internet.get(); });
  }
  ~PostCommand() { IMDocument::setInternetReachabilityProvider(nullptr); }
  std::unique_ptr<Reachability> internet = Reachability::reachabilityForInternetConnection();
};

TEST(PostCommand, FollowsTheImageAndTheNetwork) {
  PostCommand command;
  IMDocument empty;
  ASSERT_TRUE(empty.initWithType(IMNativeDocumentType, nullptr));
  IMDocument image;
  ASSERT_TRUE(image.initWithType(IMNativeDocumentType, nullptr));
  doctest::fillWithThreeLayers(image.composedImage(), image.managedObjectContext());
  EXPECT_FALSE(empty.validateUserInterfaceItem(PostItem()));
  const bool online = command.internet->currentReachabilityStatus() != NotReachable;
  EXPECT_EQ(image.validateUserInterfaceItem(PostItem()), online);
  if (qEnvironmentVariableIsSet("TESSALY_IN_EMPTY_NETNS")) {
    EXPECT_FALSE(online);
    return;
  }
  // No reachability object at all reads as no network.
  IMDocument::setInternetReachabilityProvider(nullptr);
  EXPECT_FALSE(image.validateUserInterfaceItem(PostItem()));

  // The same document in a network namespace of its own, with no network.
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TESSALY_IN_EMPTY_NETNS", "1");
  child.setProcessEnvironment(env);
  child.start("unshare", {"-n", QCoreApplication::applicationFilePath(),
                          "--gtest_filter=PostCommand.FollowsTheImageAndTheNetwork"});
  ASSERT_TRUE(child.waitForFinished(60000));
  if (child.exitCode() != 0 && child.readAllStandardError().contains("unshare failed"))
    GTEST_SKIP() << "no network namespaces here (needs root)";
  EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().constData();
}

}  // namespace
