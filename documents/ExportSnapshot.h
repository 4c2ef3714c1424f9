#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <memory>

#include "graphics/CGImage.h"

class ComposedImage;

namespace fnd {
class Error;
}

// One export fixed at the moment it was asked for: the flattened pixels the
// file will hold (or, for PDF, the page), the properties it is written with
// and its type. Made on the main thread from the model; written from any
// thread, so an estimate on a background queue never reads the model or
// options the interface is changing.
class ExportSnapshot {
 public:
  using Ptr = std::shared_ptr<const ExportSnapshot>;

  // Flattens `image` for a file of `type` (a bitmap type: PDF pages are
  // drawn by the document's print operation, see withPDF). Alpha is kept only when asked
  // and the type can hold it; otherwise the layers are flattened on white
  // and written opaque. `options` are the document's destination options
  // (imported properties, quality, TIFF compression); the orientation is
  // left out, since the flattened pixels are already upright. Null with
  // `error` filled when nothing can be flattened.
  static Ptr make(ComposedImage* image, const QString& type, bool keepsAlpha,
                  const QVariantMap& options, fnd::Error* error = nullptr);

  // False for the formats that have no alpha channel (BMP as written for
  // export, JPEG).
  static bool typeSupportsAlpha(const QString& type);
  // `options` without the orientation (also in nested dictionaries), with
  // HasAlpha set.
  static QVariantMap destinationProperties(const QVariantMap& options, bool hasAlpha);
  // A PDF export of pages already drawn; null (with `error`) for no bytes.
  static Ptr withPDF(QByteArray pdf, fnd::Error* error = nullptr);

  QString type() const { return type_; }
  bool hasAlpha() const { return hasAlpha_; }
  const QVariantMap& properties() const { return properties_; }
  // The pixels written; null for PDF.
  const gfx::CGImagePtr& bitmap() const { return bitmap_; }

  // Writes the file in one step (the old file stays on failure). The error
  // names the path and the cause.
  bool writeToPath(const QString& path, fnd::Error* error = nullptr) const;
  bool encode(QByteArray* data, fnd::Error* error = nullptr) const;

 private:
  QString type_;
  bool hasAlpha_ = false;
  QVariantMap properties_;
  gfx::CGImagePtr bitmap_;
  QByteArray pdf_;
};
