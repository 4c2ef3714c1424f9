// Binary PGM and PPM files (P5, P6), read-only: grey or RGB at 8 or 16
// bits, samples scaled from the file's maximum value to the full range.
#pragma once

#include "imageio/ImageCodec.h"

namespace io {

class PNMCodec : public ImageCodec {
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
