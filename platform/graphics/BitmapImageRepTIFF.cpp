// Decoding and TIFF encoding of bitmap representations, through the
// installed coder.
#include "graphics/BitmapImageRep.h"

namespace gfx {
namespace {

bool failWithoutCoder(fnd::Error* error) {
  return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                   QStringLiteral("The image data could not be read: no image decoder is "
                                  "installed."));
}

}  // namespace

QList<std::shared_ptr<BitmapImageRep>> BitmapImageRep::imageRepsWithData(const QByteArray& data,
                                                                         fnd::Error* error,
                                                                         BitmapLayout layout,
                                                                         int minimumLongerSide) {
  const BitmapCoder* coder = BitmapCoder::installed();
  if (!coder) {
    failWithoutCoder(error);
    return {};
  }
  QList<BitmapImageRepPtr> reps;
  for (const BitmapPage& page : coder->decode(data, error, layout, minimumLongerSide)) {
    auto rep = make(page.image);
    if (!rep) continue;
    if (!page.size.isEmpty()) rep->setSize(page.size);
    reps.append(rep);
  }
  return reps;
}

QByteArray BitmapImageRep::TIFFRepresentationUsingCompression(TIFFCompression compression,
                                                              float factor) const {
  const BitmapCoder* coder = BitmapCoder::installed();
  if (!coder || !image_) return {};
  return coder->encodeTIFF({{image_, size()}}, compression, factor);
}

QByteArray BitmapImageRep::TIFFRepresentationOfImageRepsInArray(
    const QList<std::shared_ptr<BitmapImageRep>>& reps, TIFFCompression compression, float factor) {
  const BitmapCoder* coder = BitmapCoder::installed();
  if (!coder || reps.isEmpty()) return {};
  QList<BitmapPage> pages;
  for (const BitmapImageRepPtr& rep : reps) {
    if (!rep || !rep->cgImage()) return {};
    pages.append({rep->cgImage(), rep->size()});
  }
  return coder->encodeTIFF(pages, compression, factor);
}

}  // namespace gfx
