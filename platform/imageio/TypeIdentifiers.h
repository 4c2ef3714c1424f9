// Image file types named by type identifier strings ("public.png"), with
// their file extensions, MIME types and the names shown to the user. The
// readable and writable lists come from the codecs that are built in.
#pragma once

#include <QString>
#include <QStringList>

namespace io {

inline const QString TypePNG = QStringLiteral("public.png");
inline const QString TypeJPEG = QStringLiteral("public.jpeg");
inline const QString TypeTIFF = QStringLiteral("public.tiff");
inline const QString TypeBMP = QStringLiteral("com.microsoft.bmp");
inline const QString TypeGIF = QStringLiteral("com.compuserve.gif");
inline const QString TypeTGA = QStringLiteral("com.truevision.tga-image");
inline const QString TypeJPEG2000 = QStringLiteral("public.jpeg-2000");
inline const QString TypeOpenEXR = QStringLiteral("com.ilm.openexr-image");
inline const QString TypePDF = QStringLiteral("com.adobe.pdf");
inline const QString TypePhotoshop = QStringLiteral("com.adobe.photoshop-image");
inline const QString TypeRadianceHDR = QStringLiteral("public.radiance");
inline const QString TypePBM = QStringLiteral("public.pbm");

class TypeIdentifiers {
 public:
  // Every type this file knows, readable or not.
  static QStringList allTypes();

  // Extensions without the dot, the preferred one first; empty for an
  // unknown type.
  static QStringList filenameExtensions(const QString& type);
  static QString preferredFilenameExtension(const QString& type);

  // The type whose extensions include `extension` (case-insensitive, with or
  // without the dot); empty when none does.
  static QString typeForFilenameExtension(const QString& extension);

  static QString mimeType(const QString& type);
  static QString typeForMIMEType(const QString& mimeType);

  // "PNG image", "JPEG image", … through fnd::localized.
  static QString localizedDescription(const QString& type);

  // The types an ImageSource opens and an ImageDestination writes.
  static QStringList readableTypes();
  static QStringList writableTypes();
};

}  // namespace io
