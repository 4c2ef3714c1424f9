#include <gtest/gtest.h>

#include <QDesktopServices>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/Workspace.h"

namespace {

class Handler : public QObject {
  Q_OBJECT

 public slots:
  void open(const QUrl& url) { opened.append(url); }

 public:
  QList<QUrl> opened;
};

}  // namespace

// Addresses and files go to the handler the desktop (here: the test) has
// for their scheme; a missing file goes nowhere.
TEST(Workspace, OpensAddressesAndFilesWithTheirHandler) {
  Handler handler;
  QDesktopServices::setUrlHandler("https", &handler, "open");
  QDesktopServices::setUrlHandler("file", &handler, "open");
  const QString file = tst::tempPath("readme.rtf");
  apptest::writeFile(file, "{\\rtf1}");

  ui::Workspace& workspace = ui::Workspace::sharedWorkspace();
  EXPECT_TRUE(workspace.openURL(QUrl("https://www.example.org/?menu=tessaly_video")));
  EXPECT_TRUE(workspace.openFile(file));
  EXPECT_FALSE(workspace.openFile(file + ".missing"));
  QDesktopServices::unsetUrlHandler("https");
  QDesktopServices::unsetUrlHandler("file");

  EXPECT_EQ(handler.opened, QList<QUrl>({QUrl("https://www.example.org/?menu=tessaly_video"),
                                         QUrl::fromLocalFile(file)}));
}

#include "WorkspaceTest.moc"
