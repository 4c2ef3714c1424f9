#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "appkit/PrintOperation.h"
#include "model/CompositionSnapshot.h"

class ComposedImage;

namespace fnd {
class Error;
}

// One export fixed at the moment it was asked for: the document's
// composition (the layers' drawings, not yet flattened), the properties the
// file is written with and its type. Taking it on the main thread only reads
// the model; flattening and encoding it, the costly part, run on any thread
// and never read the model or the options the interface is changing.
class ExportSnapshot {
 public:
  using Ptr = std::shared_ptr<const ExportSnapshot>;

  // An export of `image` as a file of `type`. Alpha is kept only when
  // asked and the type can hold it; otherwise the layers are flattened on
  // white and written opaque. `options` are the document's destination
  // options (imported properties, quality, TIFF compression); the
  // orientation is left out, since the flattened pixels are already
  // upright. A PDF is one page of the canvas drawn with `printInfo`. Null
  // with `error` filled when there is no canvas to export.
  static Ptr make(ComposedImage* image, const QString& type, bool keepsAlpha,
                  const QVariantMap& options, ui::PrintInfoPtr printInfo = nullptr,
                  fnd::Error* error = nullptr);

  // False for the formats that have no alpha channel (BMP as written for
  // export, JPEG).
  static bool typeSupportsAlpha(const QString& type);
  // `options` without the orientation (also in nested dictionaries), with
  // HasAlpha set.
  static QVariantMap destinationProperties(const QVariantMap& options, bool hasAlpha);
  // Draws a composition on a page: layer by layer when the page can
  // composite them all, else flattened once (without alpha on white).
  static ui::PrintOperation::DrawingHandler pageDrawing(CompositionSnapshot::Ptr composition,
                                                        bool keepsAlpha);

  QString type() const { return type_; }
  bool hasAlpha() const { return hasAlpha_; }
  const QVariantMap& properties() const { return properties_; }

  // Writes the file in one step (the old file stays on failure). The error
  // names the path and the cause.
  bool writeToPath(const QString& path, fnd::Error* error = nullptr) const;
  // Flattens and encodes; safe on any thread.
  bool encode(QByteArray* data, fnd::Error* error = nullptr) const;

 private:
  bool encodePDF(QByteArray* data, fnd::Error* error) const;
  // The composition flattened, opaque when the file has no alpha.
  gfx::CGImagePtr flattenedBitmap(fnd::Error* error) const;

  QString type_;
  bool keepsAlpha_ = false;
  bool hasAlpha_ = false;
  QVariantMap properties_;
  CompositionSnapshot::Ptr composition_;
  ui::PrintInfoPtr printInfo_;
};
