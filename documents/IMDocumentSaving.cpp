// Saving, export and printing of IMDocument: the native store with its
// search metadata, every other type as one flattened image, PDF drawn by
// the model onto a page.
#include <QFileInfo>

#include "documents/IMDocument.h"
#include "foundation/Error.h"
#include "foundation/Localized.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"

namespace {

constexpr double kDefaultQuality = 0.85;

}  // namespace

bool IMDocument::writeToURL(const QUrl& url, const QString& typeName, ui::SaveOperationType op,
                            const QUrl& originalContentsURL, fnd::Error* error) {
  if (typeName == IMNativeDocumentType) {
    // The metadata goes to the store being written: at the URL for a
    // first save, else the one the document has open.
    if (url.isValid() && !setMetadataForStoreAtURL(url)) setMetadataForStoreAtURL(fileURL());
    const bool native =
        QFileInfo(originalContentsURL.path()).suffix().toLower() == IMNativeFileExtension;
    return ui::PersistentDocument::writeToURL(url, typeName, op,
                                              native ? originalContentsURL : QUrl(), error);
  }
  const bool keepsAlpha = op == ui::AutosaveElsewhereOperation || savedFileKeepsAlpha();
  return savetoBitmapFileType(typeName, url, keepsAlpha, error);
}

ExportSnapshot::Ptr IMDocument::exportSnapshot(const QString& type, bool keepsAlpha,
                                               fnd::Error* error) {
  // Alpha follows the argument, as for every type: an autosave elsewhere
  // keeps it whatever the panel's default says.
  return ExportSnapshot::make(composedImage(), type, keepsAlpha, savedMetaAndOptions(), printInfo(),
                              error);
}

bool IMDocument::savetoBitmapFileType(const QString& type, const QUrl& url, bool keepsAlpha,
                                      fnd::Error* error) {
  const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
  fnd::Error cause;
  ExportSnapshot::Ptr snapshot = exportSnapshot(type, keepsAlpha, &cause);
  if (!snapshot)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
                     fnd::localized("The file “%1” could not be written: %2")
                         .arg(path, cause.localizedDescription()));
  return snapshot->writeToPath(path, error);
}

QVariantMap& IMDocument::savedMetaAndOptions() {
  if (!savedMetaAndOptions_) {
    auto options = std::make_unique<QVariantMap>(imageMetadata_);
    QVariantMap tiff = options->value(io::PropertyTIFFDictionary).toMap();
    // An imported TIFF's own scheme (JPEG, Deflate, …) is not one the panel
    // offers; such files are exported uncompressed unless the user picks one.
    const int compression = tiff.value(io::PropertyTIFFCompression).toInt();
    if (compression != io::TIFFCompressionLZW && compression != io::TIFFCompressionPackBits)
      tiff.remove(io::PropertyTIFFCompression);
    (*options)[io::PropertyTIFFDictionary] = tiff;
    (*options)[io::DestinationLossyCompressionQuality] = kDefaultQuality;
    savedMetaAndOptions_ = std::move(options);
  }
  return *savedMetaAndOptions_;
}

void IMDocument::viewDrawingRect(const QRectF& rect, bool forceCleanDrawing,
                                 bool disableInterpolation) {
  if (ComposedImage* image = composedImage())
    image->compositeImageInRect(rect, forceCleanDrawing, disableInterpolation);
}
