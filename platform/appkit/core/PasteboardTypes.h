// The pasteboard's standard type names and the MIME types they travel as on
// the desktop's clipboard and in drags. The program's own types (such as
// "com.brenwick.filters.copy") keep their names on both sides.
#pragma once

#include <QString>
#include <QStringList>

namespace ui {

inline const QString PasteboardTypeString = QStringLiteral("public.utf8-plain-text");
inline const QString PasteboardTypePNG = QStringLiteral("public.png");
inline const QString PasteboardTypeTIFF = QStringLiteral("public.tiff");
inline const QString PasteboardTypePDF = QStringLiteral("com.adobe.pdf");
inline const QString PasteboardTypeFileURL = QStringLiteral("public.file-url");
inline const QString PasteboardTypeURL = QStringLiteral("public.url");
// The older file list: a property list array of paths. Reported among the
// types whenever the pasteboard holds file URLs.
inline const QString FilenamesPboardType = QStringLiteral("NSFilenamesPboardType");

// Options of Pasteboard::readObjectsForClasses for URLs: a bool, and a list
// of type identifiers the files' contents must be of.
inline const QString PasteboardURLReadingFileURLsOnlyKey =
    QStringLiteral("NSPasteboardURLReadingFileURLsOnlyKey");
inline const QString PasteboardURLReadingContentsConformToTypesKey =
    QStringLiteral("NSPasteboardURLReadingContentsConformToTypesKey");

// The private MIME format that carries every item of a pasteboard at once.
inline const QString PasteboardItemsMimeType =
    QStringLiteral("application/x-tessaly-pasteboard-items");

class PasteboardTypes {
 public:
  // The MIME type a standard type travels as; other types keep their name.
  static QString mimeTypeForType(const QString& type);
  // The type a MIME format stands for; unknown formats keep their name.
  static QString typeForMimeType(const QString& mimeType);
  // Image types the pasteboard decodes, in the order it prefers them.
  static QStringList imageTypes();
};

}  // namespace ui
