// A test helper: saves a layered document again and again, the way the
// program saves it, so that a test can kill it at any moment and then check
// the file with the program's own opening code.
//
//   tessaly-save-loop loop DOC STATE   saves generations without end: odd
//                                      ones in place, even ones by Save As
//                                      of a new document onto DOC; STATE
//                                      gets the last generation saved
//   tessaly-save-loop check DOC STATE  opens DOC as the program does, prints
//                                      "generation N" when every part of it
//                                      is generation N, saves N + 1 in
//                                      place and prints the files beside it
//   tessaly-save-loop full DOC         adds a large layer and tries to save
//                                      in place, by Save As onto DOC and to
//                                      a new file; all must fail (the test
//                                      limits the file size), then closes
//
// With TESSALY_STOP_AT set to journal-sync, journal-unlink, rename or write
// the process stops itself (SIGSTOP) at the TESSALY_STOP_AFTER-th such
// event, for the test to kill it exactly there. With TESSALY_LARGE_LAYERS
// set, each layer stores megabytes, as a photograph's does.
#include <dlfcn.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <cstdio>
#include <cstring>

#include "appkit/ScriptedModalServices.h"
#include "coredata/ManagedObjectContext.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/CGImage.h"
#include "graphics/Image.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/ImagesCacheFolder.h"
#include "model/Layer.h"

