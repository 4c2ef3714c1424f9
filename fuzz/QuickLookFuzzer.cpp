// Fuzzes the preview generator as the thumbnailer drives it: the fuzzed
// bytes are written as a document file, then a 128-pixel thumbnail and the
// preview are asked for. Whatever it hands over must be one image within
// the size asked for, and the file must be left byte for byte as it was,
// with nothing written beside it.
#include <QDir>
#include <QFile>
#include <QUrl>
#include <cstdlib>

#include "FuzzSupport.h"
#include "imageio/ImageSource.h"
#include "quicklook/QuickLookGeneratorPlugin.h"

namespace {

QString folder() {
  static const QString path = [] {
    const QString made = fuzz::privateFolder() + "/documents";
    QDir().mkpath(made);
    return made;
  }();
  return path;
}

struct Received {
  double maxSide;
  void check(const void* bytes, size_t length) const {
    io::ImageSourcePtr source = io::ImageSource::createWithData(
        QByteArray(static_cast<const char*>(bytes), qsizetype(length)));
    gfx::CGImagePtr image = source ? source->createImageAtIndex(0) : nullptr;
    if (!image || double(std::max(image->width(), image->height())) > maxSide) std::abort();
    fuzz::checksum(image->qImage());
  }
};

void receiveThumbnail(void* context, const void* bytes, size_t length, const QLPreviewProperties*) {
  static_cast<Received*>(context)->check(bytes, length);
}

void receivePreview(void* context, const void* bytes, size_t length, const char*,
                    const QLPreviewProperties* properties) {
  if (!properties || properties->width > 1024 || properties->height > 768) std::abort();
  static_cast<Received*>(context)->check(bytes, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes = fuzz::bytes(data, size);
  const QString path = folder() + "/fuzzed.zova";
  for (const QString& file : QDir(folder()).entryList(QDir::Files))
    QFile::remove(folder() + "/" + file);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return 0;
  file.close();
  const QByteArray url = QUrl::fromLocalFile(path).toEncoded();

  Received thumbnail{128};
  __QLThumbnailRequest thumbnailRequest{&thumbnail, receiveThumbnail};
  GenerateThumbnailForURL(nullptr, &thumbnailRequest, url.constData(), "com.brenwick.tessaly",
                          nullptr, QLSize{128, 128});
  Received preview{1024};
  __QLPreviewRequest previewRequest{&preview, receivePreview};
  GeneratePreviewForURL(nullptr, &previewRequest, url.constData(), "com.brenwick.tessaly", nullptr);

  QFile after(path);
  if (!after.open(QIODevice::ReadOnly) || after.readAll() != bytes) std::abort();
  if (QDir(folder()).entryList(QDir::Files).size() != 1) std::abort();
  return 0;
}
