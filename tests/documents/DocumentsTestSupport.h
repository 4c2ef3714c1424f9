// Documents made in code and independent decodings of what they export.
#pragma once

#include <QImage>
#include <QString>
#include <memory>

#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "model/IMAManagedObjectContext.h"

class ComposedImage;
class IMDocument;

namespace doctest {

// A context over the SQLite store at `path` (made when missing), as a
// program other than the document would write it.
struct StoreDocument {
  explicit StoreDocument(const QString& path);
  ~StoreDocument();
  bool save();
  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<fnd::OperationQueue> queue;
  std::unique_ptr<IMAManagedObjectContext> context;
};

// Saves `document` to its own file; fails the test when the save fails.
void saveInPlace(IMDocument& document);
// Saves `document` with `op` to `path` as `type`; returns the error, null
// on success.
fnd::Error saveDocument(IMDocument& document, const QString& path, const QString& type, int op);

// Fills `image` (64 × 48) with three layers: an opaque red band, a
// half-transparent blue square and a green square at layer opacity 0.5,
// leaving the top-right corner (in Qt's y-down pixels) fully clear.
void fillWithThreeLayers(ComposedImage* image, cd::ManagedObjectContext* context);
// The pixel (x, y-down) of the exported images that no layer covers.
inline constexpr int kClearX = 60, kClearY = 2;

// The Python that has PIL: the distribution's, which scripts/install-deps
// provides, ahead of any other on the PATH.
QString pythonWithPIL();
// PIL's decoding of image 0 of `path` as straight RGBA8888, and whether the
// file itself holds alpha (an alpha band or a transparent palette entry).
// A null image (with a test failure) when PIL cannot read it.
QImage decodedByPIL(const QString& path, bool* fileHasAlpha);

// The first page of the PDF at `path` rasterised by poppler's cairo
// renderer at 72 dpi (one pixel per point), as straight RGBA8888; with
// `transparent` the page has no white backdrop. Null (with a test failure)
// when it cannot be rendered.
QImage rasterisedPDF(const QString& path, bool transparent);

// The largest difference of one 8-bit component, alpha included, between
// two straight RGBA images of the same size; colour is compared only where
// both are visible.
int largestDifference(const QImage& expected, const QImage& actual);

}  // namespace doctest
