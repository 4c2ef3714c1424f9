#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>
#include <QThreadPool>

#include "ModelTestSupport.h"
#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/UndoManager.h"
#include "foundation/WorkerPool.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/ImageDataArchive.h"
#include "model/Layer.h"

namespace {

struct ImageFixture {
  VersionsSpillToFiles spill;
  ModelDocument document;
  Image* image = document.context->insertNewObject<Image>("Image");
};

QColor colorOf(Image* image) {
  gfx::ImagePtr pixels = image->localImage();
  return pixels ? pixelAt(pixels, 1, 1) : QColor();
}

QByteArray threePagePDF() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setPageSize(QPageSize(QSizeF(100, 100), QPageSize::Point));
  QPainter painter(&writer);
  for (int page = 0; page < 3; ++page) {
    if (page) writer.newPage();
    painter.drawText(20, 20, QString::number(page + 1));
  }
  painter.end();
  return bytes;
}

}  // namespace

TEST(ImageVersionsTest, TokensAreUniqueAndNamedWithSixteenDigits) {
  QSet<QString> names;
  QDateTime last;
  for (int i = 0; i < 200; ++i) {
    QDateTime token = Image::newVersionToken();
    if (last.isValid()) {
      EXPECT_GT(token, last);
    }
    last = token;
    QString name = Image::cacheFileNameForDate(token);
    EXPECT_EQ(name.size(), 16);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 200);
  struct Case {
    QDateTime local;
    const char* name;
  } cases[] = {
      {QDateTime(QDate(2026, 12, 7), QTime(21, 24, 23, 456)), "2026341212423456"},
      {QDateTime(QDate(2027, 1, 5), QTime(3, 4, 5, 6)), "2027005030405006"},
  };
  for (const Case& c : cases) EXPECT_EQ(Image::cacheFileNameForDate(c.local), c.name);
}

