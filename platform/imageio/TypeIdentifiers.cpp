#include "imageio/TypeIdentifiers.h"

#include "foundation/Localized.h"
#include "imageio/ImageCodec.h"

namespace io {

namespace {

struct TypeEntry {
  const QString& type;
  const char* extensions;  // space separated, preferred first
  const char* mimeType;
  const char* description;
};

const TypeEntry kTypes[] = {
    {TypePNG, "png", "image/png", "PNG image"},
    {TypeJPEG, "jpeg jpg jpe", "image/jpeg", "JPEG image"},
    {TypeTIFF, "tiff tif", "image/tiff", "TIFF image"},
    {TypeBMP, "bmp dib", "image/bmp", "Windows bitmap image"},
    {TypeGIF, "gif", "image/gif", "GIF image"},
    {TypeTGA, "tga targa", "image/x-tga", "Targa image"},
    {TypeJPEG2000, "jp2 j2k jpf jpx j2c", "image/jp2", "JPEG 2000 image"},
    {TypeOpenEXR, "exr", "image/x-exr", "OpenEXR image"},
    {TypePDF, "pdf", "application/pdf", "PDF document"},
    {TypePhotoshop, "psd", "image/vnd.adobe.photoshop", "Photoshop image"},
    {TypeRadianceHDR, "hdr pic", "image/vnd.radiance", "Radiance HDR image"},
    {TypePBM, "pnm ppm pgm pbm", "image/x-portable-anymap", "Portable bitmap image"},
};

const TypeEntry* entryFor(const QString& type) {
  for (const TypeEntry& entry : kTypes)
    if (entry.type == type) return &entry;
  return nullptr;
}

}  // namespace

QStringList TypeIdentifiers::allTypes() {
  QStringList types;
  for (const TypeEntry& entry : kTypes) types.append(entry.type);
  return types;
}

QStringList TypeIdentifiers::filenameExtensions(const QString& type) {
  const TypeEntry* entry = entryFor(type);
  if (!entry) return {};
  return QString::fromLatin1(entry->extensions).split(' ');
}

QString TypeIdentifiers::preferredFilenameExtension(const QString& type) {
  QStringList extensions = filenameExtensions(type);
  return extensions.isEmpty() ? QString() : extensions.first();
}

QString TypeIdentifiers::typeForFilenameExtension(const QString& extension) {
  QString wanted = extension.startsWith('.') ? extension.mid(1) : extension;
  wanted = wanted.toLower();
  for (const TypeEntry& entry : kTypes)
    if (QString::fromLatin1(entry.extensions).split(' ').contains(wanted)) return entry.type;
  return {};
}

QString TypeIdentifiers::mimeType(const QString& type) {
  const TypeEntry* entry = entryFor(type);
  return entry ? QString::fromLatin1(entry->mimeType) : QString();
}

QString TypeIdentifiers::typeForMIMEType(const QString& mimeType) {
  for (const TypeEntry& entry : kTypes)
    if (mimeType.compare(QLatin1String(entry.mimeType), Qt::CaseInsensitive) == 0)
      return entry.type;
  return {};
}

QString TypeIdentifiers::localizedDescription(const QString& type) {
  const TypeEntry* entry = entryFor(type);
  return entry ? fnd::localized(entry->description) : QString();
}

QStringList TypeIdentifiers::readableTypes() {
  QStringList types;
  for (const TypeEntry& entry : kTypes)
    if (ImageCodec::forType(entry.type)) types.append(entry.type);
  return types;
}

QStringList TypeIdentifiers::writableTypes() {
  QStringList types;
  for (const TypeEntry& entry : kTypes) {
    const ImageCodec* codec = ImageCodec::forType(entry.type);
    if (codec && codec->canWrite(entry.type)) types.append(entry.type);
  }
  return types;
}

}  // namespace io
