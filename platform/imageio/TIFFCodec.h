// TIFF files through libtiff, read in memory and written in memory or, for
// one page, to a file as its strips are coded: every page of a multi-page file, 8/16-bit and float
// samples, strips or tiles (decoded in parallel), LZW/PackBits/none compression on writing (strips
// compressed in parallel), resolution and orientation tags. libtiff's error messages are routed to
// the Error of the call that caused them. Also writes the graphics layer's TIFF form of bitmap
// representations.
#pragma once

#include "graphics/BitmapCoder.h"
#include "imageio/ImageCodec.h"

namespace io {

class TIFFCodec : public ImageCodec {
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
  // A file of one page goes to `output` as its strips are coded.
  bool writeToDevice(const QString& type, const QList<EncodeFrame>& frames,
                     const QVariantMap& fileProperties, QIODevice* output,
                     fnd::Error* error) const override;
  QStringList embeddedProperties(const QString& type) const override;

  // The layout bitmap representations have always written, which stored
  // documents hold: RGB or RGBA with unassociated alpha, never grey; 8 bits
  // per sample, or 16 for deeper images except under JPEG; no predictor;
  // resolution from each page's size in points. The file starts after
  // `prefix` bytes left for the caller. Empty on failure.
  static QByteArray writeBitmapPages(const QList<gfx::BitmapPage>& pages,
                                     gfx::TIFFCompression compression, float factor,
                                     qsizetype prefix = 0);
};

}  // namespace io