namespace {

// ---- stopping at one event -------------------------------------------------

QByteArray stopAt() { return qgetenv("TESSALY_STOP_AT"); }

void countEvent(const char* kind) {
  static int seen = 0;
  static const int wanted = qEnvironmentVariableIntValue("TESSALY_STOP_AFTER");
  if (stopAt() != kind) return;
  if (++seen == wanted) raise(SIGSTOP);
}

bool endsWith(const char* text, const char* suffix) {
  const size_t a = std::strlen(text), b = std::strlen(suffix);
  return a >= b && std::strcmp(text + a - b, suffix) == 0;
}

bool isJournal(int fd) {
  char link[64], target[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return false;
  target[length] = 0;
  return endsWith(target, "-journal");
}

template <typename Function>
Function realFunction(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

sqlite3_syscall_ptr realUnlink, realPwrite, realPwrite64, realWrite;

int stoppingUnlink(const char* path) {
  if (endsWith(path, "-journal")) countEvent("journal-unlink");
  return reinterpret_cast<int (*)(const char*)>(realUnlink)(path);
}
ssize_t stoppingPwrite(int fd, const void* data, size_t size, off_t at) {
  countEvent("write");
  return reinterpret_cast<ssize_t (*)(int, const void*, size_t, off_t)>(realPwrite)(fd, data, size,
                                                                                    at);
}
ssize_t stoppingPwrite64(int fd, const void* data, size_t size, off64_t at) {
  countEvent("write");
  return reinterpret_cast<ssize_t (*)(int, const void*, size_t, off64_t)>(realPwrite64)(fd, data,
                                                                                        size, at);
}
ssize_t stoppingWrite(int fd, const void* data, size_t size) {
  countEvent("write");
  return reinterpret_cast<ssize_t (*)(int, const void*, size_t)>(realWrite)(fd, data, size);
}

void installSQLiteStops() {
  if (stopAt().isEmpty()) return;
  sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  realUnlink = vfs->xGetSystemCall(vfs, "unlink");
  realPwrite = vfs->xGetSystemCall(vfs, "pwrite");
  realPwrite64 = vfs->xGetSystemCall(vfs, "pwrite64");
  realWrite = vfs->xGetSystemCall(vfs, "write");
  vfs->xSetSystemCall(vfs, "unlink", reinterpret_cast<sqlite3_syscall_ptr>(&stoppingUnlink));
  if (realPwrite)
    vfs->xSetSystemCall(vfs, "pwrite", reinterpret_cast<sqlite3_syscall_ptr>(&stoppingPwrite));
  if (realPwrite64)
    vfs->xSetSystemCall(vfs, "pwrite64", reinterpret_cast<sqlite3_syscall_ptr>(&stoppingPwrite64));
  if (realWrite)
    vfs->xSetSystemCall(vfs, "write", reinterpret_cast<sqlite3_syscall_ptr>(&stoppingWrite));
}

}  // namespace

// SQLite syncs through the C library directly; these take the calls first
// (the helper exports them) and hand them on.
extern "C" int fsync(int fd) {
  if (isJournal(fd)) countEvent("journal-sync");
  static auto real = realFunction<int (*)(int)>("fsync");
  return real(fd);
}

extern "C" int fdatasync(int fd) {
  if (isJournal(fd)) countEvent("journal-sync");
  static auto real = realFunction<int (*)(int)>("fdatasync");
  return real(fd);
}

extern "C" int rename(const char* from, const char* to) {
  const bool document = endsWith(to, ".zova");
  if (document) countEvent("rename");
  static auto real = realFunction<int (*)(const char*, const char*)>("rename");
  const int result = real(from, to);
  if (document) countEvent("renamed");
  return result;
}

namespace {

// ---- the document of one generation ---------------------------------------

QSize layerSize() {
  static const bool large = qEnvironmentVariableIsSet("TESSALY_LARGE_LAYERS");
  return large ? QSize(1200, 1000) : QSize(160, 120);
}

int layerCount(int generation) { return 2 + generation % 3; }
QSizeF canvasSize(int generation) {
  return QSizeF(120 + (generation % 9) * 8, 90 + (generation % 7) * 6);
}
QString layerName(int generation, int index) {
  return QStringLiteral("g%1.%2").arg(generation).arg(index);
}

// Noise, so that every save rewrites many pages of the store.
QImage layerPixels(int generation, int index) {
  QImage pixels(layerSize(), QImage::Format_ARGB32);
  QRandomGenerator random(quint32(generation * 31 + index));
  for (int y = 0; y < pixels.height(); ++y) {
    auto* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
    for (int x = 0; x < pixels.width(); ++x) row[x] = random.generate() | 0xff000000u;
  }
  return pixels;
}

void makeGeneration(IMDocument& document, int generation) {
  ComposedImage* image = document.composedImage();
  cd::ManagedObjectContext* context = document.managedObjectContext();
  image->setSize(canvasSize(generation));
  while (image->layersArray().size() < layerCount(generation))
    Layer::createLayerWithComposedImage(image, context, true);
  QList<Layer*> layers = image->layersArray();
  while (layers.size() > layerCount(generation)) {
    Layer* last = layers.takeLast();
    image->setLayersArray(layers);
    context->deleteObject(last);
  }
  context->processPendingChanges();
  layers = image->layersArray();
  for (int i = 0; i < layers.size(); ++i) {
    layers[i]->setName(layerName(generation, i));
    layers[i]->image()->setNsImage(
        gfx::Image::imageWithCGImage(gfx::CGImage::make(layerPixels(generation, i))));
  }
  context->processPendingChanges();
}

QImage pixelsOf(Layer* layer) {
  gfx::BitmapImageRepPtr bitmap = ima_bitmapRepresentation(layer->image()->nsImage());
  return bitmap ? bitmap->cgImage()->toFormat(QImage::Format_ARGB32) : QImage();
}

// The generation every part of the document belongs to, or -1 (with the
// reason printed) for a mix or damage.
int generationOf(IMDocument& document) {
  ComposedImage* image = document.composedImage();
  if (!image || image->layersArray().isEmpty()) return std::printf("no layers\n"), -1;
  const QList<Layer*> layers = image->layersArray();
  const QString first = layers.first()->name();
  const int generation = first.mid(1, first.indexOf('.') - 1).toInt();
  if (image->size() != canvasSize(generation))
    return std::printf("canvas of another generation\n"), -1;
  if (layers.size() != layerCount(generation))
    return std::printf("layer count of another generation\n"), -1;
  for (int i = 0; i < layers.size(); ++i) {
    if (layers[i]->name() != layerName(generation, i)) return std::printf("layer name mixed\n"), -1;
    if (pixelsOf(layers[i]) != layerPixels(generation, i)) return std::printf("pixels mixed\n"), -1;
  }
  return generation;
}

// ---- saving and opening as the program does --------------------------------

bool save(IMDocument& document, const QString& path, ui::SaveOperationType op) {
  bool done = false, ok = false;
  document.saveToURL(
      QUrl::fromLocalFile(path), IMNativeDocumentType, op, [&](const fnd::Error* error) {
        ok = !error;
        if (error) std::printf("save failed: %s\n", qPrintable(error->localizedDescription()));
        done = true;
      });
  while (!done) QCoreApplication::processEvents();
  return ok;
}

IMDocument* openDocument(IMDocumentController& controller, const QString& path) {
  IMDocument* opened = nullptr;
  bool done = false;
  controller.openDocumentWithContentsOfURL(
      QUrl::fromLocalFile(path), false, [&](ui::Document* document, bool, const fnd::Error* error) {
        opened = qobject_cast<IMDocument*>(document);
        if (error) std::printf("open failed: %s\n", qPrintable(error->localizedDescription()));
        done = true;
      });
  while (!done) QCoreApplication::processEvents();
  return opened;
}

IMDocument* untitled(IMDocumentController& controller) {
  return qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(false, nullptr));
}

void writeState(const QString& state, int generation) {
  QSaveFile file(state);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(QByteArray::number(generation));
    file.commit();
  }
}

int readState(const QString& state) {
  QFile file(state);
  return file.open(QIODevice::ReadOnly) ? file.readAll().toInt() : 0;
}

int loop(IMDocumentController& controller, const QString& path, const QString& state) {
  for (int generation = readState(state) + 1;; ++generation) {
    const bool inPlace = generation % 2 == 1 && QFileInfo::exists(path);
    IMDocument* document = inPlace ? openDocument(controller, path) : untitled(controller);
    if (!document) return 2;
    makeGeneration(*document, generation);
    if (!save(*document, path, inPlace ? ui::SaveOperation : ui::SaveAsOperation)) return 3;
    document->close();
    writeState(state, generation);
  }
}

int check(IMDocumentController& controller, const QString& path, const QString& state) {
  IMDocument* document = openDocument(controller, path);
  if (!document) return 2;
  const int generation = generationOf(*document);
  std::printf("generation %d\n", generation);
  if (generation < 0) return 4;
  makeGeneration(*document, generation + 1);
  if (!save(*document, path, ui::SaveOperation)) return 3;
  document->close();
  writeState(state, generation + 1);
  const QFileInfo file(path);
  for (const QString& name :
       file.dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
    if (name != file.fileName()) std::printf("left beside: %s\n", qPrintable(name));
  return 0;
}

// Every save must fail for want of room and leave the document closable.
int full(IMDocumentController& controller, const QString& path) {
  IMDocument* document = openDocument(controller, path);
  if (!document) return 2;
  ComposedImage* image = document->composedImage();
  Layer* layer = Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
  QImage pixels(1200, 1000, QImage::Format_ARGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x) pixels.setPixel(x, y, random.generate() | 0xff000000u);
  layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels)));
  document->managedObjectContext()->processPendingChanges();
  const QString other = QFileInfo(path).dir().filePath("other.zova");
  int saved = 0;
  saved += save(*document, path, ui::SaveOperation);
  saved += save(*document, path, ui::SaveAsOperation);
  saved += save(*document, other, ui::SaveAsOperation);
  document->close();
  std::printf("closed after %d saves\n", saved);
  return saved == 0 ? 0 : 5;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() < 3) {
    std::fprintf(stderr, "usage: %s loop|check|full DOC [STATE]\n", argv[0]);
    return 64;
  }
  ui::ScriptedModalServices modal;          // no dialog may ever wait for a user
  ImagesCacheFolder::removeStaleFolders();  // as the program does at its start
  installSQLiteStops();
  IMDocumentController controller;
  const QString mode = arguments[1], path = arguments[2], state = arguments.value(3);
  int status = 64;
  if (mode == "loop") status = loop(controller, path, state);
  if (mode == "check") status = check(controller, path, state);
  if (mode == "full") status = full(controller, path);
  std::fflush(stdout);
  return status;
}