TEST(ImageVersionsTest, CacheFolderIsPrivateToTheProcess) {
  QString path = Image::imagesCacheDirectoryPath();
  ASSERT_FALSE(path.isEmpty());
  EXPECT_TRUE(path.endsWith("/Tessaly"));
  QFileInfo parent(QFileInfo(path).path());
  struct stat info {};
  ASSERT_EQ(stat(QFile::encodeName(parent.filePath()).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(Image::imagesCacheDirectoryPath(), path);
}

TEST(ImageVersionsTest, InstallingAVersionWritesItsCacheFile) {
  ImageFixture f;
  gfx::ImagePtr red = solidImage(4, 4, Qt::red);
  bool handled = false, written = false;
  f.image->setNsImage(red, [&](bool ok) {
    handled = true;
    written = ok;
  });
  QDateTime token = f.image->versionToken();
  ASSERT_TRUE(token.isValid());
  EXPECT_EQ(f.image->localImageDate(), token);
  ASSERT_TRUE(tst::spinUntil([&] { return handled; }));
  EXPECT_TRUE(written);
  QString path = Image::pathOfCachedImageWithDate(token);
  ASSERT_TRUE(QFile::exists(path));
  tst::saveArtifact(path, "model-image-version-cache-file.bplist");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  gfx::ImagePtr back = ima_imageWithImageData(file.readAll());
  ASSERT_TRUE(back);
  EXPECT_TRUE(sameColor(pixelAt(back, 2, 2), Qt::red));

  // The very same object again changes nothing and never answers.
  bool secondHandled = false;
  f.image->setNsImage(red, [&](bool) { secondHandled = true; });
  drainImageWork(f.document);
  EXPECT_FALSE(secondHandled);
  EXPECT_EQ(f.image->versionToken(), token);
}

TEST(ImageVersionsTest, SettingNothingEmptiesAndSavesNoBlob) {
  ImageFixture f;
  f.image->setNsImage(solidImage(4, 4, Qt::red));
  f.document.context->save();
  EXPECT_FALSE(f.image->imageData().isEmpty());
  QDateTime before = f.image->versionToken();
  bool answered = false, ok = true;
  f.image->setNsImage(nullptr, [&](bool result) {
    answered = true;
    ok = result;
  });
  EXPECT_TRUE(answered);
  EXPECT_FALSE(ok);
  EXPECT_NE(f.image->versionToken(), before);
  EXPECT_FALSE(QFile::exists(Image::pathOfCachedImageWithDate(f.image->versionToken())));
  ASSERT_TRUE(f.document.context->save());
  EXPECT_TRUE(f.image->imageData().isEmpty());
  EXPECT_EQ(f.image->nsImage(), nullptr);
}

TEST(ImageVersionsTest, UndoAndRedoReloadVersionsFromTheCache) {
  ImageFixture f;
  fnd::UndoManager* undo = f.document.context->undoManager();
  struct Step {
    QColor color;
  } steps[] = {{Qt::red}, {Qt::green}, {Qt::blue}};
  for (const Step& step : steps) {
    undo->beginUndoGrouping();
    f.image->setNsImage(solidImage(4, 4, step.color));
    f.document.context->processPendingChanges();
    undo->endUndoGrouping();
    drainImageWork(f.document);
  }
  struct Move {
    bool isUndo;
    QColor expected;
  } moves[] = {{true, Qt::green}, {true, Qt::red}, {false, Qt::green}, {false, Qt::blue}};
  for (const Move& move : moves) {
    QDateTime tokenBefore = f.image->versionToken();
    if (move.isUndo)
      f.document.context->undo();
    else
      f.document.context->redo();
    EXPECT_NE(f.image->versionToken(), tokenBefore);
    ASSERT_TRUE(
        tst::spinUntil([&] { return f.image->localImageDate() == f.image->versionToken(); }));
    EXPECT_TRUE(sameColor(colorOf(f.image), move.expected)) << move.expected.name().toStdString();
    // The Core Image copy follows the reloaded pixels.
    f.image->setUsesCIImage(true);
    f.image->checkCIIMageVSImage();
    EXPECT_FALSE(f.image->ciImage().isNull());
  }
}

TEST(ImageVersionsTest, AsynchronousRequestsDecodeOnceOffTheMainQueue) {
  ModelDocument source;
  auto* stored = source.context->insertNewObject<Image>("Image");
  stored->setNsImage(solidImage(6, 6, Qt::green));
  ASSERT_TRUE(source.context->save());
  QByteArray blob = stored->imageData();
  ASSERT_FALSE(blob.isEmpty());

  ImageFixture f;
  f.image->setPrimitiveValue(blob, "imageData");
  gfx::ImagePtr first, second;
  bool firstCalled = false, secondCalled = false;
  f.image->nsImageWithCompletionBlock(
      [&](gfx::ImagePtr i) {
        firstCalled = true;
        first = i;
      },
      true);
  EXPECT_TRUE(f.image->isLoadingNSImage());
  f.image->nsImageWithCompletionBlock(
      [&](gfx::ImagePtr i) {
        secondCalled = true;
        second = i;
      },
      true);
  EXPECT_TRUE(secondCalled);
  EXPECT_EQ(second, nullptr);
  ASSERT_TRUE(tst::spinUntil([&] { return firstCalled; }));
  ASSERT_TRUE(first);
  EXPECT_FALSE(f.image->isLoadingNSImage());
  EXPECT_TRUE(sameColor(pixelAt(first, 2, 2), Qt::green));
  EXPECT_TRUE(f.image->versionToken().isValid());
  drainImageWork(f.document);
  // The decoded version is served from the stored bytes: opening writes no file.
  EXPECT_FALSE(QFile::exists(Image::pathOfCachedImageWithDate(f.image->versionToken())));

  // Asked on the loading queue itself, the decode happens there and then.
  ImageFixture g;
  g.image->setPrimitiveValue(blob, "imageData");
  gfx::ImagePtr onQueue;
  bool done = false;
  g.document.queue->addOperationWithBlock([&] {
    g.image->handleNSData(
        blob, [&](gfx::ImagePtr i) { onQueue = i; }, nullptr, false);
    done = true;
  });
  g.document.queue->waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(done);
  EXPECT_TRUE(onQueue);
}

TEST(ImageVersionsTest, SizeOfStoredPixelsIsKnownFromEveryBlobLayout) {
  gfx::ImagePtr pixels = solidImage(7, 5, Qt::green);
  const QByteArray direct = ima_produceImageData(pixels);
  fnd::KeyedArchiver archiver;  // the general layout older documents hold
  archiver.encodeData(ima_bitmapRepresentation(pixels)->TIFFRepresentationUsingCompression(
                          gfx::TIFFCompression::LZW, 1.0f),
                      "tiffImage");
  ASSERT_TRUE(ImageDataArchive::tiffIn(archiver.encodedData()).isNull());
  for (const QByteArray& blob : {direct, archiver.encodedData()}) {
    ImageFixture f;
    f.image->setPrimitiveValue(blob, "imageData");
    bool called = false;
    f.image->nsImageWithCompletionBlock([&](gfx::ImagePtr) { called = true; }, true);
    EXPECT_EQ(f.image->sizeOfPixelsBeingLoaded(), QSizeF(7, 5));
    ASSERT_TRUE(tst::spinUntil([&] { return called; }));
    EXPECT_TRUE(sameColor(colorOf(f.image), Qt::green));
  }
}

TEST(ImageVersionsTest, LateDecodeNeverReplacesANewerVersion) {
  ModelDocument source;
  auto* stored = source.context->insertNewObject<Image>("Image");
  stored->setNsImage(solidImage(6, 6, Qt::green));
  ASSERT_TRUE(source.context->save());

  ImageFixture f;
  f.image->setPrimitiveValue(stored->imageData(), "imageData");
  gfx::ImagePtr answered;
  bool called = false;
  f.image->nsImageWithCompletionBlock(
      [&](gfx::ImagePtr i) {
        called = true;
        answered = i;
      },
      true);
  gfx::ImagePtr newer = solidImage(6, 6, Qt::blue);
  f.image->setNsImage(newer);
  ASSERT_TRUE(tst::spinUntil([&] { return called; }));
  EXPECT_EQ(f.image->localImage(), newer);
  EXPECT_EQ(answered, newer);
}

TEST(ImageVersionsTest, PdfPagesAreVersions) {
  ImageFixture f;
  gfx::ImagePtr pdf = gfx::Image::imageWithData(threePagePDF());
  ASSERT_TRUE(pdf);
  f.image->setNsImage(pdf);
  EXPECT_TRUE(f.image->isPDF());
  EXPECT_TRUE(f.image->isMultiPagesPDF());
  EXPECT_EQ(f.image->maxPdfPageNumber(), 3);
  EXPECT_EQ(f.image->pdfPageNumber(), 1);
  QDateTime before = f.image->versionToken();
  f.image->setPdfPageNumber(3);
  EXPECT_EQ(f.image->pdfPageNumber(), 3);
  EXPECT_GT(f.image->versionToken(), before);

  ImageFixture bitmap;
  bitmap.image->setNsImage(solidImage(2, 2, Qt::red));
  EXPECT_FALSE(bitmap.image->isPDF());
  EXPECT_FALSE(bitmap.image->isMultiPagesPDF());
}

namespace {

// Installs `pixels` as one undoable version and lets its cache write finish.
void installStep(ImageFixture& f, gfx::ImagePtr pixels) {
  fnd::UndoManager* undo = f.document.context->undoManager();
  undo->beginUndoGrouping();
  f.image->setNsImage(std::move(pixels));
  f.document.context->processPendingChanges();
  undo->endUndoGrouping();
  drainImageWork(f.document);
}

// Undoes or redoes one step and waits until its version is in memory.
bool moveAndReload(ImageFixture& f, bool isUndo) {
  if (isUndo)
    f.document.context->undo();
  else
    f.document.context->redo();
  return tst::spinUntil([&] { return f.image->localImageDate() == f.image->versionToken(); });
}

// The pixels the last save stored, or an invalid colour when it stored none.
QColor storedColor(ImageFixture& f, const char* artifactName) {
  EXPECT_TRUE(f.document.context->save());
  QByteArray blob = f.image->imageData();
  if (blob.isEmpty()) return QColor();
  tst::saveArtifactData(blob, artifactName);
  gfx::ImagePtr pixels = ima_imageWithImageData(blob);
  return pixels ? pixelAt(pixels, 1, 1) : QColor(Qt::transparent);
}

}  // namespace

TEST(ImageVersionsTest, StoredVersionGetsItsFileOnlyWhenReplaced) {
  VersionsSpillToFiles spill;
  ModelDocument source;
  auto* stored = source.context->insertNewObject<Image>("Image");
  stored->setNsImage(solidImage(6, 6, Qt::green));
  ASSERT_TRUE(source.context->save());
  const QByteArray blob = stored->imageData();

  ImageFixture f;
  f.image->setPrimitiveValue(blob, "imageData");
  ASSERT_TRUE(f.image->nsImage());
  const QDateTime decodedToken = f.image->versionToken();
  drainImageWork(f.document);
  EXPECT_FALSE(QFile::exists(Image::pathOfCachedImageWithDate(decodedToken)));

  // Replaced, it is written as the very bytes it was decoded from.
  installStep(f, solidImage(6, 6, Qt::blue));
  QFile file(Image::pathOfCachedImageWithDate(decodedToken));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), blob);
  struct Move {
    bool isUndo;
    QColor expected;
  } moves[] = {{true, Qt::green}, {false, Qt::blue}, {true, Qt::green}};
  for (const Move& move : moves) {
    ASSERT_TRUE(moveAndReload(f, move.isUndo));
    EXPECT_TRUE(sameColor(colorOf(f.image), move.expected)) << move.expected.name().toStdString();
  }
}

