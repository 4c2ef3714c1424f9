// BMP and Targa through stb_image and stb_image_write (alpha kept: 32-bit
// BMP with a V4 header, 32-bit RLE Targa). The same reader also opens
// Photoshop composites and Radiance HDR files, read-only.
#pragma once

#include "imageio/ImageCodec.h"

namespace io {

class BMPTGACodec : public ImageCodec {
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

  // Whether `data` looks like a Targa file. Targa has no signature, so this
  // is a plausibility check of its header, used only after every codec
  // with a signature has declined.
  static bool looksLikeTarga(const QByteArray& data);
};

}  // namespace io
