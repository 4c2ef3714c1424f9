#include "imageio/TIFFCodec.h"

#include <cmath>
#include <memory>

#include "foundation/Error.h"
#include "imageio/BoxReduction.h"
#include "imageio/CodecSupport.h"
#include "imageio/DecodeBudget.h"
#include "imageio/ImageProperties.h"
#include "imageio/TIFFChunkReader.h"
#include "imageio/TIFFDirectory.h"
#include "imageio/TIFFMemoryStream.h"
#include "imageio/TIFFPageWriter.h"
#include "imageio/TIFFThumbnailReader.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

// The ASCII fields carried in {TIFF} from file to file.
const std::pair<uint32_t, const char*> kTextTags[] = {
    {TIFFTAG_IMAGEDESCRIPTION, "ImageDescription"},
    {TIFFTAG_MAKE, "Make"},
    {TIFFTAG_MODEL, "Model"},
    {TIFFTAG_SOFTWARE, "Software"},
    {TIFFTAG_DATETIME, "DateTime"},
    {TIFFTAG_ARTIST, "Artist"},
    {TIFFTAG_COPYRIGHT, "Copyright"}};

const QString kName = QStringLiteral("TIFF");

QString colorModelOf(const TIFFDirectory& d) {
  switch (d.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      return ColorModelGray;
    case PHOTOMETRIC_SEPARATED:
      return ColorModelCMYK;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
      return ColorModelLab;
    default:
      return ColorModelRGB;
  }
}

QVariantMap propertiesOf(TIFF* tiff, const TIFFDirectory& d) {
  QVariantMap properties = codec::baseProperties(int(d.width), int(d.height), d.bitsPerSample,
                                                 d.hasAlpha(), colorModelOf(d));
  properties[PropertyOrientation] = d.orientation >= 1 && d.orientation <= 8 ? d.orientation : 1;
  if (d.isFloat()) properties[PropertyIsFloat] = true;
  if (d.photometric == PHOTOMETRIC_PALETTE) properties[PropertyIsIndexed] = true;
  QVariantMap tags{{PropertyTIFFCompression, d.compression},
                   {PropertyTIFFPhotometricInterpretation, d.photometric},
                   {PropertyTIFFOrientation, d.orientation},
                   {PropertyTIFFResolutionUnit, d.resolutionUnit}};
  double perInch = d.resolutionUnit == RESUNIT_INCH         ? 1.0
                   : d.resolutionUnit == RESUNIT_CENTIMETER ? 2.54
                                                            : 0.0;
  if (d.xResolution > 0 && d.yResolution > 0) {
    tags[PropertyTIFFXResolution] = double(d.xResolution);
    tags[PropertyTIFFYResolution] = double(d.yResolution);
    if (perInch > 0) {
      properties[PropertyDPIWidth] = double(d.xResolution) * perInch;
      properties[PropertyDPIHeight] = double(d.yResolution) * perInch;
    }
  }
  for (const auto& [tag, key] : kTextTags) {
    char* text = nullptr;
    if (TIFFGetField(tiff, tag, &text) && text)
      tags[QString::fromLatin1(key)] = QString::fromUtf8(text);
  }
  properties[PropertyTIFFDictionary] = tags;
  return properties;
}

// Everything an image cannot hold directly (palette, CMYK, YCbCr, 1-bit,
// separate planes) through libtiff's RGBA converter, keeping the stored row
// order. The converter decodes a strip or tile at a time into a buffer of
// its own, charged to the budget before it starts.
bool readThroughRGBA(TIFF* tiff, const TIFFDirectory& d, DecodeBudget& budget, QImage* image,
                     fnd::Error* error) {
  ScopedReservation working(&budget);
  if (!working.reserve(uint64_t(d.tiled ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff)), error))
    return false;
  *image = codec::allocateImage(
      budget, d.width, d.height,
      d.hasAlpha() ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBX8888, error);
  if (image->isNull()) return false;
  return TIFFReadRGBAImageOriented(tiff, d.width, d.height,
                                   reinterpret_cast<uint32_t*>(image->bits()), d.orientation,
                                   1) != 0;
}

// The file after `prefix` bytes of `bytes` left for a container the caller
// writes around it; or, with a `sink`, the file written there as it is made
// (one page only).
bool writePages(const QList<TIFFPageWriter::Layout>& pages, QByteArray* bytes, qsizetype prefix,
                QString* problem, QIODevice* sink = nullptr) {
  // Room for the uncompressed pixels up front (only what is written is ever
  // touched): growing a 48 MB buffer step by step costs more than the
  // encoding.
  qsizetype expected = prefix + 4096;
  for (const TIFFPageWriter::Layout& page : pages)
    expected += qsizetype(page.image->height() * page.image->bytesPerRow());
  if (bytes) bytes->reserve(expected);
  auto stream = sink ? std::make_unique<TIFFMemoryStream>(sink)
                     : std::make_unique<TIFFMemoryStream>(bytes, prefix);
  TIFF* tiff = stream->open("w");
  bool ok = tiff != nullptr;
  for (int page = 0; ok && page < pages.size(); ++page)
    ok = TIFFPageWriter::write(*stream, pages[page], page, int(pages.size()));
  // A sink may refuse the directory written at the close.
  const bool closed = stream->close();
  if (sink) ok = closed && ok;
  if (!ok) *problem = stream->message("libtiff failed");
  return ok;
}

