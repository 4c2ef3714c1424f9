// The command-line driver `make bench-peers` times as whole processes beside
// a desktop editor's batch mode: each command does one thing a user does
// with the ten-layer document, through the same document road the window
// takes, and exits.
//   tessaly-batch make FOLDER         the document FOLDER/document.zova, and
//                                     its layers as FOLDER/layer-N.png with
//                                     FOLDER/layers.txt (file, mode, opacity)
//                                     for the peer to build its own from
//   tessaly-batch start               start-up and exit alone
//   tessaly-batch open DOCUMENT       open with every layer decoded
//   tessaly-batch export DOCUMENT PNG open, flatten, write a PNG (a JPEG or
//                                     a TIFF when the name ends so)
//   tessaly-batch save-one-change DOCUMENT
//                                     open, invert the bottom layer, save in place
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QUrl>
#include <cstdio>

#include "../PhotoLikePicture.h"
#include "documents/IMDocument.h"
#include "foundation/OperationQueue.h"
#include "graphics/CGImage.h"
#include "graphics/Image.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000, kLayers = 10;
constexpr int kSourceOver = 2, kMultiply = 14;  // the layers' compositing operations

[[noreturn]] void fail(const QString& message) {
  std::fprintf(stderr, "tessaly-batch: %s\n", qPrintable(message));
  std::exit(1);
}

void finishWork(IMDocument& document) {
  document.operationQueue()->waitUntilAllOperationsAreFinished();
  fnd::OperationQueue::mainQueue()->waitUntilAllOperationsAreFinished();
}

void save(IMDocument& document, const QString& path, const QString& type,
          ui::SaveOperationType op) {
  bool done = false;
  document.saveToURL(QUrl::fromLocalFile(path), type, op, [&](const fnd::Error* error) {
    if (error) fail("saving " + path + " failed: " + error->localizedDescription());
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  finishWork(document);
}

std::unique_ptr<IMDocument> open(const QString& path) {
  auto document = std::make_unique<IMDocument>();
  fnd::Error error;
  if (!document->initWithContentsOfURL(QUrl::fromLocalFile(path), IMNativeDocumentType, &error))
    fail("cannot open " + path + ": " + error.localizedDescription());
  for (Layer* layer : document->composedImage()->layersArray())
    if (!layer->image()->nsImage()) fail("a layer of " + path + " did not decode");
  return document;
}

// Grain over smooth fields in every layer; layers 3 and 6 multiply, the
// others lie over what is below, at opacities from 0.55 to 1.
int make(const QString& folder) {
  auto document = std::make_unique<IMDocument>();
  fnd::Error error;
  if (!document->initWithType(IMNativeDocumentType, &error))
    fail("no document: " + error.localizedDescription());
  ComposedImage* image = document->composedImage();
  image->setSize(QSizeF(kWidth, kHeight));
  QFile list(folder + "/layers.txt");
  if (!list.open(QIODevice::WriteOnly)) fail("cannot write " + list.fileName());
  QTextStream lines(&list);
  for (int i = 0; i < kLayers; ++i) {
    const QList<Layer*> layers = image->layersArray();
    Layer* layer = i < layers.size() ? layers[i]
                                     : Layer::createLayerWithComposedImage(
                                           image, document->managedObjectContext(), true);
    const QImage pixels =
        bench::photoLikePicture(kWidth, kHeight, unsigned(i), QImage::Format_ARGB32_Premultiplied);
    const bool multiply = i == 3 || i == 6;
    const double opacity = i == 0 ? 1.0 : 0.55 + 0.05 * i;
    layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
    layer->setCompositingOperation(multiply ? kMultiply : kSourceOver);
    layer->setAlpha(opacity);
    const QString file = QStringLiteral("layer-%1.png").arg(i);
    if (!pixels.save(folder + "/" + file)) fail("cannot write " + file);
    lines << file << ' ' << (multiply ? "multiply" : "normal") << ' ' << opacity << '\n';
  }
  finishWork(*document);
  save(*document, folder + "/document.zova", IMNativeDocumentType, ui::SaveAsOperation);
  return 0;
}

int exportPng(const QString& path, const QString& png) {
  const QString suffix = QFileInfo(png).suffix().toLower();
  const QString type = suffix == "jpg" || suffix == "jpeg"   ? io::TypeJPEG
                       : suffix == "tif" || suffix == "tiff" ? io::TypeTIFF
                                                             : io::TypePNG;
  std::unique_ptr<IMDocument> document = open(path);
  save(*document, png, type, ui::SaveToOperation);
  return 0;
}

int saveOneChange(const QString& path) {
  std::unique_ptr<IMDocument> document = open(path);
  Image* bottom = document->composedImage()->layersArray().first()->image();
  QImage pixels = bottom->nsImage()->CGImageForProposedRect(nullptr, nullptr)->qImage();
  pixels.invertPixels();
  bottom->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
  finishWork(*document);
  save(*document, path, IMNativeDocumentType, ui::SaveOperation);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  const QString command = args.value(0);
  if (command == "start" && args.size() == 1) return 0;
  if (command == "make" && args.size() == 2) return make(args[1]);
  if (command == "open" && args.size() == 2) return open(args[1]) ? 0 : 1;
  if (command == "export" && args.size() == 3) return exportPng(args[1], args[2]);
  if (command == "save-one-change" && args.size() == 2) return saveOneChange(args[1]);
  std::fprintf(stderr,
               "usage: tessaly-batch make FOLDER | start | open DOCUMENT | export DOCUMENT PNG | "
               "save-one-change DOCUMENT\n");
  return 2;
}
