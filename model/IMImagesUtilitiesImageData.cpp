// The image data blob: a keyed archive (binary property list) in which every
// Image keeps its pixels, in the document store and in the cache files.
// Keys: "currentPage" and "image" for an image drawn from a PDF, then
// "tiffImage" (LZW-compressed TIFF of the bitmap) for every image. Blobs
// come from documents of unknown origin, so reading checks every kind.
#include <algorithm>
#include <climits>

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/PDFImageRep.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "model/IMImagesUtilities.h"
#include "model/ImageDataArchive.h"
#include "model/PDFImageCoding.h"

namespace {

const QString CurrentPageKey = QStringLiteral("currentPage");
const QString ImageKey = QStringLiteral("image");
const QString TIFFImageKey = QStringLiteral("tiffImage");

bool isTIFF(const QByteArray& data) {
  return data.startsWith(QByteArray("II*\0", 4)) || data.startsWith(QByteArray("MM\0*", 4)) ||
         data.startsWith(QByteArray("II+\0", 4)) || data.startsWith(QByteArray("MM\0+", 4));
}

bool corrupt(fnd::Error* error, const QString& why) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::CoderReadCorruptError,
                   QStringLiteral("The image data is damaged: %1.").arg(why));
}

// The PDF image under "image", at its stored page; null when absent or unusable.
gfx::ImagePtr decodePDFImage(fnd::KeyedUnarchiver& coder, fnd::Error* error) {
  auto coding = coder.decodeObjectOfClass<PDFImageCoding>(ImageKey);
  if (!coding || coder.failed()) return nullptr;
  const qint64 page = coder.decodeInt64ForKey(CurrentPageKey);
  if (coder.failed()) return nullptr;
  gfx::ImagePtr image = coding->makeImage(error);
  if (!image) return nullptr;
  auto pdf = image->firstRepresentationOfClass<gfx::PDFImageRep>();
  if (page > 0 && page < pdf->pageCount()) pdf->setCurrentPage(int(page));
  return image;
}

// Only TIFF is written here; anything else is refused rather than handed
// to whichever reader would take it. The pixels come in the layout drawing
// samples, so a layer is never converted as a whole when first drawn.
// The longer side the first image of `tiff` keeps when it is reduced for
// drawing at `scale`; 0 for the full image.
int minimumLongerSideForScale(const QByteArray& tiff, double scale) {
  int factor = 1;
  while (factor < (1 << 20) && factor * 2 * scale <= 1) factor *= 2;
  if (factor == 1) return 0;
  io::ImageSourcePtr source = io::ImageSource::createWithData(tiff);
  if (!source || source->count() == 0) return 0;
  const QVariantMap properties = source->propertiesAtIndex(0);
  const qint64 longer = std::max(properties.value(io::PropertyPixelWidth).toLongLong(),
                                 properties.value(io::PropertyPixelHeight).toLongLong());
  return int(std::clamp<qint64>(longer / factor, 0, INT_MAX));
}

gfx::ImagePtr decodeTIFF(const QByteArray& tiff, fnd::Error* error, double scale = 1) {
  if (!isTIFF(tiff)) {
    corrupt(error, QStringLiteral("its picture is not TIFF"));
    return nullptr;
  }
  QList<gfx::ImageRepPtr> reps;
  for (const auto& rep : gfx::BitmapImageRep::imageRepsWithData(
           tiff, error, gfx::BitmapLayout::Drawing, minimumLongerSideForScale(tiff, scale)))
    reps.append(rep);
  if (reps.isEmpty()) return nullptr;
  gfx::ImagePtr image = gfx::Image::make(reps.first()->size());
  image->addRepresentations(reps);
  return image;
}

gfx::ImagePtr decodeTIFFImage(fnd::KeyedUnarchiver& coder, fnd::Error* error, double scale) {
  if (!coder.containsValueForKey(TIFFImageKey)) {
    corrupt(error, QStringLiteral("it holds no picture"));
    return nullptr;
  }
  const QByteArray tiff = coder.decodeDataForKey(TIFFImageKey);
  if (coder.failed()) {
    fnd::fail(error, coder.error());
    return nullptr;
  }
  return decodeTIFF(tiff, error, scale);
}

}  // namespace

QByteArray ima_produceImageData(const gfx::ImagePtr& image) {
  if (!image) return {};
  auto pdf = ima_imageRepOfClass<gfx::PDFImageRep>(image);
  auto bitmap = ima_bitmapRepresentation(image);
  // Pixels alone: the TIFF is written straight into the blob.
  if (bitmap && !pdf) {
    QByteArray blob = ImageDataArchive::produce(*bitmap);
    if (!blob.isEmpty()) return blob;
  }
  fnd::KeyedArchiver archiver;
  if (pdf) {
    archiver.encodeInt64(pdf->currentPage(), CurrentPageKey);
    archiver.encodeObject(
        QVariant::fromValue(fnd::CodingPtr(PDFImageCoding::codingForImage(image))), ImageKey);
  }
  if (bitmap) {
    const QByteArray tiff =
        bitmap->TIFFRepresentationUsingCompression(gfx::TIFFCompression::LZW, 1.0f);
    if (!tiff.isEmpty()) archiver.encodeData(tiff, TIFFImageKey);
  }
  return archiver.encodedData();
}

gfx::ImagePtr ima_imageWithImageData(const QByteArray& data, fnd::Error* error) {
  return ima_imageWithImageDataForScale(data, 1, error);
}

gfx::ImagePtr ima_imageWithImageDataForScale(const QByteArray& data, double scale,
                                             fnd::Error* error) {
  if (data.isEmpty()) {
    corrupt(error, QStringLiteral("it is empty"));
    return nullptr;
  }
  const QByteArray direct = ImageDataArchive::tiffIn(data);
  if (!direct.isNull()) return decodeTIFF(direct, error, scale);
  PDFImageCoding::registerClass();
  auto coder = fnd::KeyedUnarchiver::create(data, error);
  if (!coder) return nullptr;
  if (coder->containsValueForKey(ImageKey)) {
    fnd::Error pdfError;
    if (gfx::ImagePtr image = decodePDFImage(*coder, &pdfError)) return image;
    // A damaged PDF part still leaves the page's pixels: read those from a
    // fresh reader, since the failed one answers only defaults.
    coder = fnd::KeyedUnarchiver::create(data, error);
    if (!coder) return nullptr;
    if (!coder->containsValueForKey(TIFFImageKey)) {
      if (pdfError.isNull())
        corrupt(error, QStringLiteral("its PDF cannot be read"));
      else
        fnd::fail(error, pdfError);
      return nullptr;
    }
  }
  return decodeTIFFImage(*coder, error, scale);
}
