// The interface every file format implements: recognise a file, describe its
// images without decoding pixels, decode one image, and encode images. One
// subclass per format family, each backed by its reference library.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "graphics/CGImage.h"
#include "imageio/ImageLimits.h"

namespace fnd {
class Error;
}

namespace io {

class DecodeBudget;

// What a decode is asked for besides the index.
struct DecodeRequest {
  int index = 0;
  ImageLimits limits;
  // When set, codecs that can decode at a reduced scale (JPEG scaling,
  // JPEG 2000 resolution levels, PNG and GIF rows averaged as they arrive)
  // may return an image whose longer side is at least this long, without
  // holding the full-size image.
  int minimumLongerSide = 0;
  // The budget the decode charges; when null the codec sizes its own from
  // `limits`. A caller passes one to learn the decode's peak memory.
  DecodeBudget* budget = nullptr;
  // When set, 8-bit images with alpha come as premultiplied ARGB32, the
  // layout drawing samples, converted as they decode so no converted copy
  // is made later. Codecs that cannot (all but TIFF) leave theirs as is.
  bool drawingLayout = false;
};

// One image handed to a destination, with its per-image properties merged
// over the destination-wide options.
struct EncodeFrame {
  gfx::CGImagePtr image;
  QVariantMap properties;
};

// What readProperties learns about a file.
struct SourceDescription {
  QString type;
  QVariantMap properties;     // file-wide, e.g. {GIF} loop count
  QList<QVariantMap> images;  // one dictionary per image
};

class ImageCodec {
 public:
  virtual ~ImageCodec() = default;

  // The types this codec reads; the first is its main one.
  virtual QStringList types() const = 0;
  virtual bool canWrite(const QString& type) const = 0;

  // The type of `data` when it is one of this codec's; empty otherwise.
  // Looks at the leading bytes only.
  virtual QString sniff(const QByteArray& data) const = 0;

  virtual bool readProperties(const QByteArray& data, SourceDescription* description,
                              fnd::Error* error) const = 0;
  virtual gfx::CGImagePtr readImage(const QByteArray& data, const DecodeRequest& request,
                                    fnd::Error* error) const = 0;
  virtual bool write(const QString& type, const QList<EncodeFrame>& frames,
                     const QVariantMap& fileProperties, QByteArray* output,
                     fnd::Error* error) const = 0;
  // The same encode written straight into `output` (open for writing), for
  // codecs that can stream: the file's bytes are then never all held in
  // memory at once. Others encode into memory and copy that out.
  virtual bool writeToDevice(const QString& type, const QList<EncodeFrame>& frames,
                             const QVariantMap& fileProperties, QIODevice* output,
                             fnd::Error* error) const;

  // `write` for codecs that stream: writeToDevice into `output`.
  bool writeThroughDevice(const QString& type, const QList<EncodeFrame>& frames,
                          const QVariantMap& fileProperties, QByteArray* output,
                          fnd::Error* error) const;

  // The properties a file of `type` written by this codec keeps, as keys of
  // the per-image dictionary ("DPIWidth") or of one of its dictionaries
  // ("{TIFF}.Make"), plus the destination options it honours (quality).
  // Everything else given to a destination is dropped.
  virtual QStringList embeddedProperties(const QString& type) const = 0;

  // The built-in codecs.
  static const QList<const ImageCodec*>& all();
  static const ImageCodec* forType(const QString& type);
  // The codec and type whose signature `data` carries.
  static const ImageCodec* sniffType(const QByteArray& data, QString* type);
};

}  // namespace io
