// JPEG files through libjpeg-turbo: baseline and progressive, grey, YCbCr
// and CMYK on reading (with reduced-scale decoding for thumbnails); RGB or
// grey on writing with quality, JFIF density and an EXIF orientation.
#pragma once

#include "imageio/ImageCodec.h"

namespace io {

class JPEGCodec : public ImageCodec {
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
  bool writeToDevice(const QString& type, const QList<EncodeFrame>& frames,
                     const QVariantMap& fileProperties, QIODevice* output,
                     fnd::Error* error) const override;
  QStringList embeddedProperties(const QString& type) const override;
};

}  // namespace io
