// A folder presented as a camera by libgphoto2's directory driver: its
// pictures listed with thumbnails, downloaded byte for byte into new files,
// and the errors of a camera that went away or a cancelled download.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "GPhotoTestDrivers.h"
#include "capture/GPhotoCamera.h"
#include "foundation/Error.h"

namespace {

const bool kDrivers = captest::useGPhotoDirectoryDriver();

QByteArray png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QImage pattern(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
  return image;
}

bool write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(GPhotoCamera, AFolderCameraListsThumbnailsAndDownloadsItsPictures) {
  ASSERT_TRUE(kDrivers);
  QTemporaryDir card, downloads;
  ASSERT_TRUE(QDir(card.path()).mkpath("DCIM/100TESS"));
  const QByteArray wide = png(pattern(640, 200)), small = png(pattern(30, 40));
  ASSERT_TRUE(write(card.filePath("DCIM/100TESS/wide.png"), wide));
  ASSERT_TRUE(write(card.filePath("DCIM/100TESS/small.png"), small));
  ASSERT_TRUE(write(card.filePath("notes.txt"), "not a picture"));

  fnd::Error error;
  auto camera = std::dynamic_pointer_cast<capture::Camera>(
      capture::GPhotoCamera::cameras({card.path()}, &error).last());
  ASSERT_TRUE(camera);
  EXPECT_EQ(camera->type(), unsigned(capture::DeviceTypeCamera));
  EXPECT_EQ(camera->name(), QFileInfo(card.path()).fileName());
  QList<capture::CameraFile> files = camera->files(&error);
  ASSERT_EQ(files.size(), 2) << error.localizedDescription().toStdString();
  std::sort(files.begin(), files.end(), [](auto& a, auto& b) { return a.name < b.name; });
  EXPECT_EQ(files[0].path(), "/DCIM/100TESS/small.png");
  EXPECT_EQ(files[1].path(), "/DCIM/100TESS/wide.png");

  // Thumbnails fit the side asked for and keep the picture's proportions.
  const QImage thumbnail = camera->thumbnail(files[1], 96, &error);
  EXPECT_EQ(thumbnail.size(), QSize(96, 30));
  EXPECT_EQ(camera->thumbnail(files[0], 96, &error).size(), QSize(30, 40));

  // Each download is a new file with the picture's bytes; an existing file
  // of the same name is left as it was.
  ASSERT_TRUE(write(downloads.filePath("wide.png"), "the user's own file"));
  capture::Progress progress;
  const QString first = camera->download(files[1], downloads.path(), progress, &error);
  const QString second = camera->download(files[1], downloads.path(), progress, &error);
  ASSERT_FALSE(first.isEmpty()) << error.localizedDescription().toStdString();
  EXPECT_NE(first, second);
  EXPECT_NE(first, downloads.filePath("wide.png"));
  EXPECT_EQ(read(first), wide);
  EXPECT_EQ(read(second), wide);
  EXPECT_EQ(read(downloads.filePath("wide.png")), "the user's own file");
}

TEST(GPhotoCamera, ACancelledDownloadOrAMissingCameraLeavesNoFile) {
  ASSERT_TRUE(kDrivers);
  QTemporaryDir card, downloads;
  ASSERT_TRUE(write(card.filePath("a.png"), png(pattern(8, 8))));
  auto camera =
      std::dynamic_pointer_cast<capture::Camera>(capture::GPhotoCamera::folderCamera(card.path()));
  fnd::Error error;
  const QList<capture::CameraFile> files = camera->files(&error);
  ASSERT_EQ(files.size(), 1);

  capture::Progress cancelled;
  cancelled.cancelled = true;
  EXPECT_TRUE(camera->download(files[0], downloads.path(), cancelled, &error).isEmpty());
  EXPECT_EQ(error.code(), capture::ErrorCancelled);
  EXPECT_TRUE(QDir(downloads.path()).isEmpty());

  // The card taken out after its pictures were listed.
  ASSERT_TRUE(card.remove());
  capture::Progress progress;
  error = {};
  EXPECT_TRUE(camera->download(files[0], downloads.path(), progress, &error).isEmpty());
  EXPECT_EQ(error.code(), capture::ErrorUnplugged) << error.localizedDescription().toStdString();
  EXPECT_TRUE(error.localizedDescription().contains("no longer connected"));
  EXPECT_TRUE(QDir(downloads.path()).isEmpty());
}
