// PNG files through libpng: 8- and 16-bit, grey, palette and RGB with or
// without alpha on reading; RGB(A) or grey at 8 or 16 bits on writing, with
// pHYs for DPI and an eXIf chunk for orientation.
#pragma once

#include "imageio/ImageCodec.h"

namespace io {

class PNGCodec : public ImageCodec {
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
