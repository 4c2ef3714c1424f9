#include "appkit/core/PasteboardTypes.h"

#include <QHash>

namespace ui {

namespace {

struct Mapping {
  QString type;
  QString mimeType;
};

const QList<Mapping>& mappings() {
  static const QList<Mapping> table = {
      {PasteboardTypeString, QStringLiteral("text/plain")},
      {PasteboardTypePNG, QStringLiteral("image/png")},
      {PasteboardTypeTIFF, QStringLiteral("image/tiff")},
      {PasteboardTypePDF, QStringLiteral("application/pdf")},
      {QStringLiteral("public.jpeg"), QStringLiteral("image/jpeg")},
      {QStringLiteral("com.compuserve.gif"), QStringLiteral("image/gif")},
      {QStringLiteral("com.microsoft.bmp"), QStringLiteral("image/bmp")},
      {PasteboardTypeFileURL, QStringLiteral("text/uri-list")},
      {QStringLiteral("public.html"), QStringLiteral("text/html")},
  };
  return table;
}

}  // namespace

QString PasteboardTypes::mimeTypeForType(const QString& type) {
  for (const Mapping& m : mappings())
    if (m.type == type) return m.mimeType;
  return type;
}

QString PasteboardTypes::typeForMimeType(const QString& mimeType) {
  // "text/plain;charset=utf-8" is the same text.
  const QString bare = mimeType.section(u';', 0, 0).trimmed();
  for (const Mapping& m : mappings())
    if (m.mimeType == bare) return m.type;
  return mimeType;
}

QStringList PasteboardTypes::imageTypes() {
  return {PasteboardTypePNG,
          PasteboardTypeTIFF,
          PasteboardTypePDF,
          QStringLiteral("public.jpeg"),
          QStringLiteral("com.compuserve.gif"),
          QStringLiteral("com.microsoft.bmp")};
}

}  // namespace ui
