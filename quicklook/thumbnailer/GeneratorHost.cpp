#include "GeneratorHost.h"

#include <QUrl>

#include "plugin/UUID.h"

namespace {

// The native type: what the generator is told the file is.
const char kNativeContentType[] = "com.brenwick.tessaly";

struct Received {
  QByteArray data;
  QString contentType;
};

void receivePreview(void* context, const void* bytes, size_t length, const char* contentType,
                    const QLPreviewProperties*) {
  auto* received = static_cast<Received*>(context);
  received->data = QByteArray(static_cast<const char*>(bytes), qsizetype(length));
  received->contentType = QString::fromUtf8(contentType ? contentType : "");
}

void receiveThumbnail(void* context, const void* bytes, size_t length, const QLPreviewProperties*) {
  receivePreview(context, bytes, length, kUTTypeImage, nullptr);
}

}  // namespace

GeneratorHost::~GeneratorHost() {
  if (generator_) (*generator_)->Release(generator_);
}

std::unique_ptr<GeneratorHost> GeneratorHost::createWithDescription(const QString& path,
                                                                    fnd::Error* error) {
  std::unique_ptr<GeneratorHost> host(new GeneratorHost);
  host->plugIn_ = plugin::PlugIn::createWithDescription(path, error);
  if (!host->plugIn_) return nullptr;
  const plugin::UUID type = plugin::UUID::fromString(kQLGeneratorTypeID);
  const plugin::UUID callbacks = plugin::UUID::fromString(kQLGeneratorCallbacksInterfaceID);
  for (const plugin::UUID& factory : host->plugIn_->factoriesForPlugInType(type)) {
    auto** unknown = static_cast<IUnknownVTbl**>(host->plugIn_->instanceCreate(factory, type));
    if (!unknown) continue;
    void* generator = nullptr;
    const HRESULT result = (*unknown)->QueryInterface(unknown, callbacks.bytes(), &generator);
    // The interface holds its own reference; the instance's goes.
    (*unknown)->Release(unknown);
    if (result == S_OK && generator) {
      host->generator_ = static_cast<QLGeneratorInterfaceStruct**>(generator);
      return host;
    }
  }
  fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
            QStringLiteral("The plug-in %1 makes no preview generator.").arg(path));
  return nullptr;
}

QByteArray GeneratorHost::imageDataForFile(const QString& path, const QSizeF& maxSize, bool preview,
                                           QString* contentType) {
  Received received;
  const QByteArray url = QUrl::fromLocalFile(path).toEncoded();
  QLGeneratorInterfaceStruct* callbacks = *generator_;
  if (preview) {
    __QLPreviewRequest request{&received, receivePreview};
    callbacks->GeneratePreviewForURL(generator_, &request, url.constData(), kNativeContentType,
                                     nullptr);
  } else {
    __QLThumbnailRequest request{&received, receiveThumbnail};
    callbacks->GenerateThumbnailForURL(generator_, &request, url.constData(), kNativeContentType,
                                       nullptr, QLSize{maxSize.width(), maxSize.height()});
  }
  if (contentType) *contentType = received.contentType;
  return received.data;
}