TIFFPageWriter::Layout destinationLayout(const EncodeFrame& frame, int compression) {
  const gfx::CGImage& source = *frame.image;
  TIFFPageWriter::Layout layout;
  layout.image = frame.image;
  layout.alpha = codec::keepsAlpha(source, frame.properties);
  layout.gray = codec::isGray(source) && !layout.alpha;
  const bool real = source.isFloat() && !layout.gray;
  layout.bits = real ? 32 : codec::integerDepth(source);
  layout.compression = uint16_t(compression);
  if (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE)
    layout.predictor = real ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL;
  const double x = codec::dpiWidth(frame.properties), y = codec::dpiHeight(frame.properties);
  layout.dpiX = x > 0 ? x : 72.0;
  layout.dpiY = y > 0 ? y : 72.0;
  layout.orientation = codec::orientation(frame.properties);
  const QVariantMap tags = frame.properties.value(PropertyTIFFDictionary).toMap();
  for (const auto& [tag, key] : kTextTags) {
    QString text = tags.value(QString::fromLatin1(key)).toString();
    if (text.isEmpty() && tag == TIFFTAG_SOFTWARE) text = QStringLiteral("Tessaly");
    if (!text.isEmpty()) layout.text.emplace_back(tag, text.toUtf8());
  }
  return layout;
}

// The pages of `frames`; false for a compression not written.
bool destinationPages(const QList<EncodeFrame>& frames, QList<TIFFPageWriter::Layout>* pages,
                      fnd::Error* error) {
  for (const EncodeFrame& frame : frames) {
    int compression =
        codec::option(frame.properties, PropertyTIFFCompression, PropertyTIFFDictionary).toInt();
    if (compression == 0) compression = TIFFCompressionNone;
    if (!TIFFIsCODECConfigured(uint16_t(compression)) || compression == COMPRESSION_JPEG ||
        compression == COMPRESSION_OJPEG)
      return codec::failWrite(error, kName,
                              QStringLiteral("compression %1 is not supported").arg(compression));
    pages->append(destinationLayout(frame, compression));
  }
  return true;
}

// Our JPEG value (6) is the old-style JPEG tag, which libtiff only reads;
// files are written with the current JPEG scheme (7).
TIFFPageWriter::Layout bitmapLayout(const gfx::BitmapPage& page, gfx::TIFFCompression compression,
                                    float factor) {
  const bool jpeg = compression == gfx::TIFFCompression::JPEG;
  TIFFPageWriter::Layout layout;
  layout.image = page.image;
  layout.alpha = page.image->hasAlpha();
  layout.bits = page.image->bitsPerComponent() > 8 && !jpeg ? 16 : 8;
  layout.compression = jpeg ? uint16_t(COMPRESSION_JPEG) : uint16_t(compression);
  layout.jpegQuality = int(std::clamp(std::lround(factor * 100), 1L, 100L));
  // Neighbouring samples differ little in paintings and photos: coding the
  // differences makes LZW strips about a third smaller, and every TIFF
  // reader undoes the predictor. Older files without it read as before.
  if (compression == gfx::TIFFCompression::LZW) layout.predictor = PREDICTOR_HORIZONTAL;
  // Resolution says how large the pixels are in points (72 per inch).
  if (!page.size.isEmpty()) {
    layout.dpiX = 72.0 * double(page.image->width()) / page.size.width();
    layout.dpiY = 72.0 * double(page.image->height()) / page.size.height();
  }
  return layout;
}

}  // namespace

QStringList TIFFCodec::types() const { return {TypeTIFF}; }

bool TIFFCodec::canWrite(const QString& type) const { return type == TypeTIFF; }

QString TIFFCodec::sniff(const QByteArray& data) const {
  bool tiff = data.startsWith("II*\0") || data.startsWith(QByteArray("MM\0*", 4)) ||
              data.startsWith("II+\0") || data.startsWith(QByteArray("MM\0+", 4));
  return tiff ? TypeTIFF : QString();
}

bool TIFFCodec::readProperties(const QByteArray& data, SourceDescription* description,
                               fnd::Error* error) const {
  TIFFMemoryStream stream(data.constData(), uint64_t(data.size()));
  TIFF* tiff = stream.open("r");
  if (!tiff) return codec::failRead(error, kName, stream.message("not a TIFF file"));
  description->images.clear();
  do {
    description->images.append(propertiesOf(tiff, TIFFDirectory::read(tiff)));
  } while (TIFFReadDirectory(tiff));
  description->type = TypeTIFF;
  return true;
}

