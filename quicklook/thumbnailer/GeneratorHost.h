// The thumbnailer's side of the generator interface: loads the generator
// plug-in from its description, makes an instance of the generator type,
// asks it for the callbacks and hands it a request that keeps what it
// receives.
#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <memory>

#include "foundation/Error.h"
#include "plugin/PlugIn.h"
#include "plugin/QuickLookGenerator.h"

class GeneratorHost {
 public:
  ~GeneratorHost();
  GeneratorHost(const GeneratorHost&) = delete;
  GeneratorHost& operator=(const GeneratorHost&) = delete;

  // Null with `error` filled when the plug-in cannot be loaded or makes no
  // generator.
  static std::unique_ptr<GeneratorHost> createWithDescription(const QString& path,
                                                              fnd::Error* error);

  // The image data the generator handed over for the file at `path`
  // (within `maxSize`, or the preview when `preview` is set), with its
  // type in `contentType`; empty when it handed over nothing.
  QByteArray imageDataForFile(const QString& path, const QSizeF& maxSize, bool preview,
                              QString* contentType = nullptr);

 private:
  GeneratorHost() = default;
  std::unique_ptr<plugin::PlugIn> plugIn_;
  QLGeneratorInterfaceStruct** generator_ = nullptr;
};
