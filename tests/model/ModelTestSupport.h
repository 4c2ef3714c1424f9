#pragma once

#include <QColor>
#include <memory>

#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "graphics/Image.h"
#include "model/IMAManagedObjectContext.h"

class ComposedImage;
class Layer;

// A document's context with its own loading and saving queue, as a document
// sets it up: over an in-memory store, or over the SQLite store at `path`.
struct ModelDocument {
  ModelDocument();
  explicit ModelDocument(const QString& path);
  ~ModelDocument();
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<fnd::OperationQueue> queue;
  std::unique_ptr<IMAManagedObjectContext> context;
};

// An image of `w` × `h` pixels filled with `color`.
gfx::ImagePtr solidImage(int w, int h, const QColor& color);
// The straight colour of pixel (x, y), y up, of an image's bitmap.
QColor pixelAt(const gfx::ImagePtr& image, int x, int y);
// Whether two colours agree within `tolerance` units of 1/255 per component.
bool sameColor(const QColor& a, const QColor& b, int tolerance = 1);
// Lets every cache write and reload finish.
void drainImageWork(ModelDocument& document);

// While it lives, every version goes to its cache file at once, as when
// versions kept in memory fill their budget: for tests of the files.
class VersionsSpillToFiles {
 public:
  VersionsSpillToFiles();
  ~VersionsSpillToFiles();
  VersionsSpillToFiles(const VersionsSpillToFiles&) = delete;
  VersionsSpillToFiles& operator=(const VersionsSpillToFiles&) = delete;

 private:
  qint64 kept_;
};
