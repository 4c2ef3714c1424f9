// The two generator callbacks: a preview within 1024 × 768 and a thumbnail
// within the request's size, both flattened with alpha and never enlarged.
// A file that gives no image leaves the request untouched, so the host
// falls back to its own default; the status is always 0.
#include <QUrl>

#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "quicklook/IMDocument.h"
#include "quicklook/QuickLookGeneratorPlugin.h"

namespace {

const QSizeF kPreviewMaxSize(1024, 768);

// The document's image fitted within `maxSize`, as TIFF; empty for none.
QByteArray fittedTiffData(quicklook::IMDocument& document, const QSizeF& maxSize, QSizeF* size) {
  ComposedImage* root = document.composedImage();
  if (!root) return {};
  *size = IMImagesUtilities::sizeWithImageSize(root->size(), maxSize);
  return document.finalImageTiffDataResizedTo(*size);
}

template <typename HandOver>
void generate(const char* url, const char* contentTypeUTI, const QSizeF& maxSize,
              HandOver handOver) {
  // Nothing may escape into the host, which knows no C++.
  try {
    auto document = quicklook::IMDocument::generateDocumentForQuickLookWithURL(
        QUrl(QString::fromUtf8(url)), QString::fromUtf8(contentTypeUTI ? contentTypeUTI : ""));
    if (!document) return;
    QSizeF size;
    const QByteArray data = fittedTiffData(*document, maxSize, &size);
    if (!data.isEmpty()) handOver(data, size);
    document->close();
  } catch (...) {
  }
}

}  // namespace

extern "C" {

OSStatus GeneratePreviewForURL(void*, QLPreviewRequestRef preview, const char* url,
                               const char* contentTypeUTI, const void*) {
  generate(url, contentTypeUTI, kPreviewMaxSize, [&](const QByteArray& data, const QSizeF& size) {
    const QLPreviewProperties properties{size.width(), size.height()};
    QLPreviewRequestSetDataRepresentation(preview, data.constData(), size_t(data.size()),
                                          kUTTypeImage, &properties);
  });
  return 0;
}

OSStatus GenerateThumbnailForURL(void*, QLThumbnailRequestRef thumbnail, const char* url,
                                 const char* contentTypeUTI, const void*, QLSize maxSize) {
  generate(url, contentTypeUTI, QSizeF(maxSize.width, maxSize.height),
           [&](const QByteArray& data, const QSizeF&) {
             QLThumbnailRequestSetImageWithData(thumbnail, data.constData(), size_t(data.size()),
                                                nullptr);
           });
  return 0;
}

void CancelPreviewGeneration(void*, QLPreviewRequestRef) {}

void CancelThumbnailGeneration(void*, QLThumbnailRequestRef) {}

}  // extern "C"
