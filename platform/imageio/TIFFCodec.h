// TIFF files through libtiff, read and written in memory: every page of a
// multi-page file, 8/16-bit and float samples, LZW/PackBits/none compression
// on writing, resolution and orientation tags. libtiff's error messages are
// routed to the Error of the call that caused them.
#pragma once

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
};

}  // namespace io
