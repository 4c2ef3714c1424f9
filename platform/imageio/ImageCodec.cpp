#include "imageio/ImageCodec.h"

#include <QBuffer>

#include "imageio/BMPTGACodec.h"
#include "imageio/CodecSupport.h"
#include "imageio/GIFCodec.h"
#include "imageio/JPEG2000Codec.h"
#include "imageio/JPEGCodec.h"
#include "imageio/OpenEXRCodec.h"
#include "imageio/PDFCodec.h"
#include "imageio/PNGCodec.h"
#include "imageio/PNMCodec.h"
#include "imageio/TIFFCodec.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

bool ImageCodec::writeToDevice(const QString& type, const QList<EncodeFrame>& frames,
                               const QVariantMap& fileProperties, QIODevice* output,
                               fnd::Error* error) const {
  QByteArray bytes;
  if (!write(type, frames, fileProperties, &bytes, error)) return false;
  if (output->write(bytes) == bytes.size()) return true;
  return codec::failWrite(error, TypeIdentifiers::localizedDescription(type),
                          output->errorString());
}

bool ImageCodec::writeThroughDevice(const QString& type, const QList<EncodeFrame>& frames,
                                    const QVariantMap& fileProperties, QByteArray* output,
                                    fnd::Error* error) const {
  output->clear();
  QBuffer buffer(output);
  buffer.open(QIODevice::WriteOnly);
  return writeToDevice(type, frames, fileProperties, &buffer, error);
}

const QList<const ImageCodec*>& ImageCodec::all() {
  static const PNGCodec png;
  static const JPEGCodec jpeg;
  static const TIFFCodec tiff;
  static const GIFCodec gif;
  static const JPEG2000Codec jpeg2000;
  static const OpenEXRCodec exr;
  static const BMPTGACodec bmpTga;
  static const PDFCodec pdf;
  static const PNMCodec pnm;
  static const QList<const ImageCodec*> codecs{&png, &jpeg,   &tiff, &gif, &jpeg2000,
                                               &exr, &bmpTga, &pdf,  &pnm};
  return codecs;
}

const ImageCodec* ImageCodec::forType(const QString& type) {
  for (const ImageCodec* codec : all())
    if (codec->types().contains(type)) return codec;
  return nullptr;
}

const ImageCodec* ImageCodec::sniffType(const QByteArray& data, QString* type) {
  for (const ImageCodec* codec : all()) {
    QString found = codec->sniff(data);
    if (!found.isEmpty()) {
      if (type) *type = found;
      return codec;
    }
  }
  if (BMPTGACodec::looksLikeTarga(data)) {
    if (type) *type = TypeTGA;
    return forType(TypeTGA);
  }
  return nullptr;
}

}  // namespace io
