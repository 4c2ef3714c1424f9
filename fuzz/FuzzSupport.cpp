#include "FuzzSupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>

#include "foundation/Error.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"

namespace {

QTemporaryDir* folder = nullptr;

// Decoders report damage through qWarning as well as through their errors;
// printing thousands of those a second would slow the fuzzer to a crawl.
void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

// libFuzzer calls this once before the first input.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(quietMessages);
  folder = new QTemporaryDir(QDir::tempPath() + "/tessaly-fuzz-XXXXXX");
  // User defaults (the model's settings read them) stay out of the user's own.
  qputenv("TESSALY_CONFIG_HOME", folder->path().toLocal8Bit());
  static int arguments = 1;
  new QGuiApplication(arguments, *argv);
  QCoreApplication::setOrganizationName("Tessaly");
  QCoreApplication::setApplicationName("Tessaly");
  (void)argc;
  std::atexit([] { delete folder; });
  return 0;
}

namespace fuzz {

QByteArray bytes(const uint8_t* data, size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

QString privateFolder() { return folder->path(); }

io::ImageLimits limits() {
  io::ImageLimits limits;
  limits.maxPixelCount = uint64_t(1) << 24;
  limits.maxSide = uint32_t(1) << 14;
  return limits;
}

uint32_t checksum(const QImage& image) {
  uint32_t sum = 0;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    const qsizetype length = image.bytesPerLine();
    for (qsizetype i = 0; i < length; ++i) sum = sum * 31 + row[i];
  }
  return sum;
}

bool decodeEveryImage(const QString& type, const QByteArray& data) {
  fnd::Error error;
  io::ImageSourcePtr source =
      io::ImageSource::createWithData(data, {{io::SourceTypeIdentifierHint, type}}, &error);
  if (!source) return true;
  if (source->type() != type) return false;
  source->setLimits(limits());
  source->properties();
  const QVariantMap thumbnail = {{io::SourceThumbnailMaxPixelSize, 24},
                                 {io::SourceCreateThumbnailWithTransform, true}};
  volatile uint32_t sum = 0;
  for (size_t i = 0; i < std::min<size_t>(source->count(), 8); ++i) {
    source->propertiesAtIndex(i);
    if (gfx::CGImagePtr image = source->createImageAtIndex(i, &error))
      sum = sum + checksum(image->qImage());
    if (gfx::CGImagePtr image = source->createThumbnailAtIndex(i, thumbnail, &error))
      sum = sum + checksum(image->qImage());
  }
  return true;
}

}  // namespace fuzz