gfx::CGImagePtr TIFFCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                     fnd::Error* error) const {
  codec::RequestBudget budget(request, kName);
  TIFFMemoryStream stream(data.constData(), uint64_t(data.size()));
  // libtiff's own buffers are charged as the decode meets them; none may
  // exceed what the budget holds at all.
  const tmsize_t ceiling = tmsize_t(std::min<uint64_t>(budget->capacity(), INT64_MAX / 2));
  TIFF* tiff = stream.open("r", ceiling);
  if (!tiff) {
    codec::failRead(error, kName, stream.message("not a TIFF file"));
    return nullptr;
  }
  if (request.index < 0 || !TIFFSetDirectory(tiff, tdir_t(request.index))) {
    codec::failRead(error, kName, QStringLiteral("there is no page %1").arg(request.index + 1));
    return nullptr;
  }
  const TIFFDirectory d = TIFFDirectory::read(tiff);
  if (!request.limits.check(d.width, d.height, kName, error)) return nullptr;
  QImage image;
  QString problem;
  fnd::Error failure;
  const int factor = BoxReduction::factorFor(d.width, d.height, request.minimumLongerSide);
  if (factor > 1) {
    image = d.readsDirectly() && TIFFChunkReader::reducedRuns(d, factor) > 1
                ? TIFFChunkReader::readReduced(data, request.index, d, ceiling, factor, *budget,
                                               &problem, &failure)
                : TIFFThumbnailReader::read(tiff, d, factor, *budget, &problem, &failure);
    // Small now: converted whole rather than as it decodes.
    if (!image.isNull() && request.drawingLayout)
      image.convertTo(QImage::Format_ARGB32_Premultiplied);
  } else if (d.readsDirectly()) {
    image = codec::allocateImage(*budget, d.width, d.height, d.directLayout(), &failure);
    if (!image.isNull() &&
        !TIFFChunkReader::read(data, request.index, d, ceiling, request.drawingLayout, *budget,
                               &image, &problem, &failure))
      image = QImage();
  } else {
    char reason[1024] = {};
    if (!TIFFRGBAImageOK(tiff, reason))
      problem = QString::fromUtf8(reason);
    else if (!readThroughRGBA(tiff, d, *budget, &image, &failure))
      image = QImage();
  }
  if (image.isNull()) {
    if (budget->wasRefused())
      budget->failWithRefusal(&failure);
    else if (failure.isNull())
      codec::failRead(
          &failure, kName,
          problem.isEmpty() ? stream.message("the image data cannot be read") : problem);
    fnd::fail(error, failure);
    return nullptr;
  }
  return gfx::CGImage::make(std::move(image));
}

bool TIFFCodec::write(const QString&, const QList<EncodeFrame>& frames, const QVariantMap&,
                      QByteArray* output, fnd::Error* error) const {
  QList<TIFFPageWriter::Layout> pages;
  if (!destinationPages(frames, &pages, error)) return false;
  QByteArray bytes;
  QString problem;
  if (!writePages(pages, &bytes, 0, &problem)) return codec::failWrite(error, kName, problem);
  *output = std::move(bytes);
  return true;
}

bool TIFFCodec::writeToDevice(const QString& type, const QList<EncodeFrame>& frames,
                              const QVariantMap& fileProperties, QIODevice* output,
                              fnd::Error* error) const {
  // libtiff reads back earlier directories to link a new one: several
  // pages are made in memory.
  if (frames.size() != 1 || output->isSequential())
    return ImageCodec::writeToDevice(type, frames, fileProperties, output, error);
  QList<TIFFPageWriter::Layout> pages;
  if (!destinationPages(frames, &pages, error)) return false;
  QString problem;
  if (!writePages(pages, nullptr, 0, &problem, output))
    return codec::failWrite(error, kName, problem);
  return true;
}

QByteArray TIFFCodec::writeBitmapPages(const QList<gfx::BitmapPage>& pages,
                                       gfx::TIFFCompression compression, float factor,
                                       qsizetype prefix) {
  QList<TIFFPageWriter::Layout> layouts;
  for (const gfx::BitmapPage& page : pages) {
    if (!page.image || page.image->width() == 0 || page.image->height() == 0) return {};
    layouts.append(bitmapLayout(page, compression, factor));
  }
  QByteArray bytes;
  QString problem;
  if (layouts.isEmpty() || !writePages(layouts, &bytes, prefix, &problem)) return {};
  return bytes;
}

QStringList TIFFCodec::embeddedProperties(const QString&) const {
  return QStringList{"DPIWidth",        "DPIHeight",          "HasAlpha",
                     "Orientation",     "{TIFF}.Compression", "{TIFF}.ImageDescription",
                     "{TIFF}.Make",     "{TIFF}.Model",       "{TIFF}.Software",
                     "{TIFF}.DateTime", "{TIFF}.Artist",      "{TIFF}.Copyright"};
}

}  // namespace io
