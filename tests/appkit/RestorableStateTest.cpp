#include <gtest/gtest.h>

#include <QDir>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/RestorableState.h"
#include "appkit/ScriptedModalServices.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

namespace {

// A window controller with one value of its own, as the program's keep
// their zoom and settings.
class ZoomController : public ui::WindowController {
 public:
  void encodeRestorableStateWithCoder(fnd::KeyedArchiver& coder) override {
    WindowController::encodeRestorableStateWithCoder(coder);
    coder.encodeDouble(zoom, "zoom");
  }
  void restoreStateWithCoder(fnd::KeyedUnarchiver& coder) override {
    WindowController::restoreStateWithCoder(coder);
    zoom = coder.decodeDoubleForKey("zoom");
  }
  double zoom = 1;
};

class ZoomDocument : public apptest::TextDocument {
 public:
  void makeWindowControllers() override { addWindowController(std::make_unique<ZoomController>()); }
};

}  // namespace

// A window's state is written when it closes, as a keyed archive under the
// state folder, and given back when its document opens again.
TEST(RestorableState, WrittenOnCloseAndRestoredWhenTheDocumentReopens) {
  const QString state = tst::tempPath("state-home");
  qputenv("XDG_STATE_HOME", state.toLocal8Bit());
  apptest::TextDocumentController controller;
  controller.setDocumentClass([] { return std::make_unique<ZoomDocument>(); });
  ui::ScriptedModalServices modal;
  const QString folder = tst::tempPath("restored");
  QDir().mkpath(folder);
  apptest::writeFile(folder + "/a.txt", "a");
  apptest::writeFile(folder + "/b.txt", "b");
  const QUrl a = QUrl::fromLocalFile(folder + "/a.txt");

  auto open = [&](const QUrl& url) {
    ui::Document* document = nullptr;
    controller.openDocumentWithContentsOfURL(
        url, true, [&](ui::Document* d, bool, const fnd::Error*) { document = d; });
    return document ? static_cast<ZoomController*>(document->windowControllers().value(0))
                    : nullptr;
  };
  ZoomController* first = open(a);
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->isWindowRestored());
  first->window()->setGeometry(40, 50, 420, 310);
  first->zoom = 2.5;
  QPointer<ui::Document> document = first->document();
  first->window()->QWidget::close();
  ASSERT_TRUE(tst::spinUntil([&] { return !document; }));

  const QString path = ui::RestorableState::pathForDocument(a, 0);
  EXPECT_TRUE(path.startsWith(state + "/Tessaly/"));
  ASSERT_TRUE(QFile::exists(path));
  tst::saveArtifact(path, "appkit-restorable-state.plist");
  // Python's plistlib reads the archive as a binary property list.
  if (tst::haveTool("python3")) {
    QString output;
    tst::runTool("python3",
                 {"-c",
                  "import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb'));"
                  "print(d['$archiver'], d['$top']['zoom'], d['$top']['fullScreen'])",
                  path},
                 &output);
    EXPECT_EQ(output.trimmed(), "NSKeyedArchiver 2.5 False");
  }

  ZoomController* again = open(a);
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->isWindowRestored());
  EXPECT_EQ(again->zoom, 2.5);
  EXPECT_EQ(again->window()->size(), QSize(420, 310));

  ZoomController* other = open(QUrl::fromLocalFile(folder + "/b.txt"));
  ASSERT_TRUE(other);
  EXPECT_FALSE(other->isWindowRestored());
  EXPECT_EQ(other->zoom, 1);
}