TEST(ImageVersionsTest, FailedCacheWriteKeepsTheVersionInMemory) {
  ImageFixture f;
  installStep(f, solidImage(4, 4, Qt::red));

  // A plain file where the cache folder belongs makes the next write fail,
  // even for root; the folder comes back once that write has answered.
  const QString folder = Image::imagesCacheDirectoryPath();
  const QString aside = folder + ".aside";
  ASSERT_TRUE(QDir().rename(folder, aside));
  QFile blocker(folder);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  bool answered = false, written = true;
  fnd::UndoManager* undo = f.document.context->undoManager();
  undo->beginUndoGrouping();
  f.image->setNsImage(solidImage(4, 4, Qt::green), [&](bool ok) {
    answered = true;
    written = ok;
  });
  f.document.context->processPendingChanges();
  undo->endUndoGrouping();
  ASSERT_TRUE(tst::spinUntil([&] { return answered; }));
  EXPECT_FALSE(written);
  const QDateTime greenToken = f.image->versionToken();
  ASSERT_TRUE(QFile::remove(folder));
  ASSERT_TRUE(QDir().rename(aside, folder));
  EXPECT_FALSE(QFile::exists(Image::pathOfCachedImageWithDate(greenToken)));
  drainImageWork(f.document);
  EXPECT_EQ(Image::pendingCacheWrites(), 0);

  struct Move {
    bool isUndo;
    QColor expected;
  } moves[] = {{true, Qt::red}, {false, Qt::green}, {true, Qt::red}, {false, Qt::green}};
  for (const Move& move : moves) {
    ASSERT_TRUE(moveAndReload(f, move.isUndo));
    EXPECT_TRUE(sameColor(colorOf(f.image), move.expected)) << move.expected.name().toStdString();
  }
  EXPECT_EQ(f.image->versionToken(), greenToken);
  EXPECT_TRUE(sameColor(storedColor(f, "model-image-failed-write-saved.bplist"), Qt::green));
}

