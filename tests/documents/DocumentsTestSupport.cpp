#include "DocumentsTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include "TestSupport.h"
#include "documents/IMDocument.h"
#include "graphics/GraphicsContext.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/IMManagedObject.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace doctest {

namespace {

gfx::ImagePtr filled(int width, int height, const QColor& color) {
  return ima_imageWithPixelSize(QSizeF(width, height), [&](const QRectF& rect) {
    gfx::GraphicsContext::current()->fillRect(rect, color, gfx::CompositingOperation::Copy);
    return true;
  });
}

}  // namespace

StoreDocument::StoreDocument(const QString& path) {
  coordinator =
      std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
  fnd::Error error;
  EXPECT_TRUE(coordinator->addPersistentStoreWithType(cd::SQLiteStoreType, {},
                                                      QUrl::fromLocalFile(path), {}, &error))
      << error.localizedDescription().toStdString();
  queue = std::make_unique<fnd::OperationQueue>();
  context = std::make_unique<IMAManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator.get());
  context->setLoadingAndSavingOperationQueue(queue.get());
}

StoreDocument::~StoreDocument() {
  queue->waitUntilAllOperationsAreFinished();
  tst::spinUntil([] { return Image::pendingCacheWrites() == 0; });
  context->setLoadingAndSavingOperationQueue(nullptr);
  context.reset();
}

bool StoreDocument::save() {
  fnd::Error error;
  const bool saved = context->save(&error);
  EXPECT_TRUE(saved) << error.localizedDescription().toStdString();
  return saved;
}

fnd::Error saveDocument(IMDocument& document, const QString& path, const QString& type, int op) {
  bool done = false;
  fnd::Error failure;
  document.saveToURL(QUrl::fromLocalFile(path), type, ui::SaveOperationType(op),
                     [&](const fnd::Error* error) {
                       if (error) failure = *error;
                       done = true;
                     });
  EXPECT_TRUE(tst::spinUntil([&] { return done; }));
  return failure;
}

void saveInPlace(IMDocument& document) {
  const fnd::Error error = saveDocument(document, document.fileURL().toLocalFile(),
                                        document.fileType(), ui::SaveOperation);
  EXPECT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
}

void fillWithThreeLayers(ComposedImage* image, cd::ManagedObjectContext* context) {
  image->setSize(QSizeF(64, 48));
  QList<Layer*> layers = image->layersArray();
  while (layers.size() < 3) {
    Layer::createLayerWithComposedImage(image, context, true);
    layers = image->layersArray();
  }
  // Index 0 is on top. Origins are document coordinates, y up.
  struct Content {
    QRectF rect;
    QColor color;
    double alpha;
  };
  const Content contents[] = {{{20, 4, 16, 16}, QColor(0, 200, 0), 0.5},
                              {{8, 8, 24, 24}, QColor(0, 0, 255, 128), 1.0},
                              {{0, 0, 40, 48}, QColor(220, 30, 30), 1.0}};
  for (int i = 0; i < 3; ++i) {
    Layer* layer = layers[i];
    layer->image()->setNsImage(
        filled(int(contents[i].rect.width()), int(contents[i].rect.height()), contents[i].color));
    layer->setXOrigin(contents[i].rect.x());
    layer->setYOrigin(contents[i].rect.y());
    layer->setAlpha(contents[i].alpha);
    layer->updatePreviousClippingRect();
  }
}

QString pythonWithPIL() {
  return QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3")
                                           : QStringLiteral("python3");
}

QImage decodedByPIL(const QString& path, bool* fileHasAlpha) {
  const QString raw = path + ".rgba";
  const QString script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "alpha = 'A' in im.getbands() or 'transparency' in im.info\n"
      "rgba = im.convert('RGBA')\nopen(sys.argv[2], 'wb').write(rgba.tobytes())\n"
      "print('%d %d %d' % (rgba.width, rgba.height, alpha))\n";
  QString output;
  if (tst::runTool(pythonWithPIL(), {"-c", script, path, raw}, &output) != 0) {
    ADD_FAILURE() << "PIL cannot read " << path.toStdString() << ": " << output.toStdString();
    return {};
  }
  const QStringList fields = output.trimmed().split('\n').last().split(' ');
  QFile file(raw);
  if (fields.size() != 3 || !file.open(QIODevice::ReadOnly)) return {};
  const int width = fields[0].toInt(), height = fields[1].toInt();
  *fileHasAlpha = fields[2] == "1";
  const QByteArray bytes = file.readAll();
  if (bytes.size() != qsizetype(width) * height * 4) return {};
  QImage image(width, height, QImage::Format_RGBA8888);
  for (int y = 0; y < height; ++y)
    memcpy(image.scanLine(y), bytes.constData() + qsizetype(y) * width * 4, size_t(width) * 4);
  return image;
}

QImage rasterisedPDF(const QString& path, bool transparent) {
  const QString stem = path + "-page";
  QStringList arguments{"-png", "-r", "72", "-singlefile"};
  if (transparent) arguments << "-transp";
  QString output;
  if (tst::runTool("pdftocairo", arguments << path << stem, &output) != 0) {
    ADD_FAILURE() << "pdftocairo cannot render " << path.toStdString() << ": "
                  << output.toStdString();
    return {};
  }
  bool hasAlpha = false;
  return decodedByPIL(stem + ".png", &hasAlpha);
}

int largestDifference(const QImage& expected, const QImage& actual) {
  if (expected.size() != actual.size()) return 255;
  const QImage a = expected.convertToFormat(QImage::Format_RGBA8888);
  const QImage b = actual.convertToFormat(QImage::Format_RGBA8888);
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    const uchar* p = a.constScanLine(y);
    const uchar* q = b.constScanLine(y);
    for (int x = 0; x < a.width() * 4; x += 4) {
      const bool visible = p[x + 3] > 0 && q[x + 3] > 0;
      for (int c = visible ? 0 : 3; c < 4; ++c)
        largest = std::max(largest, std::abs(p[x + c] - q[x + c]));
    }
  }
  return largest;
}

}  // namespace doctest
