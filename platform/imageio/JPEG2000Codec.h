// JPEG 2000 through OpenJPEG: JP2 files and raw codestreams on reading, JP2
// on writing (lossless at quality 1, rate-controlled below), with up to four
// components at 8 or 16 bits and the alpha channel marked as such.
#pragma once

#include "imageio/ImageCodec.h"

namespace io {

class JPEG2000Codec : public ImageCodec {
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