TEST(ImageVersionsTest, VersionsWithoutAFileReloadWhatTheyHold) {
  struct Case {
    const char* name;
    QColor second;         // invalid: the second version is empty
    bool removeFirstFile;  // the first version's file disappears
    QColor afterUndo;      // invalid: no pixels
    QColor afterRedo;
  } cases[] = {
      // A lost file keeps what is in memory rather than dropping it.
      {"lost file", Qt::green, true, Qt::green, Qt::green},
      // An empty version has no file by design and reloads as empty.
      {"empty version", QColor(), false, Qt::red, QColor()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageFixture f;
    installStep(f, solidImage(4, 4, Qt::red));
    const QDateTime first = f.image->versionToken();
    installStep(f, c.second.isValid() ? solidImage(4, 4, c.second) : nullptr);
    if (c.removeFirstFile) {
      ASSERT_TRUE(QFile::remove(Image::pathOfCachedImageWithDate(first)));
    }

    ASSERT_TRUE(moveAndReload(f, true));
    EXPECT_EQ(f.image->versionToken(), first);
    EXPECT_EQ(colorOf(f.image).isValid(), c.afterUndo.isValid());
    if (c.afterUndo.isValid()) {
      EXPECT_TRUE(sameColor(colorOf(f.image), c.afterUndo));
    }
    QColor stored = storedColor(f, "model-image-reload-without-file.bplist");
    EXPECT_EQ(stored.isValid(), c.afterUndo.isValid());
    if (c.afterUndo.isValid()) {
      EXPECT_TRUE(sameColor(stored, c.afterUndo));
    }

    ASSERT_TRUE(moveAndReload(f, false));
    EXPECT_EQ(colorOf(f.image).isValid(), c.afterRedo.isValid());
    if (c.afterRedo.isValid()) {
      EXPECT_TRUE(sameColor(colorOf(f.image), c.afterRedo));
    }
  }
}

// While a step is being built, its current version costs nothing in the
// background, however often the loop turns: no file write is queued and no
// half-size copy is made (the next drag event replaces it; a draw reduces
// what it shows). The write begins once the step is closed; a save in
// between stores the step's pixels. A version made with no step being built
// gets both at once.
TEST(ImageVersionsTest, VersionOfAnOpenStepWaitsForTheStepsEnd) {
  for (const bool inStep : {true, false}) {
    SCOPED_TRACE(inStep);
    ImageFixture f;
    installStep(f, solidImage(4, 4, Qt::red));
    fnd::UndoManager* undo = f.document.context->undoManager();
    // Any change opens the step of its event pass; with registration off
    // none is built.
    inStep ? undo->beginUndoGrouping() : undo->disableUndoRegistration();
    const gfx::ImagePtr large = solidImage(1024, 1024, Qt::green);
    f.image->setNsImage(large);
    if (!inStep) undo->enableUndoRegistration();
    const QString file = Image::pathOfCachedImageWithDate(f.image->versionToken());
    fnd::WorkerPool::shared()->waitForDone();
    auto bitmap = large->firstRepresentationOfClass<gfx::BitmapImageRep>();
    ASSERT_TRUE(bitmap && bitmap->cgImage());
    EXPECT_EQ(bitmap->cgImage()->hasHalfSizePixels(), !inStep);
    if (inStep) {
      for (int i = 0; i < 5; ++i) tst::spinOnce();
      EXPECT_EQ(f.document.queue->operationCount(), 0);
      EXPECT_FALSE(QFile::exists(file));
      EXPECT_TRUE(sameColor(storedColor(f, "model-image-saved-within-a-step.bplist"), Qt::green));
      f.document.context->processPendingChanges();
      undo->endUndoGrouping();
    }
    drainImageWork(f.document);
    EXPECT_TRUE(QFile::exists(file));
  }
}

TEST(ImageVersionsTest, DecodeOfAnImageGoneMeanwhileHandsNothingBack) {
  ModelDocument source;
  auto* stored = source.context->insertNewObject<Image>("Image");
  stored->setNsImage(solidImage(6, 6, Qt::green));
  ASSERT_TRUE(source.context->save());

  ImageFixture f;
  f.image->setPrimitiveValue(stored->imageData(), "imageData");
  bool called = false;
  f.document.queue->setSuspended(true);
  f.image->nsImageWithCompletionBlock([&](gfx::ImagePtr) { called = true; }, true);
  EXPECT_EQ(f.document.queue->operationCount(), 1);
  // Frees the image while its decode waits on the loading queue.
  f.document.context->reset();
  f.document.queue->setSuspended(false);
  drainImageWork(f.document);
  EXPECT_FALSE(called);
}

// A drag makes one undo step of many versions. Those replaced within that
// step can never come back, so they get no file and keep no pixels queued;
// a version replaced before its write began but made in an earlier step is
// still written, for undo brings it back.
TEST(ImageVersionsTest, VersionsReplacedWithinTheirStepWriteNoFile) {
  ImageFixture f;
  installStep(f, solidImage(4, 4, Qt::red));
  f.document.queue->setSuspended(true);
  fnd::UndoManager* undo = f.document.context->undoManager();
  undo->beginUndoGrouping();
  f.image->setNsImage(solidImage(4, 4, Qt::green));
  f.document.context->processPendingChanges();
  undo->endUndoGrouping();
  const QDateTime green = f.image->versionToken();

  QList<QDateTime> dragged;
  undo->beginUndoGrouping();
  for (QColor color : {QColor(Qt::blue), QColor(Qt::yellow), QColor(Qt::cyan)}) {
    f.image->setNsImage(solidImage(4, 4, color));
    f.document.context->processPendingChanges();  // one event pass each
    dragged.append(f.image->versionToken());
  }
  undo->endUndoGrouping();
  EXPECT_EQ(Image::pendingCacheWrites(), 2);  // green and cyan only
  f.document.queue->setSuspended(false);
  drainImageWork(f.document);

  EXPECT_TRUE(QFile::exists(Image::pathOfCachedImageWithDate(green)));
  EXPECT_FALSE(QFile::exists(Image::pathOfCachedImageWithDate(dragged[0])));
  EXPECT_FALSE(QFile::exists(Image::pathOfCachedImageWithDate(dragged[1])));
  EXPECT_TRUE(QFile::exists(Image::pathOfCachedImageWithDate(dragged[2])));
  struct Move {
    bool isUndo;
    QColor expected;
  } moves[] = {
      {true, Qt::green}, {true, Qt::red}, {false, Qt::green}, {false, Qt::cyan}, {true, Qt::green}};
  for (const Move& move : moves) {
    ASSERT_TRUE(moveAndReload(f, move.isUndo));
    EXPECT_TRUE(sameColor(colorOf(f.image), move.expected)) << move.expected.name().toStdString();
  }
  EXPECT_TRUE(sameColor(storedColor(f, "model-image-drag-versions-saved.bplist"), Qt::green));
}

// Replaced versions stay in memory, oldest spilling to its cache file once
// they hold more than the budget: none is written while they fit, every one
// with no budget. Each reloads its own pixels on undo and redo, from memory
// or from its file, and a save stores the current ones.
TEST(ImageVersionsTest, VersionsStayInMemoryUntilTheyOutgrowTheBudget) {
  constexpr int kSide = 64;
  constexpr qint64 kPixelBytes = qint64(kSide) * kSide * 4;
  ModelDocument source;
  auto* stored = source.context->insertNewObject<Image>("Image");
  stored->setNsImage(solidImage(kSide, kSide, Qt::red));
  ASSERT_TRUE(source.context->save());
  const QByteArray blob = stored->imageData();

  struct Case {
    const char* name;
    qint64 budget;
    bool filed[4];  // red (the stored version), green, blue, cyan
  } cases[] = {
      {"every version spills", 0, {true, true, true, true}},
      // Two versions with their encoded bytes fit, not three.
      {"the two oldest spill", 2 * kPixelBytes + kPixelBytes / 2, {true, true, false, false}},
      {"all fit", 64 * kPixelBytes, {false, false, false, false}},
  };
  const QColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::cyan};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageFixture f;
    Image::setVersionsInMemoryBudget(c.budget);
    f.image->setPrimitiveValue(blob, "imageData");
    ASSERT_TRUE(f.image->nsImage());
    QDateTime tokens[4] = {f.image->versionToken()};
    for (int i = 1; i < 4; ++i) {
      installStep(f, solidImage(kSide, kSide, colors[i]));
      tokens[i] = f.image->versionToken();
    }
    drainImageWork(f.document);
    EXPECT_LE(Image::versionsInMemoryBytes(), c.budget);
    for (int i = 0; i < 4; ++i) {
      const QString path = Image::pathOfCachedImageWithDate(tokens[i]);
      EXPECT_EQ(QFile::exists(path), c.filed[i]) << i;
      QFile file(path);
      if (c.filed[i] && file.open(QIODevice::ReadOnly)) {
        gfx::ImagePtr filed = ima_imageWithImageData(file.readAll());
        ASSERT_TRUE(filed) << i;
        EXPECT_TRUE(sameColor(pixelAt(filed, 5, 5), colors[i])) << i;
      }
    }
    // Back to the stored red, forward to green, and the save stores green.
    for (int i = 2; i >= 0; --i) {
      ASSERT_TRUE(moveAndReload(f, true));
      EXPECT_TRUE(sameColor(colorOf(f.image), colors[i])) << i;
    }
    ASSERT_TRUE(moveAndReload(f, false));
    EXPECT_TRUE(sameColor(colorOf(f.image), Qt::green));
    EXPECT_TRUE(sameColor(storedColor(f, "model-image-versions-in-memory.bplist"), Qt::green));
  }
}
