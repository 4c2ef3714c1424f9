#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

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
  VersionsSpillToFiles spill;
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

// Cache folders left by processes that are gone (killed, crashed) are
// removed; a folder whose owner lives (by its lock, or lacking one by its
// process id), a link in place of a folder, another user's folder and
// anything not named as ours stay, and nothing is followed out of the base.
TEST(ImagesCacheFolderTest, StaleFoldersOfGoneProcessesAreRemoved) {
  QTemporaryDir base, outside;
  ASSERT_TRUE(base.isValid() && outside.isValid());
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const QString gone = QString::number(child);
  const auto folder = [&](const QString& name, bool withLock) {
    const QString path = base.filePath(name);
    EXPECT_TRUE(QDir().mkpath(path + "/Tessaly"));
    writeFile(path + "/Tessaly/2026341212423456");
    if (withLock) writeFile(path + "/.owner");
    return path;
  };
  const QStringList removed = {folder("tessaly-" + gone + "-aaaaaa", true),
                               folder("tessaly-" + gone + "-bbbbbb", false)};
  // A living owner whose process id means nothing here (another namespace).
  const QString locked = folder("tessaly-" + gone + "-cccccc", true);
  const int lock = open(QFile::encodeName(locked + "/.owner").constData(), O_RDONLY);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  QStringList kept = {locked, folder(QStringLiteral("tessaly-%1-dddddd").arg(getppid()), false),
                      folder("tessaly-Ab12Cd", false), folder("tessaly-test-Ab12Cd", false)};
  ASSERT_TRUE(QDir().mkpath(outside.filePath("target")));
  writeFile(outside.filePath("target/picture"));
  const QString link = base.filePath("tessaly-" + gone + "-eeeeee");
  ASSERT_TRUE(QFile::link(outside.filePath("target"), link));
  if (geteuid() == 0) {
    const QString others = folder("tessaly-" + gone + "-ffffff", false);
    ASSERT_EQ(chown(QFile::encodeName(others).constData(), 65534, 65534), 0);
    kept.append(others);
  }
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", base.path().toLocal8Bit());
  ImagesCacheFolder own;
  const QString ownPath = own.path();
  ASSERT_TRUE(ownPath.startsWith(base.path() + QStringLiteral("/tessaly-%1-").arg(getpid())));

  EXPECT_EQ(ImagesCacheFolder::removeStaleFolders(base.path()), removed.size());
  qputenv("XDG_RUNTIME_DIR", runtime);
  for (const QString& path : removed) EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
  for (const QString& path : kept + QStringList{ownPath})
    EXPECT_TRUE(QFileInfo(path).isDir()) << path.toStdString();
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_TRUE(QFile::exists(outside.filePath("target/picture")));
  close(lock);
  // Its lock given up, the owner is gone as far as the next start can tell.
  EXPECT_EQ(ImagesCacheFolder::removeStaleFolders(base.path()), 1);
  EXPECT_FALSE(QFileInfo::exists(locked));
}

// A version still being written when the folder goes (a document's queue
// finishing its writes as the program ends) neither keeps the folder alive
// nor lets the writer plant a new file in it once it is gone.
TEST(ImagesCacheFolderTest, RemovalWinsOverAWriterStillAddingVersions) {
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    ImagesCacheFolder owner;
    const QString cache = owner.path();
    ASSERT_FALSE(cache.isEmpty());
    std::atomic<int> written{0};
    std::atomic<bool> removed{false};
    std::thread writer([&] {
      // As a version write does: the subfolder, a temporary file, a rename.
      for (int i = 0; !removed; ++i) {
        const QByteArray folder = QFile::encodeName(cache + "/Tessaly");
        mkdir(folder.constData(), 0700);
        const QByteArray temporary = folder + "/." + QByteArray::number(i);
        const int fd = open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return;  // the folder is gone
        close(fd);
        if (rename(temporary.constData(), (folder + "/" + QByteArray::number(i)).constData()) != 0)
          return;
        ++written;
      }
    });
    while (written < 2) std::this_thread::yield();
    owner.remove();
    removed = true;
    writer.join();
    EXPECT_FALSE(QFileInfo::exists(cache))
        << QDir(cache + "/Tessaly").entryList().join(' ').toStdString();
    ImagesCacheFolder::removeTreeWithoutFollowingLinks(cache);
  }
}
