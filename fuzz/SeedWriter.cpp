#include "SeedWriter.h"

#include <QDir>
#include <QFile>
#include <cstdio>

bool SeedWriter::writeAll() {
  writeImageFiles();
  writeLZWStrips();
  writePropertyLists();
  writeKeyedArchives();
  writeTextArchives();
  writeImageData();
  writeStores();
  writeOldStores();
  writeJsonTexts();
  writePasteboardItems();
  writeRowDrags();
  return ok_;
}

void SeedWriter::write(const QString& target, const QString& name, const QByteArray& bytes) {
  if (bytes.isEmpty()) return fail(target + "/" + name + " came out empty");
  const QString folder = folder_ + "/" + target;
  QDir().mkpath(folder);
  QFile file(folder + "/" + name);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
    fail("cannot write " + file.fileName());
}

void SeedWriter::fail(const QString& what) {
  std::fprintf(stderr, "fuzz_seeds: %s\n", qPrintable(what));
  ok_ = false;
}

QImage seedPicture(int width, int height, QImage::Format format) {
  QImage image(width, height, QImage::Format_RGBA8888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      uchar* p = row + x * 4;
      p[0] = uchar(255 * x / std::max(width - 1, 1));
      p[1] = uchar(255 * y / std::max(height - 1, 1));
      p[2] = ((x / 4 + y / 4) % 2) ? 200 : 40;
      p[3] = x < width / 4 ? 0 : uchar(128 + 127 * y / std::max(height - 1, 1));
    }
  }
  return image.convertToFormat(format);
}
