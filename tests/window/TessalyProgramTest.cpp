#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

#include "TestSupport.h"
#include "documents/IMDocument.h"
#include "foundation/UserDefaults.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

QString folderOf(const QString& name) {
  const QString folder = tst::tempPath(name);
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return folder;
}

// A stored two-layer document, written through the model as the program
// writes its own.
void writeDocument(const QString& path) {
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  ComposedImage* image = document.composedImage();
  image->setSize(QSizeF(64, 48));
  while (image->layersArray().size() < 2)
    Layer::createLayerWithComposedImage(image, document.managedObjectContext(), true);
  image->layersArray()[0]->image()->setNsImage(
      ima_imageWithPixelSize(QSizeF(32, 32), [](const QRectF& rect) {
        gfx::GraphicsContext::current()->fillRect(rect, QColor(200, 30, 30),
                                                  gfx::CompositingOperation::Copy);
        return true;
      }));
  bool done = false;
  const fnd::Error* failed = nullptr;
  document.saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveAsOperation,
                     [&](const fnd::Error* error) {
                       failed = error;
                       done = true;
                     });
  ASSERT_TRUE(tst::spinUntil([&] { return done; }));
  ASSERT_FALSE(failed);
  document.close();
}

// Whether the process holds `path` open, as the document's store does.
bool holdsOpen(qint64 pid, const QString& path) {
  const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
  const QString target = QFileInfo(path).canonicalFilePath();
  for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System))
    if (fd.symLinkTarget() == target) return true;
  return false;
}

QStringList cacheFoldersIn(const QString& folder) {
  return QDir(folder).entryList({"tessaly-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
}

}  // namespace

// The program opens the documents it is given, and SIGTERM ends it through
// the termination sequence: status 0, defaults written, its cache folder,
// which existed while it ran, gone.
TEST(TessalyProgramTest, OpensADocumentFromTheCommandLineAndEndsCleanlyOnSigterm) {
  const QString documents = folderOf("program-documents");
  const QString runtime = folderOf("program-runtime");
  const QString temporary = folderOf("program-tmp");
  const QString config = folderOf("program-config");
  const QString path = documents + "/two layers.zova";
  writeDocument(path);
  tst::saveArtifact(path, "window-program-two-layers.zova");

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("XDG_RUNTIME_DIR", runtime);
  environment.insert("TMPDIR", temporary);
  environment.insert("TESSALY_CONFIG_HOME", config);
  environment.insert("XDG_STATE_HOME", folderOf("program-state"));
  // Every version goes to the cache folder, not only those beyond memory.
  environment.insert("TESSALY_UNDO_MEMORY", "0");
  program.setProcessEnvironment(environment);
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  // A picture in another format opens as a new document whose pixels are
  // kept in the program's cache folder.
  const QString picture = documents + "/picture.png";
  QImage pixels(24, 16, QImage::Format_ARGB32);
  pixels.fill(QColor(20, 120, 220));
  ASSERT_TRUE(pixels.save(picture, "PNG"));
  program.start(TESSALY_PROGRAM, {path, picture});
  ASSERT_TRUE(program.waitForStarted());
  const qint64 pid = program.processId();

  const bool opened = tst::spinUntil(
      [&] { return program.state() != QProcess::Running || holdsOpen(pid, path); }, 30000);
  ASSERT_TRUE(opened && program.state() == QProcess::Running) << "the document did not open";
  // The folder is made once a layer's pixels are first kept: it exists
  // while the program runs, and only this one.
  ASSERT_TRUE(tst::spinUntil(
      [&] { return program.state() != QProcess::Running || !cacheFoldersIn(runtime).isEmpty(); },
      30000));
  ASSERT_EQ(program.state(), QProcess::Running);
  EXPECT_EQ(cacheFoldersIn(runtime).size(), 1);

  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(cacheFoldersIn(runtime).isEmpty()) << cacheFoldersIn(runtime).join(' ').toStdString();
  EXPECT_TRUE(QDir(temporary).isEmpty());
  auto defaults = fnd::UserDefaults::withFile(config + "/Tessaly.conf");
  EXPECT_EQ(defaults->integerForKey("IMLaunchsNumber"), 1);
  EXPECT_TRUE(defaults->hasKey("IMGaveARating"));
  EXPECT_TRUE(QFileInfo::exists(path));
}
