#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "ModelTestSupport.h"
#include "model/Image.h"
#include "model/ImagesCacheFolder.h"

namespace {

void writeFile(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("kept");
}

}  // namespace

// Links inside the cache folder (to a folder, to a file, dangling, and one
// standing where a folder of ours was) go with the folder; what they point
// to stays, wherever it is.
TEST(ImagesCacheFolderTest, OwnerRemovesItsFolderWithoutFollowingLinks) {
  QTemporaryDir outside;
  ASSERT_TRUE(outside.isValid());
  const QString outsideFolder = outside.filePath("folder");
  ASSERT_TRUE(QDir().mkpath(outsideFolder + "/deeper"));
  writeFile(outsideFolder + "/deeper/picture");
  writeFile(outside.filePath("file"));
  QString cache;
  {
    ImagesCacheFolder owner;
    cache = owner.path();
    ASSERT_FALSE(cache.isEmpty());
    ASSERT_TRUE(QDir().mkpath(cache + "/Tessaly/inner"));
    writeFile(cache + "/Tessaly/2026341212423456");
    const struct {
      QString target, link;
    } links[] = {
        {outsideFolder, cache + "/Tessaly/toFolder"},
        {outside.filePath("file"), cache + "/Tessaly/inner/toFile"},
        {outside.filePath("missing"), cache + "/dangling"},
        {outsideFolder + "/deeper", cache + "/Tessaly/inner/deeper"},
    };
    for (const auto& link : links)
      ASSERT_EQ(symlink(QFile::encodeName(link.target).constData(),
                        QFile::encodeName(link.link).constData()),
                0);
  }
  EXPECT_FALSE(QFileInfo::exists(cache));
  EXPECT_FALSE(QFileInfo(cache).isSymLink());
  EXPECT_TRUE(QFile::exists(outsideFolder + "/deeper/picture"));
  EXPECT_TRUE(QFile::exists(outside.filePath("file")));

  // A link given as the tree itself is removed as a link.
  const QString link = outside.filePath("link");
  ASSERT_EQ(
      symlink(QFile::encodeName(outsideFolder).constData(), QFile::encodeName(link).constData()),
      0);
  EXPECT_TRUE(ImagesCacheFolder::removeTreeWithoutFollowingLinks(link));
  EXPECT_FALSE(QFileInfo(link).isSymLink());
  EXPECT_TRUE(QFile::exists(outsideFolder + "/deeper/picture"));
}

// Run only as the child of the test below: writes one version into the
// cache folder, which must then be under the runtime folder it was given.
TEST(ImagesCacheFolderTest, DISABLED_ChildWritesAVersion) {
  ModelDocument document;
  auto* image = document.context->insertNewObject<Image>("Image");
  image->setNsImage(solidImage(4, 4, Qt::red));
  drainImageWork(document);
  const QString file = Image::pathOfCachedImageWithDate(image->versionToken());
  EXPECT_TRUE(QFile::exists(file));
  EXPECT_TRUE(file.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/tessaly-"));
}

// A program that used the model leaves nothing behind, neither in the
// runtime folder (where the image cache goes) nor in the temporary folder,
// once it has ended normally.
TEST(ImagesCacheFolderTest, AProgramLeavesNoCacheFolderBehind) {
  QTemporaryDir temp, runtime;
  ASSERT_TRUE(temp.isValid() && runtime.isValid());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("TMPDIR", temp.path());
  environment.insert("XDG_RUNTIME_DIR", runtime.path());
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_also_run_disabled_tests",
               "--gtest_filter=ImagesCacheFolderTest.DISABLED_ChildWritesAVersion"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromLocal8Bit(child.readAll());
  ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
  ASSERT_EQ(child.exitCode(), 0) << output.toStdString();
  ASSERT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
  EXPECT_EQ(QDir(runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
  EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
}
