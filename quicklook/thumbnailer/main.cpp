// tessaly-thumbnailer -s SIZE INPUT OUTPUT
// tessaly-thumbnailer --preview INPUT OUTPUT
// Writes the thumbnail of a ZOVA document (at most SIZE pixels on its long
// side, never enlarged) or its 1024 × 768 preview as a PNG with alpha, as
// the desktop's thumbnailer convention asks. Exits 0 on success; on any
// failure exits non-zero and leaves no output file.
#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>

#include "GeneratorHost.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"

namespace {

enum ExitCode { Success = 0, NoImage = 1, Usage = 2, NoPlugIn = 3, NotWritten = 4 };

// The plug-in description: named by the command line or the environment,
// else beside this program (build tree) or in the installed library folder.
QString pluginDescriptionPath(const QString& requested) {
  if (!requested.isEmpty()) return requested;
  const QString fromEnvironment = qEnvironmentVariable("TESSALY_QUICKLOOK_PLUGIN");
  if (!fromEnvironment.isEmpty()) return fromEnvironment;
  const QString here = QCoreApplication::applicationDirPath();
  const QString beside = here + "/TessalyQuickLook.plist";
  if (QFileInfo::exists(beside)) return beside;
  return here + "/" TESSALY_PLUGIN_DIR_FROM_BIN "/TessalyQuickLook.plist";
}

// The handed-over image as PNG, when it is one image within `maxSide`.
QByteArray pngOfImageData(const QByteArray& data, double maxSide) {
  io::ImageSourcePtr source = io::ImageSource::createWithData(data);
  gfx::CGImagePtr image = source && source->count() == 1 ? source->createImageAtIndex(0) : nullptr;
  if (!image || image->width() < 1 || image->height() < 1 ||
      std::max(image->width(), image->height()) > maxSide)
    return {};
  QByteArray png;
  io::ImageDestinationPtr destination = io::ImageDestination::createWithData(&png, io::TypePNG, 1);
  if (!destination) return {};
  destination->addImage(image);
  return destination->finalize() ? png : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  // Written under a temporary name and renamed: a failure leaves nothing.
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

int fail(int code, const QString& message) {
  std::fprintf(stderr, "tessaly-thumbnailer: %s\n", qPrintable(message));
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  // Thumbnailers run without a display, often in a sandbox.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Writes the thumbnail or preview of a ZOVA document as a PNG."));
  parser.addHelpOption();
  parser.addOption({{"s", "size"}, "Longest side of the thumbnail, in pixels.", "SIZE"});
  parser.addOption({"preview", "The preview, within 1024 × 768, instead of a thumbnail."});
  parser.addOption({"plugin", "The generator plug-in's description.", "PATH"});
  parser.addPositionalArgument("INPUT", "The ZOVA document.");
  parser.addPositionalArgument("OUTPUT", "The PNG file to write.");
  parser.process(application);

  const QStringList files = parser.positionalArguments();
  bool sizeOk = false;
  const int size = parser.value("size").toInt(&sizeOk);
  const bool preview = parser.isSet("preview");
  if (files.size() != 2 || (!preview && (!sizeOk || size < 1)))
    return fail(Usage, "usage: tessaly-thumbnailer (-s SIZE | --preview) INPUT OUTPUT");

  fnd::Error error;
  auto host =
      GeneratorHost::createWithDescription(pluginDescriptionPath(parser.value("plugin")), &error);
  if (!host) return fail(NoPlugIn, error.localizedDescription());
  const QSizeF maxSize = preview ? QSizeF(1024, 768) : QSizeF(size, size);
  const QByteArray data = host->imageDataForFile(files[0], maxSize, preview);
  if (data.isEmpty()) return fail(NoImage, files[0] + " gives no image.");
  const QByteArray png = pngOfImageData(data, std::max(maxSize.width(), maxSize.height()));
  if (png.isEmpty()) return fail(NoImage, files[0] + " gives no usable image.");
  if (!writeFile(files[1], png)) return fail(NotWritten, files[1] + " cannot be written.");
  return Success;
}
