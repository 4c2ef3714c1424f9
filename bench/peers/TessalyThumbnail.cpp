// The thumbnail a file manager asks of the preview generator, as its own
// process, for `make bench-peers`: tessaly-thumbnail DOCUMENT OUTPUT writes
// the generator's image data, fitted within 256 × 256.
#include <QCoreApplication>
#include <QFile>
#include <QUrl>
#include <cstdio>

#include "model/ModelVariant.h"
#include "quicklook/QuickLookGeneratorPlugin.h"

namespace {

void receive(void* context, const void* data, size_t length, const QLPreviewProperties*) {
  static_cast<QByteArray*>(context)->append(static_cast<const char*>(data), qsizetype(length));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: tessaly-thumbnail DOCUMENT OUTPUT\n");
    return 2;
  }
  ModelVariant::setCurrent(ModelVariant::Application);
  const QByteArray url = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])).toEncoded();
  QByteArray data;
  __QLThumbnailRequest request{&data, receive};
  GenerateThumbnailForURL(nullptr, &request, url.constData(), "com.brenwick.tessaly", nullptr,
                          QLSize{256, 256});
  QFile out(QString::fromLocal8Bit(argv[2]));
  if (data.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(data) != data.size()) {
    std::fprintf(stderr, "tessaly-thumbnail: no thumbnail of %s\n", argv[1]);
    return 1;
  }
  return 0;
}
