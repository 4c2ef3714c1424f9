// The image data blob: a keyed archive (binary property list) in which every
// Image keeps its pixels, in the document store and in the cache files.
// Keys: "currentPage" and "image" for an image drawn from a PDF, then
// "tiffImage" (LZW-compressed TIFF of the bitmap) for every image. Blobs
// come from documents of unknown origin, so reading checks every kind.
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/PDFImageRep.h"
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
gfx::ImagePtr decodeTIFF(const QByteArray& tiff, fnd::Error* error) {
  if (!isTIFF(tiff)) {
    corrupt(error, QStringLiteral("its picture is not TIFF"));
    return nullptr;
  }
  QList<gfx::ImageRepPtr> reps;
  for (const auto& rep :
       gfx::BitmapImageRep::imageRepsWithData(tiff, error, gfx::BitmapLayout::Drawing))
    reps.append(rep);
  if (reps.isEmpty()) return nullptr;
  gfx::ImagePtr image = gfx::Image::make(reps.first()->size());
  image->addRepresentations(reps);
  return image;
}

gfx::ImagePtr decodeTIFFImage(fnd::KeyedUnarchiver& coder, fnd::Error* error) {
  if (!coder.containsValueForKey(TIFFImageKey)) {
    corrupt(error, QStringLiteral("it holds no picture"));
    return nullptr;
  }
  const QByteArray tiff = coder.decodeDataForKey(TIFFImageKey);
  if (coder.failed()) {
    fnd::fail(error, coder.error());
    return nullptr;
  }
  return decodeTIFF(tiff, error);
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
  if (data.isEmpty()) {
    corrupt(error, QStringLiteral("it is empty"));
    return nullptr;
  }
  const QByteArray direct = ImageDataArchive::tiffIn(data);
  if (!direct.isNull()) return decodeTIFF(direct, error);
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
  return decodeTIFFImage(*coder, error);
}
