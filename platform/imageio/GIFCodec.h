// GIF files through giflib, with libimagequant choosing the palettes when
// writing. Reading walks the records without giflib's slurp (which would
// allocate each frame at its claimed size), composes frames onto the
// logical screen with their disposal, and reports delays and loop count.
#pragma once

#include "imageio/ImageCodec.h"

namespace io {

class GIFCodec : public ImageCodec {
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
