// OpenEXR through the OpenEXR library's RGBA interface: half-float RGBA
// (premultiplied, as EXR stores it) in both directions, ZIP-compressed on
// writing. Files hold linear light, the engine sRGB-encoded samples: the
// sRGB curve converts between them. The library's exceptions are caught here
// and become Errors.
#pragma once

#include "imageio/ImageCodec.h"

namespace io {

class OpenEXRCodec : public ImageCodec {
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
};

}  // namespace io
