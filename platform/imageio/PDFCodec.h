// PDF: writing puts each image on its own page through QPdfWriter, sized
// from the image's DPI (72 when none), with lossless image data and alpha
// kept as a soft mask. Reading renders pages through the graphics layer's
// PDF representation (poppler) at one pixel per point.
#pragma once

#include "graphics/PDFImageRep.h"
#include "imageio/ImageCodec.h"

namespace io {

class PDFCodec : public ImageCodec {
 public:
  QStringList types() const override;
  bool canWrite(const QString& type) const override;
  QString sniff(const QByteArray& data) const override;
  bool readProperties(const QByteArray& data, SourceDescription* description,
                      fnd::Error* error) const override;
  gfx::CGImagePtr readImage(const QByteArray& data, const DecodeRequest& request,
                            fnd::Error* error) const override;
  bool write(const QString& type, const QList<EncodeFrame>& frames,
             const QVariantMap& fileProperties, QByteArray* output,
             fnd::Error* error) const override;
  QStringList embeddedProperties(const QString& type) const override;

  // The document as a representation with page selection.
  static gfx::PDFImageRepPtr imageRep(const QByteArray& data, fnd::Error* error);
};

}  // namespace io
